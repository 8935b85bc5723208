// The point CSV as the program writes it and reads it back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "points/point_csv.h"
#include "points/point_writer.h"
#include "points/text_fields.h"
#include "testing/temp_dir.h"

namespace orvan::points {
namespace {

PointRecord Record(const char* utc, double ra, PierSide side, PointAir air = {}) {
  PointRecord r;
  r.utc = *ParseUtcText(utc);
  r.sky_ra_hours = ra;
  r.sky_dec_deg = -16.716117;
  r.mount_ra_hours = 0.1 + 0.2;  // 0.30000000000000004: every bit kept
  r.mount_dec_deg = 89.999999999;
  r.pier_side = side;
  r.air = air;
  return r;
}

TEST(PointCsv, WritesOneWholeLineAndReadsItBackBitForBit) {
  const PointRecord records[] = {
      Record("2026-12-08T21:30:00.125Z", 6.752477, PierSide::East, {5.5, 1013.25, 60}),
      Record("2016-12-31T23:59:60.5Z", 23.999999999999996, PierSide::West, {-3, {}, {}}),
      Record("2026-12-08T22:00:00Z", 0, PierSide::Unknown),
  };
  EXPECT_EQ(PointCsvLine(records[0]),
            "2026-12-08T21:30:00.125Z,6.752477,-16.716117,0.30000000000000004,89.999999999,east,"
            "5.5,1013.25,60\n");
  std::string text = PointCsvHeaderLine();
  for (const PointRecord& r : records) text += PointCsvLine(r);
  const std::vector<PointRecord> read = ReadPointCsv(text, "points.csv");
  ASSERT_EQ(read.size(), std::size(records));
  for (std::size_t i = 0; i < read.size(); ++i) {
    const PointRecord& a = read[i];
    const PointRecord& b = records[i];
    EXPECT_EQ(UtcText(a.utc), UtcText(b.utc)) << i;
    EXPECT_EQ(a.sky_ra_hours, b.sky_ra_hours) << i;
    EXPECT_EQ(a.mount_ra_hours, b.mount_ra_hours) << i;
    EXPECT_EQ(a.mount_dec_deg, b.mount_dec_deg) << i;
    EXPECT_EQ(a.pier_side, b.pier_side) << i;
    EXPECT_EQ(a.air.temperature_c, b.air.temperature_c) << i;
    EXPECT_EQ(a.air.pressure_hpa, b.air.pressure_hpa) << i;
    EXPECT_EQ(a.air.humidity_percent, b.air.humidity_percent) << i;
    EXPECT_EQ(a.line, static_cast<int>(i) + 2) << i;
  }
}

// As a person or a spreadsheet writes it: a header in capitals with blanks,
// quoted fields, CRLF, comments, no air columns, no line end at the end.
TEST(PointCsv, ReadsWhatPeopleAndSpreadsheetsWrite) {
  const std::string text =
      "# tonight\r\n UTC , Sky_RA_Hours,sky_dec_degrees ,mount_ra_hours,mount_dec_degrees,"
      "pier_side\r\n\r\n\"2026-12-08T21:30:00Z\", 6.75 ,\"-16.7\",6.76,-16.75,West\r\n"
      "# a comment, \"quoted\"\r\n2026-12-08T21:31:00Z,6.75,-16.7,6.76,-16.75,";
  const std::vector<PointRecord> read = ReadPointCsv(text, "people.csv");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].line, 4);
  EXPECT_EQ(read[0].sky_ra_hours, 6.75);
  EXPECT_EQ(read[0].sky_dec_deg, -16.7);
  EXPECT_EQ(read[0].pier_side, PierSide::West);
  EXPECT_EQ(read[1].line, 6);
  EXPECT_EQ(read[1].pier_side, PierSide::Unknown);
  EXPECT_FALSE(read[1].air.temperature_c);
}

// Each point is one write, a new file's header its own first one; a file
// with other columns is left alone.
TEST(PointWriter, AppendsWholeLinesUnderOneHeader) {
  const TempDir dir;
  const std::string path = dir.File("syncs.csv");
  const PointRecord r = Record("2026-12-08T21:30:00Z", 1, PierSide::East);
  std::string error, reason;
  for (int run = 0; run < 2; ++run) {
    const std::unique_ptr<PointWriter> writer = PointWriter::Open(path, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(writer->Append(r, reason)) << reason;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str(), PointCsvHeaderLine() + PointCsvLine(r) + PointCsvLine(r));

  const std::string old = dir.File("old.csv");
  std::ofstream(old) << kPointCsvHeader << "\n";
  EXPECT_FALSE(PointWriter::Open(old, error));
  EXPECT_EQ(error, "cannot open points " + old +
                       ": it is not a point CSV with the air columns "
                       "(utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,"
                       "pier_side,temperature_c,pressure_hpa,humidity_percent)");
}

TEST(Quoted, CutsARunawayFieldShort) {
  EXPECT_EQ(Quoted("6h76"), "\"6h76\"");
  EXPECT_EQ(Quoted(std::string(60, 'x')), "\"" + std::string(60, 'x') + "\"");
  EXPECT_EQ(Quoted(std::string(1000000, 'x')),
            "\"" + std::string(60, 'x') + "...\" (1000000 bytes)");
}

}  // namespace
}  // namespace orvan::points
