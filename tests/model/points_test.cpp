// The point readers against independent references: hand-worked
// sexagesimal arithmetic, ERFA's own observed places (eraAtco13, eraAtio13)
// and files libindi's alignment code wrote.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/points.h"
#include "point_files.h"
#include "support/units.h"

namespace orvan::model {
namespace {

// ERFA's observed place, as hour angle (hours, in (-12, 12]) and declination.
HaDec FromErfa(double hob, double dob) {
  double hours = hob * 12 / ERFA_DPI;
  if (hours <= -12) hours += 24;
  if (hours > 12) hours -= 24;
  return {hours, dob * ERFA_DR2D};
}

// Hour-angle difference in arc-seconds on the sky at declination `dec`.
double HaArcsec(double a, double b, double dec) {
  double d = a - b;
  d -= 24 * std::round(d / 24);
  return std::fabs(d) * kArcsecPerHour * std::cos(dec * ERFA_DD2R);
}

void ExpectNear(HaDec got, HaDec want, double arcsec, const std::string& what) {
  EXPECT_LE(HaArcsec(got.ha, want.ha, want.dec), arcsec)
      << what << ": ha " << got.ha << " want " << want.ha;
  EXPECT_LE(std::fabs(got.dec - want.dec) * kArcsecPerDegree, arcsec)
      << what << ": dec " << got.dec << " want " << want.dec;
}

// UTC as ERFA's two-part Julian date.
void Utc(int y, int m, int d, int hour, int minute, double second, double& u1, double& u2) {
  ASSERT_EQ(eraDtf2d("UTC", y, m, d, hour, minute, second, &u1, &u2), 0);
}

// Local apparent sidereal time (hours) by eraGst06a, UT1 taken as UTC.
double LastHours(double u1, double u2, double longitude_deg) {
  double tai1, tai2, tt1, tt2;
  eraUtctai(u1, u2, &tai1, &tai2);
  eraTaitt(tai1, tai2, &tt1, &tt2);
  return eraAnp(eraGst06a(u1, u2, tt1, tt2) + longitude_deg * ERFA_DD2R) * 12 / ERFA_DPI;
}

// Hours as "h m s.sss", as a TPOINT file writes a sidereal time.
std::string Hms(double hours) {
  const double ms = std::round(hours * 3600000);
  char text[32];
  std::snprintf(text, sizeof text, "%d %d %.3f", static_cast<int>(ms / 3600000),
                static_cast<int>(std::fmod(ms, 3600000) / 60000), std::fmod(ms, 60000) / 1000);
  return text;
}

// Sexagesimal fields worked by hand: the mount's hour angle is the sidereal
// time less the telescope's right ascension; h m sidereal times, "-0" degrees,
// declinations through the pole, proper-motion fields counted, and what
// follows a field that is no number ignored, as is all after END.
TEST(TpointFile, SexagesimalFieldsAsWorkedByHand) {
  const std::string path =
      WritePointFile("hand.dat",
                     "Hand-worked run\n"
                     ":EQUAT\n"
                     ":NODA\n"
                     "+52 30 00 2026 12 08\n"
                     "06 45 08.9 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n"
                     "\n"
                     "06 45 08.9 -16 42 58 02 16 00 164 04 00 13 40 52.2\n"
                     "06 45 08.9 -16 42 58 0 0 2000 23 59 59.99 -0 30 00 0 00 00 "
                     "Sirius 1 2 3\n"
                     "END\n"
                     "anything at all\n");
  const std::vector<Point> points = ReadPoints(path, {});
  ASSERT_EQ(points.size(), 3u);
  struct Want {
    int line;
    double ha, dec;
    bool through_pole;
  };
  // 13h40.87m = 13.681166..h; 12h34m56.7s = 12.582416..h; 2h16m = 2.266..h;
  // 23h59m59.99s is 0.01 s short of 24 h.
  const Want wants[] = {{5, 13.6811666666667 - 12.5824166666667, -5.125, false},
                        {7, 13.6811666666667 - 2.2666666666667, 164.0666666666667, true},
                        {8, 0.01 / 3600, -0.5, false}};
  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(wants[i].line);
    EXPECT_EQ(points[i].source, path);
    EXPECT_EQ(points[i].line, wants[i].line);
    EXPECT_NEAR(points[i].mechanical.ha, wants[i].ha, 1e-9);
    EXPECT_NEAR(points[i].mechanical.dec, wants[i].dec, 1e-9);
    EXPECT_EQ(points[i].through_pole, wants[i].through_pole);
    EXPECT_EQ(points[i].latitude_deg, 52.5);
  }
}

// A star's mean place with proper motions, taken to where it was seen at a
// sidereal time in the run's air, against ERFA's eraAtco13 for the same moment
// (its UT found from the sidereal time and --longitude). A :J2000 telescope
// position at the star's place lands on ERFA's unrefracted place (to the
// diurnal aberration the mount's reading lacks), and through the pole on its
// mirror.
TEST(TpointFile, ObservedPlaceAsErfaHasIt) {
  const double latitude = -30.0 - 14.0 / 60 - 16.8 / 3600, longitude = -70.7375, height = 2200;
  const double pressure = 780, temperature = 8, humidity = 0.3, wavelength = 0.6;
  double u1, u2;
  Utc(2026, 12, 8, 5, 12, 34.5, u1, u2);
  const std::string last = Hms(LastHours(u1, u2, longitude));
  // Sirius, J2000 mean place and proper motions (RA seconds of time and
  // Dec arc-seconds a year).
  const std::string star = "06 45 08.917 -16 42 58.02 -0.03847 -1.2053 2000 ";
  const std::string path = WritePointFile(
      "erfa.dat", "Run against ERFA\n:J2000\n-30 14 16.8 2026 12 8 8 780 2200 0.3 0.6\n" + star +
                      "06 45 08.917 -16 42 58.02 " + last + "\n" + star +
                      "18 45 08.917 -163 17 01.98 " + last + "\n");
  ReadOptions options;
  options.longitude_deg = longitude;
  const std::vector<Point> points = ReadPoints(path, options);
  ASSERT_EQ(points.size(), 2u);

  const double rc = (6 + 45.0 / 60 + 8.917 / 3600) * 15 * ERFA_DD2R;
  const double dc = -(16 + 42.0 / 60 + 58.02 / 3600) * ERFA_DD2R;
  const double pr = -0.03847 * 15 * ERFA_DAS2R, pd = -1.2053 * ERFA_DAS2R;
  double aob, zob, hob, dob, rob, eo;
  ASSERT_EQ(eraAtco13(rc, dc, pr, pd, 0, 0, u1, u2, 0, longitude * ERFA_DD2R, latitude * ERFA_DD2R,
                      height, 0, 0, pressure, temperature, humidity, wavelength, &aob, &zob, &hob,
                      &dob, &rob, &eo),
            0);
  ExpectNear(points[0].observed, FromErfa(hob, dob), 0.02, "observed");
  EXPECT_GT(90 - zob * ERFA_DR2D, 30);  // high enough for refraction to be ERFA's model
  ExpectNear(points[1].observed, FromErfa(hob, dob), 0.02, "observed, second line");

  // Unrefracted: the telescope's :J2000 place taken to the place of date.
  ASSERT_EQ(eraAtco13(rc, dc, 0, 0, 0, 0, u1, u2, 0, longitude * ERFA_DD2R, latitude * ERFA_DD2R,
                      height, 0, 0, 0, 0, 0, wavelength, &aob, &zob, &hob, &dob, &rob, &eo),
            0);
  const HaDec sky = FromErfa(hob, dob);
  ExpectNear(points[0].mechanical, sky, 0.4, "mechanical");
  EXPECT_FALSE(points[0].through_pole);
  ExpectNear(points[1].mechanical, {sky.ha + 12, -180 - sky.dec}, 0.4,
             "mechanical through the pole");
  EXPECT_TRUE(points[1].through_pole);
  EXPECT_DOUBLE_EQ(points[0].latitude_deg, latitude);
}

// ERFA's own sexagesimal text: hours as "h m s.ssss", degrees as "+d m s.sss".
std::string ErfaHms(double radians) {
  char sign;
  int f[4];
  eraA2tf(4, radians, &sign, f);
  return std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + "." +
         std::to_string(10000 + f[3]).substr(1);
}
std::string ErfaDms(double radians) {
  char sign;
  int f[4];
  eraA2af(3, radians, &sign, f);
  return sign + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) +
         "." + std::to_string(1000 + f[3]).substr(1);
}

// A mean place of another epoch, made from a J2000 place with ERFA's
// Fukushima-Williams precession angles (eraPfw06, eraFw2m) and written by
// ERFA's own formatting, is seen where eraAtco13 sees the J2000 place.
TEST(TpointFile, MeanPlaceOfAnotherEpoch) {
  const double latitude = 52.5, longitude = 13.4;
  double u1, u2;
  Utc(2026, 12, 8, 23, 5, 0, u1, u2);
  const double rc = 10.139532 * 15 * ERFA_DD2R, dc = 11.967208 * ERFA_DD2R;
  double gamb, phib, psib, epsa, r[3][3], p2000[3], p2050[3], ra, dec;
  eraPfw06(2451545.0, 50 * 365.25, &gamb, &phib, &psib, &epsa);
  eraFw2m(gamb, phib, psib, epsa, r);
  eraS2c(rc, dc, p2000);
  eraRxp(r, p2000, p2050);
  eraC2s(p2050, &ra, &dec);
  const std::string star2050 = ErfaHms(eraAnp(ra)) + " " + ErfaDms(dec) + " 0 0 2050 ";
  const std::string star2000 = ErfaHms(rc) + " " + ErfaDms(dc) + " 0 0 2000 ";
  const std::string rest = "10 08 00 +12 00 00 " + Hms(LastHours(u1, u2, longitude)) + "\n";
  const std::string path = WritePointFile(
      "epoch.dat", "Epochs\n+52 30 00 2026 12 08 0 1000\n" + star2050 + rest + star2000 + rest);
  ReadOptions options;
  options.longitude_deg = longitude;
  const std::vector<Point> points = ReadPoints(path, options);
  ASSERT_EQ(points.size(), 2u);
  double aob, zob, hob, dob, rob, eo;
  ASSERT_EQ(eraAtco13(rc, dc, 0, 0, 0, 0, u1, u2, 0, longitude * ERFA_DD2R, latitude * ERFA_DD2R, 0,
                      0, 0, 1000, 0, 0, 0.55, &aob, &zob, &hob, &dob, &rob, &eo),
            0);
  ExpectNear(points[0].observed, FromErfa(hob, dob), 0.02, "epoch 2050");
  ExpectNear(points[1].observed, FromErfa(hob, dob), 0.02, "epoch 2000");
}

// The point CSV: J2000 plate solves against eraAtco13 at each row's UTC with
// the site (its height too) and air given; the mount's reading of date against the sidereal
// time from eraGst06a, pier side west taken through the pole.
TEST(PointCsv, ObservedAndMechanicalPlaces) {
  const std::string path = WritePointFile(
      "points.csv",
      "# plate solves\n"
      "UTC, sky_ra_hours, sky_dec_degrees, mount_ra_hours, mount_dec_degrees, pier_side\n"
      "2026-12-08T21:30:00Z,6.752477,-16.716117,6.7612,-16.75,east\n"
      "2026-12-08T22:00:00.5Z,10.139532,11.967208,10.15,11.9,WEST\n"
      "\n"
      "2026-12-08T22:10:00.25Z,2.530301,89.264109,2.9,89.3,\n");
  ReadOptions options;
  options.latitude_deg = 52.5;
  options.longitude_deg = 13.4;
  options.pressure_hpa = 1010;
  options.temperature_c = 5;
  options.relative_humidity = 0.6;
  options.height_m = 1650;
  const std::vector<Point> points = ReadPoints(path, options);
  ASSERT_EQ(points.size(), 3u);
  struct Row {
    int line, minute;
    double second, ra, dec, mount_ra, mount_dec;
    bool through_pole;
  };
  const Row rows[] = {{3, 30, 0, 6.752477, -16.716117, 6.7612, -16.75, false},
                      {4, 60, 0.5, 10.139532, 11.967208, 10.15 + 12, 180 - 11.9, true},
                      {6, 70, 0.25, 2.530301, 89.264109, 2.9, 89.3, false}};
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.line);
    double u1, u2;
    Utc(2026, 12, 8, 21 + row.minute / 60, row.minute % 60, row.second, u1, u2);
    double aob, zob, hob, dob, rob, eo;
    ASSERT_EQ(eraAtco13(row.ra * 15 * ERFA_DD2R, row.dec * ERFA_DD2R, 0, 0, 0, 0, u1, u2, 0,
                        13.4 * ERFA_DD2R, 52.5 * ERFA_DD2R, 1650, 0, 0, 1010, 5, 0.6, 0.55, &aob,
                        &zob, &hob, &dob, &rob, &eo),
              0);
    ExpectNear(points[i].observed, FromErfa(hob, dob), 0.02, "observed");
    const double ha = LastHours(u1, u2, 13.4) - row.mount_ra;
    EXPECT_NEAR(std::remainder(points[i].mechanical.ha - ha, 24), 0, 1e-6);
    EXPECT_NEAR(points[i].mechanical.dec, row.mount_dec, 1e-9);
    EXPECT_EQ(points[i].through_pole, row.through_pole);
    EXPECT_EQ(points[i].line, row.line);
  }
}

// Character references, decimal and hexadecimal, and CDATA sections read as
// the text they stand for: the same point as the database written plainly.
TEST(IndiDatabase, ReferencesAndCdataReadAsTheirText) {
  const std::string plain = std::string(kIndiHead) + IndiEntry("5:30:00", "0.342020") + kIndiTail;
  const std::vector<Point> want = ReadPoints(WritePointFile("plain.xml", plain), {});
  ASSERT_EQ(want.size(), 1u);
  struct Variant {
    const char* name;
    std::string plain, written;
  };
  const Variant variants[] = {
      {"decimal reference", ">2461383.5<", ">&#50;461383.5<"},
      {"hexadecimal reference in an attribute", "'52.5'", "'&#x35;2.5'"},
      {"CDATA section", ">5:30:00<", "><![CDATA[5:30]]>:00<"},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    std::string text = plain;
    const auto at = text.find(v.plain);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, v.plain.size(), v.written);
    const std::vector<Point> got = ReadPoints(WritePointFile("written.xml", text), {});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].line, want[0].line);
    EXPECT_EQ(got[0].latitude_deg, want[0].latitude_deg);
    EXPECT_EQ(got[0].observed.ha, want[0].observed.ha);
    EXPECT_EQ(got[0].observed.dec, want[0].observed.dec);
    EXPECT_EQ(got[0].mechanical.ha, want[0].mechanical.ha);
    EXPECT_EQ(got[0].mechanical.dec, want[0].mechanical.dec);
  }
}

// What the formats allow around their content reads as the plain file does:
// one UTF-8 byte-order mark, CRLF line ends, blanks around the CSV's header
// names, blank and comment lines before it.
TEST(PointFiles, AByteOrderMarkCrlfAndBlanksReadAsThePlainFile) {
  const std::string csv =
      "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side\n"
      "2026-12-08T21:30:00Z,6.752477,-16.716117,6.7612,-16.75,east\n"
      "2026-12-08T22:00:00.5Z,10.139532,11.967208,10.15,11.9,west\n";
  const std::string tpoint =
      "Run\n:EQUAT\n+52 30 00 2026 12 08\n"
      "06 45 08.9 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n";
  const auto crlf = [](std::string text) {
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
      text.insert(at, "\r");
    return text;
  };
  ReadOptions options;
  options.latitude_deg = 52.5;
  options.longitude_deg = 13.4;
  struct Variant {
    const char* name;
    std::string plain, dressed;
  };
  const Variant variants[] = {
      {"csv, mark and CRLF", csv, "\xEF\xBB\xBF" + crlf(csv)},
      {"csv, blanks and comments", csv,
       "\n# solves\n  UTC , Sky_RA_Hours,sky_dec_degrees ,mount_ra_hours,\tmount_dec_degrees, "
       "pier_side\t\n" +
           csv.substr(csv.find('\n') + 1)},
      {"tpoint, mark and CRLF", tpoint, "\xEF\xBB\xBF" + crlf(tpoint)},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const std::vector<Point> plain = ReadPoints(WritePointFile("plain.txt", v.plain), options);
    const std::vector<Point> dressed =
        ReadPoints(WritePointFile("dressed.txt", v.dressed), options);
    ASSERT_EQ(dressed.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(dressed[i].observed.ha, plain[i].observed.ha);
      EXPECT_EQ(dressed[i].observed.dec, plain[i].observed.dec);
      EXPECT_EQ(dressed[i].mechanical.ha, plain[i].mechanical.ha);
      EXPECT_EQ(dressed[i].mechanical.dec, plain[i].mechanical.dec);
      EXPECT_EQ(dressed[i].through_pole, plain[i].through_pole);
    }
  }
}

// A mount whose controller corrects refraction: with --refraction none a
// file's air, and the options', are set aside, and its points read as a file
// with no air; each file that gave some says so.
TEST(PointFiles, RefractionNoneSetsAsideEveryAir) {
  const std::string csv =
      "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side,"
      "temperature_c,pressure_hpa,humidity_percent\n"
      "2026-12-08T21:30:00Z,6.752477,-16.716117,6.7612,-16.75,east,5,1010,60\n"
      "2026-12-08T22:00:00.5Z,10.139532,11.967208,10.15,11.9,west,4,,\n";
  const std::string csv_without_pressure =
      "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side,"
      "temperature_c,pressure_hpa,humidity_percent\n"
      "2026-12-08T21:30:00Z,6.752477,-16.716117,6.7612,-16.75,east,5,,60\n"
      "2026-12-08T22:00:00.5Z,10.139532,11.967208,10.15,11.9,west,4,,\n";
  const std::string tpoint =
      "Run\n:EQUAT\n+52 30 00 2026 12 08 5 1010\n"
      "06 45 08.9 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n";
  const std::string tpoint_without =
      "Run\n:EQUAT\n+52 30 00 2026 12 08 5 0\n"
      "06 45 08.9 -16 42 58 12 34 56.7 -05 07 30 13 40.87\n";
  ReadOptions air;
  air.latitude_deg = 52.5;
  air.longitude_deg = 13.4;
  ReadOptions none = air;
  none.refraction = false;
  none.pressure_hpa = 990;
  const struct {
    const char* name;
    std::string text, without;
    std::string said;
  } files[] = {
      {"csv", csv, csv_without_pressure, "sets aside the pressure_hpa column of "},
      {"tpoint", tpoint, tpoint_without, "sets aside any pressure on the run line of "},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const std::string path = WritePointFile("aired.txt", f.text);
    std::vector<UnusedSetting> unused;
    const std::vector<Point> set_aside = ReadPoints(path, none, &unused);
    const std::vector<Point> plain = ReadPoints(WritePointFile("plain.txt", f.without), air);
    ASSERT_EQ(set_aside.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(set_aside[i].observed.ha, plain[i].observed.ha);
      EXPECT_EQ(set_aside[i].observed.dec, plain[i].observed.dec);
    }
    const auto said = std::find_if(unused.begin(), unused.end(), [](const UnusedSetting& u) {
      return u.setting == ReadSetting::Refraction;
    });
    ASSERT_NE(said, unused.end());
    EXPECT_EQ(said->what, f.said + path + ": the fit takes no refraction");
    // With the air, the pressure moves the observed place.
    EXPECT_NE(ReadPoints(path, air)[0].observed.dec, plain[0].observed.dec);
  }
}

#ifdef ORVAN_INDI_ALIGNMENT_WRITER
// Sync points put into libindi's InMemoryDatabase and saved by it come back:
// the mount's hour angle and declination the direction vector was made from,
// the site from the reference position (INDI's longitude 0..360 east), and the
// synced sky position (apparent place of date) seen at the sync's time in the
// air given, against ERFA's eraAtio13.
TEST(IndiDatabase, SyncPointsRoundTripThroughLibindi) {
  const std::string home = PointFolder("indi-home");
  struct Sync {
    double jd, ra, dec, ha, mount_dec;
  };
  // Right ascensions and declinations in whole seconds, Julian dates in
  // whole binary fractions of a day: libindi writes them to a second and six
  // decimals.
  const Sync syncs[] = {{2461383.40625, 5.5, 20.25, 1.5, 20.0},
                        {2461383.4375, 13 + 7.0 / 60 + 41.0 / 3600, -33.25, -2.25, -33.3},
                        {2461383.46875, 23 + 59.0 / 60 + 59.0 / 3600, -(30.0 / 60), 11.9, -0.4}};
  const double latitude = 40.5, indi_longitude = 356.25;  // 3.75 degrees west
  std::string command = "'" ORVAN_INDI_ALIGNMENT_WRITER "' '" + home + "' 'Test Mount' " +
                        std::to_string(latitude) + " " + std::to_string(indi_longitude);
  for (const Sync& s : syncs)
    for (double v : {s.jd, s.ra, s.dec, s.ha, s.mount_dec}) command += " " + std::to_string(v);
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  ReadOptions options;
  options.pressure_hpa = 950;
  options.temperature_c = -5;
  const std::string path = home + "/.indi/Test Mount_alignment_database.xml";
  const std::vector<Point> points = ReadPoints(path, options);
  ASSERT_EQ(points.size(), 3u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Sync& s = syncs[i];
    SCOPED_TRACE(i);
    // The vector is written to six decimals: a fifth of an arc-second.
    ExpectNear(points[i].mechanical, {s.ha, s.mount_dec}, 0.5, "mechanical");
    EXPECT_FALSE(points[i].through_pole);
    EXPECT_EQ(points[i].latitude_deg, latitude);
    double tt1, tt2, tai1, tai2;
    eraUtctai(s.jd, 0, &tai1, &tai2);
    eraTaitt(tai1, tai2, &tt1, &tt2);
    const double ri = s.ra * 15 * ERFA_DD2R + eraEo06a(tt1, tt2);  // equinox to CIO based
    double aob, zob, hob, dob, rob;
    ASSERT_EQ(
        eraAtio13(ri, s.dec * ERFA_DD2R, s.jd, 0, 0, (indi_longitude - 360) * ERFA_DD2R,
                  latitude * ERFA_DD2R, 0, 0, 0, 950, -5, 0, 0.55, &aob, &zob, &hob, &dob, &rob),
        0);
    ExpectNear(points[i].observed, FromErfa(hob, dob), 0.05, "observed");
  }
}
#endif

}  // namespace
}  // namespace orvan::model
