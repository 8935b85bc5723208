// The Windows program's measurement of a frame, from its file's start alone,
// against the Linux program's (cfitsio, wcslib and ERFA) on the same frames:
// PinPoint-style WCS frames, one with ACP's date and time apart; and what its
// intake notes of each.
#include "tracking/plate_frame.h"
#include "tracking/plate_intake.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framemaker/star_field.h"
#include "frames/frame_file.h"
#include "intake/frame_intake.h"
#include "pointing/sky.h"
#include "support/units.h"
#include "support/utc_text.h"
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

// What the Windows program makes of what its folder watch hands over: the
// hold measures the solved frames once the mount has been read after their
// middle; a frame with no solution is said to need ACP's solver, once in
// full; a damaged one names its cause; the watch's own notes pass through.
TEST(PlateIntake, NotesEachFrameAsTheWindowsProgramLogsIt) {
  const TempDir dir;
  double now = 852000000;  // 2026-12-31, about 12:00 UTC
  const auto frame = [&](const std::string& name, bool wcs, bool marked, double start_ago) {
    framemaker::FrameShot shot;
    shot.start_center = shot.end_center = {5.5, 20};
    shot.width = 64;
    shot.height = 48;
    shot.scale_arcsec = 60;  // a degree across: the target, of J2000, is in the field
    shot.exposure_s = 10;
    shot.date_obs = UtcTextOfJ2000Seconds(now - start_ago).substr(0, 23);
    shot.write_wcs = wcs;
    shot.wcs_unmarked = !marked;
    std::string error;
    const std::string path = dir.File(name);
    EXPECT_TRUE(framemaker::WriteFrame(shot, {}, path, error)) << error;
    std::ifstream in(path, std::ios::binary);
    return PlateEvent{PlateEvent::Kind::Frame, name, "", {std::istreambuf_iterator<char>(in), {}}};
  };
  std::vector<std::string> said;
  PlateIntake intake(
      {}, [&] { return now; }, pointing::EndsWithLeapSecond,
      [&](const std::string& line) { said.push_back(line); });
  std::vector<FrameNote> logged;
  intake.NoteTo([&](const FrameNote& note) { logged.push_back(note); });
  CycleRecord record;
  record.kind = RecordKind::Start;
  record.threshold_arcsec = 1;
  record.target = record.current = record.target_scope = AxisPair{5.5, 20};
  intake.hold().Recorded(record);

  PlateEvent cut = frame("cut.fits", true, true, 30);
  cut.start.resize(800);
  intake.Take({frame("early.fits", true, true, 30),  // begun before the start
               frame("plain.fits", false, false, 1),
               frame("unmarked.fits", true, false, 1),
               cut,
               {PlateEvent::Kind::Failed, "open.fits", "still open for writing after 60 s", ""},
               {PlateEvent::Kind::Dropped, "", "dropped 3 older frames: the queue holds 64", ""},
               {PlateEvent::Kind::Folder, "",
                "frame folder D:\\Images is gone; watching for it "
                "again",
                ""}});
  // Its middle is after the only reading: it waits for the next cycle's.
  now += 20;
  intake.Take({frame("late.fits", true, true, 8)});
  EXPECT_TRUE(intake.Waiting());
  now += 4;
  record.kind = RecordKind::Cycle;
  intake.hold().Recorded(record);
  intake.Take({});
  EXPECT_FALSE(intake.Waiting());

  const std::vector<std::string> expected = {
      "\"early.fits\" ignored: taken before the start",
      "\"plain.fits\" failed: no plate solution, no WCS in its header: let ACP solve its images",
      "\"unmarked.fits\" failed: no plate solution",
      "\"cut.fits\" failed: its header has no END card in its first 800 bytes",
      "\"open.fits\" failed: still open for writing after 60 s",
      "dropped: dropped 3 older frames: the queue holds 64",
      "folder: frame folder D:\\Images is gone; watching for it again",
      "\"late.fits\" reference, drift RA 0.00\" Dec 0.00\""};
  EXPECT_EQ(said, expected);
  ASSERT_EQ(logged.size(), expected.size());
  EXPECT_EQ(logged.back().action, FrameAction::Reference);
  EXPECT_EQ(logged.back().mid, now - 4 - 8 + 5);
}

}  // namespace
}  // namespace orvan::tracking
