// Every fault in a point file gets one clear answer: "FILE, line N: what is
// wrong" (or "FILE: ..." for the file as a whole).
#include <gtest/gtest.h>

#include <string>

#include "model/points.h"
#include "point_files.h"

namespace orvan::model {
namespace {

constexpr const char* kRun = "Caption\n+52 30 00 2026 12 08\n";
constexpr const char* kStar = "06 45 08.9 -16 42 58 ";
constexpr const char* kCsvHeader =
    "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side\n";
constexpr const char* kNotPoints =
    ": not a point file: it is neither a TPOINT observation file (a caption line, then : options "
    "or the run line), an INDI alignment database (XML) nor a point CSV (the header line "
    "utc,sky_ra_hours,...)";

struct Fault {
  const char* name;
  std::string content;
  std::string answer;  // what() after the file's path
  bool csv_site = false;
};

TEST(PointFaults, EachGetsItsLineAndCause) {
  const std::string obs = std::string(kStar) + "12 34 56.7 -05 07 30 13 40.87\n";
  const Fault faults[] = {
      {"empty", "", ": empty file"},
      {"utf16", std::string("\xFF\xFEu\0t\0c\0,\0", 8),
       ": UTF-16 text (it starts with a UTF-16 byte-order mark): save it as UTF-8"},
      {"utf16_big", std::string("\xFE\xFF\0u\0t", 6),
       ": UTF-16 text (it starts with a UTF-16 byte-order mark): save it as UTF-8"},
      {"two_boms", "\xEF\xBB\xBF\xEF\xBB\xBF" + std::string(kCsvHeader),
       ": two UTF-8 byte-order marks: a file starts with one at most"},
      {"cr_only",
       "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side\r"
       "2026-12-08T21:30:00Z,6.75,-16.7,6.76,-16.75,east\r",
       ": its lines end in a carriage return alone: save it with LF or CRLF line ends"},
      {"tabs",
       "utc\tsky_ra_hours\tsky_dec_degrees\tmount_ra_hours\tmount_dec_degrees\tpier_side\n"
       "2026-12-08T21:30:00Z\t6.75\t-16.7\t6.76\t-16.75\teast\n",
       kNotPoints},
      {"caption_only", "Caption\n", kNotPoints},
      {"prose", "Notes of the night\nclear, then cloud\n", kNotPoints},
      {"blank", " \n\n", ": empty file"},
      {"no_run_line", "Caption\n:EQUAT\n", ": no run line (latitude, year, month, day)"},
      {"no_observations", std::string(kRun) + "END\n", ": no observations"},
      {"altaz", "Caption\n:ALTAZ\n",
       ", line 2: :ALTAZ data (an altazimuth mount) cannot be read: equatorial only"},
      {"option_late", std::string(kRun) + ":J2000\n",
       ", line 3: option \":J2000\" after the run line"},
      {"run_fields", "Caption\n52 30 00 2026 12\n",
       ", line 2: the run line has 5 fields; expected latitude (d m s), year, month, day, then up "
       "to "
       "temperature, pressure, height, humidity and wavelength"},
      {"run_date", "Caption\n52 30 00 2026 2 30\n", ", line 2: no such date \"2026 2 30\""},
      {"run_latitude", "Caption\n92 30 00 2026 2 3\n", ", line 2: latitude is beyond +-90 degrees"},
      {"run_humidity", "Caption\n52 30 00 2026 2 3 10 1000 100 45\n",
       ", line 2: relative humidity \"45\" is out of range"},
      {"obs_13", std::string(kRun) + kStar + "12 34 56.7 -05 07 30 13\n",
       ", line 3: an observation has 13 numbers; expected 14 or 15 (star, telescope, sidereal time "
       "h m "
       "or h m s), or 17 or 18 with proper motions and epoch"},
      {"obs_16", std::string(kRun) + obs.substr(0, obs.size() - 1) + " 7 8\n",
       ", line 3: an observation has 16 numbers; expected 14 or 15 (star, telescope, sidereal time "
       "h m "
       "or h m s), or 17 or 18 with proper motions and epoch"},
      {"minutes_60", std::string(kRun) + "06 60 08.9 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n",
       ", line 3: star RA: \"60\" is not in [0, 60)"},
      {"seconds_60", std::string(kRun) + kStar + "12 34 60 -05 07 30 13 40.87\n",
       ", line 3: telescope RA: \"60\" is not in [0, 60)"},
      {"fractional_minutes", std::string(kRun) + kStar + "12 34.5 6 -05 07 30 13 40.87\n",
       ", line 3: telescope RA: \"34.5\" should be a whole number"},
      {"ra_24", std::string(kRun) + "24 00 00 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n",
       ", line 3: star RA is not in [0, 24) hours"},
      {"star_dec", std::string(kRun) + "06 45 08.9 -96 42 58 12 34 56.7 -05 07 30 13 40.87\n",
       ", line 3: star Dec is beyond +-90 degrees"},
      {"mount_dec", std::string(kRun) + kStar + "12 34 56.7 -270 00 01 13 40.87\n",
       ", line 3: telescope Dec is beyond +-270 degrees"},
      // A runaway field is quoted to its first 60 characters.
      {"long_field", "Caption\n52 30 00 2026 2 3 " + std::string(100, '7') + "\n",
       ", line 2: temperature \"" + std::string(60, '7') + "...\" (100 bytes) is out of range"},
      {"long_option", std::string(kRun) + ":" + std::string(99, 'X') + " on\n",
       ", line 3: option \":" + std::string(59, 'X') + "...\" (100 bytes) after the run line"},
      {"long_year", "Caption\n52 30 00 2026." + std::string(95, '5') + " 2 3\n",
       ", line 2: year: \"2026." + std::string(55, '5') +
           "...\" (100 bytes) should be a whole number"},
      {"epoch", std::string(kRun) + kStar + "0.01 0.1 20 12 34 56.7 -05 07 30 13 40.87\n",
       ", line 3: epoch \"20\" is out of range"},
      {"xml_unclosed", std::string(kIndiHead) + "</INDIAlignmentDatabase>\n",
       ", line 4: XML: Opening and ending tag mismatch."},
      {"xml_attribute", "<INDIAlignmentDatabase>\n<DatabaseReferenceLocation latitude=52/>\n",
       ", line 2: XML: Expected ''' or '\"', but got '[0-9]'."},
      {"xml_attribute_twice",
       "<INDIAlignmentDatabase>\n<DatabaseReferenceLocation latitude='52.5' latitude='-44' "
       "longitude='13.25'/>\n",
       ", line 2: XML: Attribute 'latitude' redefined."},
      {"xml_trailing", "<INDIAlignmentDatabase/>\n<more/>\n",
       ", line 2: XML: Extra content at end of document."},
      // A DOCTYPE, which could declare what the text expands, is refused
      // before any of it is used.
      {"xml_doctype",
       "<?xml version=\"1.0\"?>\n<!-- INDI -->\n<!DOCTYPE INDIAlignmentDatabase SYSTEM "
       "\"indi.dtd\">\n" +
           std::string(kIndiHead) + IndiEntry("5:30:00", "0.342020") + kIndiTail,
       ", line 3: a DOCTYPE is not allowed in an INDI alignment database"},
      {"xml_entity",
       "<!DOCTYPE INDIAlignmentDatabase [\n<!-- <!ENTITY dec \"20:15:00\"> -->\n"
       "<!ENTITY ra \"5:30:00\">\n]>\n" +
           std::string(kIndiHead) + IndiEntry("&ra;", "0.342020") + kIndiTail,
       ", line 3: an entity declaration (\"ra\") is not allowed in an INDI alignment database"},
      {"indi_root", "<Other/>", ", line 1: <Other> is not an INDI alignment database"},
      {"indi_site", "<INDIAlignmentDatabase>\n</INDIAlignmentDatabase>\n",
       ", line 1: no site: <DatabaseReferenceLocation> is missing"},
      {"indi_no_points", std::string(kIndiHead) + kIndiTail, ": no sync points"},
      {"indi_ra", std::string(kIndiHead) + IndiEntry(" 5:61:00", "0.342020") + kIndiTail,
       ", line 6: RightAscension: \"61\" is not in [0, 60)"},
      // What is quoted stops at 60 bytes, and not inside a character (the degree
      // sign's two bytes straddle the 60th).
      {"indi_long_text",
       std::string(kIndiHead) +
           IndiEntry(std::string(59, '1') + "\xC2\xB0" + std::string(40, '1'), "0.342020") +
           kIndiTail,
       ", line 6: RightAscension: \"" + std::string(59, '1') + "...\" (101 bytes) is not a number"},
      // An element the database has once, given twice, names the second.
      {"indi_second_site",
       std::string(kIndiHead) + IndiEntry("5:30:00", "0.342020") +
           "   </DatabaseEntries>\n   <DatabaseReferenceLocation latitude='-44' "
           "longitude='71.9'/>\n</INDIAlignmentDatabase>\n",
       ", line 13: a second <DatabaseReferenceLocation>"},
      {"indi_second_entries",
       std::string(kIndiHead) + "   </DatabaseEntries>\n   <DatabaseEntries>\n" +
           IndiEntry("5:30:00", "0.342020") + kIndiTail,
       ", line 5: a second <DatabaseEntries>"},
      {"indi_second_value",
       std::string(kIndiHead) +
           IndiEntry("5:30:00</RightAscension>\n<RightAscension>5:31:00", "0.342020") + kIndiTail,
       ", line 7: a second <RightAscension>"},
      {"indi_vector", std::string(kIndiHead) + IndiEntry("5:30:00", "0.9") + kIndiTail,
       ", line 4: the telescope direction vector is not of unit length"},
      {"indi_missing", std::string(kIndiHead) + "<DatabaseEntry>\n</DatabaseEntry>\n" + kIndiTail,
       ", line 4: <DatabaseEntry> has no <ObservationJulianDate>"},
      {"csv_site", std::string(kCsvHeader) + "2026-12-08T21:30:00Z,6.75,-16.7,6.76,-16.75,east\n",
       ": a point CSV needs the site: its latitude and longitude (--latitude, --longitude)"},
      {"csv_side", std::string(kCsvHeader) + "2026-12-08T21:30:00Z,6.75,-16.7,6.76,-16.75,north\n",
       ", line 2: pier_side \"north\" is not east, west or empty", true},
      {"csv_columns", std::string(kCsvHeader) + "2026-12-08T21:30:00Z,6.75,-16.7,6.76,-16.75\n",
       ", line 2: 5 columns; expected 6", true},
      {"csv_utc", std::string(kCsvHeader) + "2026-12-08 21:30:00,6.75,-16.7,6.76,-16.75,east\n",
       ", line 2: utc \"2026-12-08 21:30:00\": not a time that exists, written "
       "YYYY-MM-DDTHH:MM:SS[.sss]Z",
       true},
      {"csv_date", std::string(kCsvHeader) + "2026-02-30T21:30:00Z,6.75,-16.7,6.76,-16.75,east\n",
       ", line 2: utc \"2026-02-30T21:30:00Z\": not a time that exists, written "
       "YYYY-MM-DDTHH:MM:SS[.sss]Z",
       true},
      // 2016 ended with a leap second, 2026's June does not (ERFA's table).
      {"csv_leap_second",
       std::string(kCsvHeader) + "2026-06-30T23:59:60Z,6.75,-16.7,6.76,-16.75,east\n",
       ", line 2: utc \"2026-06-30T23:59:60.000Z\": no such time", true},
      {"csv_dec", std::string(kCsvHeader) + "2026-12-08T21:30:00Z,6.75,-96.7,6.76,-16.75,east\n",
       ", line 2: sky_dec_degrees is beyond +-90 degrees", true},
      {"csv_number", std::string(kCsvHeader) + "2026-12-08T21:30:00Z,6.75,-16.7,6h76,-16.75,east\n",
       ", line 2: mount_ra_hours: \"6h76\" is not a number", true},
      {"csv_header", "utc,ra,dec\n",
       ", line 1: the header line should be "
       "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side (then, "
       "optionally, temperature_c,pressure_hpa,humidity_percent)",
       true},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    const std::string path = WritePointFile(std::string(f.name) + ".txt", f.content);
    ReadOptions options;
    if (f.csv_site) {
      options.latitude_deg = 52.5;
      options.longitude_deg = 13.4;
    }
    try {
      ReadPoints(path, options);
      ADD_FAILURE() << "read without complaint";
    } catch (const PointError& e) {
      EXPECT_EQ(e.what(), path + f.answer);
    }
  }
}

TEST(PointFaults, AFileThatCannotBeRead) {
  const std::string path = PointFolder("missing") + "/none.dat";
  try {
    ReadPoints(path, {});
    ADD_FAILURE() << "read without complaint";
  } catch (const PointError& e) {
    EXPECT_EQ(e.what(), path + ": cannot be read");
  }
  const std::string folder = PointFolder("a_folder");
  try {
    ReadPoints(folder, {});
    ADD_FAILURE() << "read without complaint";
  } catch (const PointError& e) {
    EXPECT_EQ(e.what(), folder + ": a folder, not a point file");
  }
}

}  // namespace
}  // namespace orvan::model
