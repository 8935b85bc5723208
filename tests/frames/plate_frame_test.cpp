// The Windows program's measurement of a frame, from its file's start alone,
// against the Linux program's (cfitsio, wcslib and ERFA) on the same frames:
// PinPoint-style WCS frames, one with ACP's date and time apart.
#include "tracking/plate_frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "framemaker/star_field.h"
#include "frames/frame_file.h"
#include "intake/frame_intake.h"
#include "pointing/sky.h"
#include "support/units.h"
#include "testing/temp_dir.h"

namespace orvan::tracking {
namespace {

// The place of date without ERFA is good to 0.26" (support/sky_of_date.h);
// the two WCS readers agree to a milliarcsecond.
constexpr double kPlaceArcsec = 0.3;
// The small reader's scale is the reference point's, wcslib's the middle's.
constexpr double kFieldPart = 2e-3;

TEST(PlateFrame, MeasuresAsTheLinuxReaderDoes) {
  struct Row {
    pointing::RaDec center;  // J2000, hours and degrees
    double rotation_deg;
    const char* date_obs;
    bool time_apart;
  };
  const Row rows[] = {{{5.5, 20}, 0, "2026-12-10T21:04:08.250", false},
                      {{18.9, -42.5}, 63, "2031-06-21T03:30:00", true},
                      {{0.01, 88.2}, -120, "2040-03-01T12:00:00.5", false}};
  const TempDir dir;
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.date_obs);
    framemaker::FrameShot shot;
    shot.start_center = shot.end_center = row.center;
    shot.rotation_deg = row.rotation_deg;
    shot.width = 400;
    shot.height = 300;
    shot.exposure_s = 120;
    shot.date_obs = row.date_obs;
    shot.time_apart = row.time_apart;
    shot.write_wcs = true;
    const std::string path = dir.File("frame-" + std::to_string(++n) + ".fits");
    std::string error;
    ASSERT_TRUE(framemaker::WriteFrame(shot, {}, path, error)) << error;

    const frames::FrameRead read = frames::ReadFrame(path);
    ASSERT_TRUE(read.header && read.header->sky) << read.error;
    const auto linux_input = intake::HoldInputOf(path, *read.header, *read.header->sky);
    ASSERT_TRUE(linux_input);

    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const PlateFrame plate = MeasurePlateFrame(path, bytes, pointing::EndsWithLeapSecond);
    ASSERT_TRUE(plate.measurement) << plate.error;
    EXPECT_TRUE(plate.solved);
    EXPECT_EQ(plate.measurement->file, path);
    EXPECT_EQ(plate.measurement->start, linux_input->start);
    EXPECT_EQ(plate.measurement->mid, linux_input->mid);
    EXPECT_LT(pointing::SeparationDeg({plate.measurement->center.ra, plate.measurement->center.dec},
                                      {linux_input->center.ra, linux_input->center.dec}) *
                  kArcsecPerDegree,
              kPlaceArcsec);
    EXPECT_NEAR(plate.measurement->field_deg / linux_input->field_deg, 1, kFieldPart);
  }
}

TEST(PlateFrame, SaysWhyAFrameGivesNoMeasurement) {
  const TempDir dir;
  framemaker::FrameShot shot;
  shot.width = 64;
  shot.height = 48;
  shot.date_obs = "2026-12-10T21:04:08";
  std::string error;
  const std::string plain = dir.File("plain.fits");
  ASSERT_TRUE(framemaker::WriteFrame(shot, {}, plain, error)) << error;
  std::ifstream in(plain, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  // No WCS: nothing measured, nothing wrong with the header.
  const PlateFrame none = MeasurePlateFrame(plain, bytes, pointing::EndsWithLeapSecond);
  EXPECT_FALSE(none.measurement);
  EXPECT_EQ(none.error + none.unused, "");
  // Cut within its header.
  const PlateFrame cut =
      MeasurePlateFrame(plain, bytes.substr(0, 800), pointing::EndsWithLeapSecond);
  EXPECT_EQ(cut.error, "its header has no END card in its first 800 bytes");
}

}  // namespace
}  // namespace orvan::tracking
