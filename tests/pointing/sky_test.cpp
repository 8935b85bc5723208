#include <erfa.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>

#include "pointing/places.h"
#include "pointing/sky.h"
#include "reference.h"

namespace orvan::pointing {
namespace {

// Seconds of universal time since J2000.0 at a calendar date and hour, by ERFA.
double SecondsSinceJ2000(int year, int month, int day, double hours) {
  double jd0 = 0, jd1 = 0;
  eraCal2jd(year, month, day, &jd0, &jd1);
  return ((jd0 - ERFA_DJ00) + jd1) * ERFA_DAYSEC + hours * 3600;
}

double Hms(double h, double m, double s) {
  return h + m / 60 + s / 3600;
}

// ERFA's full apparent sidereal time (hours), uncached, at the same time scales.
double ErfaGast(double ut) {
  const double gst = eraGst06a(2451545.0, ut / 86400, 2451545.0, (ut + 69.184) / 86400);
  return gst / kRad / 15;
}

// Meeus, Astronomical Algorithms, examples 12.a and 12.b (mean sidereal time).
// Meeus uses the IAU 1982 formula, which ERFA also has (eraGmst82): the dates
// convert exactly when that one matches to 0.1 ms. The 2006 formula the
// program uses lies 3.3 ms (0.05") later on that date.
TEST(SiderealTime, MeanMatchesPublishedExamples) {
  const double midnight = SecondsSinceJ2000(1987, 4, 10, 0.0);
  const double evening = SecondsSinceJ2000(1987, 4, 10, Hms(19, 21, 0));
  for (const auto& [t, published] :
       {std::pair{midnight, Hms(13, 10, 46.3668)}, std::pair{evening, Hms(8, 34, 57.0896)}}) {
    const double gmst82 = eraGmst82(2451545.0, t / 86400) / kRad / 15;
    EXPECT_NEAR(gmst82 * 3600, published * 3600, 1e-4);
    EXPECT_NEAR(GreenwichMeanSiderealTime(t) * 3600, published * 3600 + 0.0033, 2e-4);
  }
}

// The same example's apparent time: Meeus gives 13h10m46.1351s from the 1980
// nutation; ERFA's 2000A nutation and the 2006 mean time put it 3.8 ms later.
TEST(SiderealTime, ApparentMatchesPublishedExample) {
  const double midnight = SecondsSinceJ2000(1987, 4, 10, 0.0);
  EXPECT_NEAR(GreenwichApparentSiderealTime(midnight) * 3600, Hms(13, 10, 46.1351) * 3600 + 0.0038,
              2e-4);
}

TEST(SiderealTime, ApparentMatchesErfasFullFormulaThroughTheHour) {
  // The equation of the equinoxes is computed at the hours and interpolated
  // between them: off by far less than 1e-5 s of time anywhere in the hour.
  const double start = SecondsSinceJ2000(2026, 3, 20, 4.0);
  for (double dt : {0.0, 0.5, 29.75, 59.999, 60.0, 1799.5, 3599.999, 3600.0, 86400.0 * 14 + 31}) {
    EXPECT_NEAR(GreenwichApparentSiderealTime(start + dt) * 3600, ErfaGast(start + dt) * 3600, 1e-5)
        << dt;
  }
}

// TAI - UTC from IERS Bulletin C, plus TT - TAI's 32.184 s: 32 s through
// 1998, 36 s through 2016, 37 s since; the leap second at the end of the day.
TEST(SiderealTime, TerrestrialTimeFollowsTheLeapSeconds) {
  struct Case {
    double ut;
    double tt_minus_utc;
  };
  const Case cases[] = {
      {SecondsSinceJ2000(1998, 6, 1, 0), 63.184},        {SecondsSinceJ2000(1999, 6, 1, 0), 64.184},
      {SecondsSinceJ2000(2016, 12, 31, 23.999), 68.184}, {SecondsSinceJ2000(2017, 1, 1, 0), 69.184},
      {SecondsSinceJ2000(2026, 12, 8, 21), 69.184},
  };
  for (const Case& c : cases) EXPECT_EQ(TtMinusUtcSeconds(c.ut), c.tt_minus_utc) << c.ut;
}

// The days IERS Bulletin C ended with a leap second, and days that did not
// (a month's end in a year without one, a June the leap came in December).
TEST(SiderealTime, LeapSecondsEndTheDaysIersAnnounced) {
  const struct {
    int year, month, day;
    bool leap;
  } days[] = {
      {2016, 12, 31, true}, {2015, 6, 30, true},   {1998, 12, 31, true},  {2012, 6, 30, true},
      {2016, 6, 30, false}, {2026, 12, 31, false}, {2016, 12, 30, false}, {1999, 12, 31, false},
  };
  for (const auto& d : days) {
    EXPECT_EQ(EndsWithLeapSecond(d.year, d.month, d.day), d.leap) << d.year << "-" << d.month;
  }
}

// A star's apparent place, and where it is seen, with the Earth's state
// interpolated between hours: as ERFA's full routines have them, to 20
// micro-arc-seconds (the fortnightly nutation's curvature over an hour is
// about 10), at moments anywhere in the hour.
TEST(Places, MatchErfasFullRoutinesThroughTheHour) {
  const double ra = 1.234, dec = 0.567;  // radians
  for (double hours : {0.0, 0.25, 0.5, 0.999, 13.7, 24 * 40 + 7.3}) {
    Utc utc{};
    ASSERT_TRUE(UtcOfDate(2026, 12, 8, hours / 24, utc));
    const Utc tt{utc.jd1, utc.jd2 + 69.184 / 86400};
    double ri = 0, di = 0, eo = 0;
    eraAtci13(ra, dec, 0, 0, 0, 0, tt.jd1, tt.jd2, &ri, &di, &eo);
    const RaDec apparent = ApparentPlace({{ra / kRad / 15, dec / kRad}}, utc);
    EXPECT_NEAR(Wrap12(apparent.ra - eraAnp(ri - eo) / kRad / 15) * 54000, 0, 2e-5) << hours;
    EXPECT_NEAR((apparent.dec - di / kRad) * 3600, 0, 2e-5) << hours;

    // Seen from 52.5 N at an hour angle of 2 h, through air of 1010 hPa.
    const Site site{52.5, 13.4, 1010, 5, 0.6};
    const double last = Wrap24(apparent.ra + 2);
    double refa = 0, refb = 0;
    eraRefco(1010, 5, 0.6, 0.55, &refa, &refb);
    eraASTROM astrom;
    eraApio(0, last * 15 * kRad + eraEo06a(tt.jd1, tt.jd2), 0, 52.5 * kRad, 0, 0, 0, refa, refb,
            &astrom);
    double aob = 0, zob = 0, hob = 0, dob = 0, rob = 0;
    eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
    const HaDec seen = Observed(apparent, utc, last, site);
    EXPECT_NEAR(Wrap12(seen.ha - hob / kRad / 15) * 54000, 0, 2e-5) << hours;
    EXPECT_NEAR((seen.dec - dob / kRad) * 3600, 0, 2e-5) << hours;
  }
}

TEST(SiderealTime, LocalTimeAddsEastLongitude) {
  const double t = SecondsSinceJ2000(2026, 3, 20, 4.0);
  const Site west{40, -105, 1010, 10};
  EXPECT_NEAR(Wrap12(LocalSiderealTime(west, t) - (ErfaGast(t) - 7.0)) * 3600, 0, 1e-4);
}

// By hand: a quarter turn on the equator; 2 degrees across the pole; a
// milli-arc-second along a meridian (the two declinations' exact
// difference), which the cosine form would lose; right ascension in
// hours, wrapping.
TEST(Separation, IsTheAngleBetweenTwoPlacesAtEverySize) {
  const struct {
    RaDec a, b;
    double degrees;
  } cases[] = {
      {{0, 0}, {6, 0}, 90},
      {{0, 89}, {12, 89}, 2},
      {{5, 20}, {5, 20 + 1e-3 / 3600}, (20 + 1e-3 / 3600) - 20},
      {{23.5, -30},
       {0.5, -30},
       2 * std::asin(std::cos(-30 * kRadiansPerDegree) * std::sin(7.5 * kRadiansPerDegree)) *
           kDegreesPerRadian},
  };
  // Either way round, to 1e-12 degrees: how a machine rounds (fused or not)
  // moves a milli-arc-second's last digits.
  for (const auto& c : cases) {
    EXPECT_NEAR(SeparationDeg(c.a, c.b), c.degrees, 1e-12) << c.a.ra << " " << c.a.dec;
    EXPECT_NEAR(SeparationDeg(c.b, c.a), c.degrees, 1e-12);
  }
}

TEST(Refraction, MatchesErfaAtTheDefaultSite) {
  // 840 hPa, 8 C, 50 % humidity, 45 degrees up: ERFA gives 48.5".
  const Site site{40, -105, 840, 8, 0.5};
  const double r = ModelArcsec(45, site);
  EXPECT_NEAR(r, 48.54, 0.01);
  EXPECT_NEAR(RefractionArcsec(45 - r / 3600, site), r, 1e-3);
}

TEST(Refraction, IsTheInverseOfErfasObservedToTrue) {
  // eraAtoiq takes an observed place back to the true one with the same
  // constants: the lift computed here must close the loop.
  const Site site{0, 0, 1013.25, 15, 0.2};
  double a = 0, b = 0;
  eraRefco(site.pressure_hpa, site.temperature_c, site.relative_humidity, 0.55, &a, &b);
  eraASTROM frame{};
  frame.sphi = 0;
  frame.cphi = 1;
  frame.refa = a;
  frame.refb = b;
  for (double alt : {10.0, 20.0, 35.0, 60.0, 85.0}) {
    double ri = 0, di = 0;
    // Observed, on the meridian of a site on the equator: hour angle 0.
    eraAtoiq("H", 0.0, (alt - 90) * kRad, &frame, &ri, &di);
    const double true_alt = di / kRad + 90;
    // The two directions of ERFA's model agree to 1e-4 of the refraction.
    const double r = (alt - true_alt) * 3600;
    EXPECT_NEAR(RefractionArcsec(true_alt, site), r, 1e-4 * r + 1e-3) << alt;
  }
}

// Pulkovo tables for 15 C and 1013.25 hPa, by apparent altitude; ERFA's model
// lies within a few tenths of a percent of them.
TEST(Refraction, MatchesPublishedTableAtStandardConditions) {
  struct Row {
    double apparent_deg, arcsec;
  };
  const Site site{0, 0, 1013.25, 15, 0};
  for (const Row row : {Row{30, 98.53}, Row{45, 57.02}, Row{60, 32.95}}) {
    const double r = RefractionArcsec(row.apparent_deg - row.arcsec / 3600, site);
    EXPECT_NEAR(r, row.arcsec, 0.006 * row.arcsec) << row.apparent_deg;
  }
}

TEST(Refraction, NoPressureNoRefraction) {
  EXPECT_EQ(RefractionArcsec(20, Site{0, 0, 0, 10, 0.5}), 0.0);
}

TEST(Refraction, HeldBelowErfasLowAltitudeLimit) {
  // ERFA holds the sine of the altitude at 0.05 (2.87 degrees) and below:
  // the lift stops growing there and stays finite at and under the horizon.
  const Site site{0, 0, 1013.25, 10, 0.5};
  const double at_limit = RefractionArcsec(std::asin(0.05) / kRad, site);
  EXPECT_NEAR(RefractionArcsec(1.0, site), at_limit, 0.01 * at_limit);
  EXPECT_NEAR(RefractionArcsec(-2.0, site), at_limit, 0.01 * at_limit);
  EXPECT_GT(at_limit, 9 * 60);
  EXPECT_LT(at_limit, 12 * 60);
}

}  // namespace
}  // namespace orvan::pointing
