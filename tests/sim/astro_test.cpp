#include <gtest/gtest.h>

#include "observatory/sim/astro.h"
#include "observatory/sim/clock.h"

namespace orvan::sim {
namespace {

double Hms(double h, double m, double s) {
  return h + m / 60 + s / 3600;
}

// Meeus, Astronomical Algorithms, examples 12.a and 12.b.
TEST(SiderealTime, MatchesPublishedExamples) {
  const double midnight = SecondsSinceJ2000(1987, 4, 10, 0.0);
  EXPECT_NEAR(GreenwichMeanSiderealTime(midnight) * 3600, Hms(13, 10, 46.3668) * 3600, 1e-3);
  const double evening = SecondsSinceJ2000(1987, 4, 10, Hms(19, 21, 0));
  EXPECT_NEAR(GreenwichMeanSiderealTime(evening) * 3600, Hms(8, 34, 57.0896) * 3600, 1e-3);
}

TEST(SiderealTime, LocalTimeAddsEastLongitude) {
  const double t = SecondsSinceJ2000(1987, 4, 10, 0.0);
  const Site west{40, -105, 1010, 10};
  EXPECT_NEAR(LocalSiderealTime(west, t), Hms(13, 10, 46.3668) - 7.0, 1e-6);
}

TEST(SiderealTime, DateConversionMatchesJulianDates) {
  // JD 2446895.5 is 1987-04-10 0h UT; J2000.0 is JD 2451545.0.
  EXPECT_DOUBLE_EQ(SecondsSinceJ2000(1987, 4, 10, 0.0), (2446895.5 - 2451545.0) * 86400);
  EXPECT_DOUBLE_EQ(SecondsSinceJ2000(2000, 1, 1, 12.0), 0.0);
}

// Pulkovo tables for 15 C and 1013.25 hPa, by apparent altitude. Saemundsson's
// formula takes the true altitude and is published as good to about 0.1'
// against these; it runs high by a few arc-seconds at middle altitudes.
TEST(Refraction, MatchesPublishedTableAtStandardConditions) {
  struct Row {
    double apparent_deg, arcsec;
  };
  for (const Row row : {Row{30, 98.53}, Row{45, 57.02}, Row{60, 32.95}}) {
    const double true_alt = row.apparent_deg - row.arcsec / 3600;
    const double r = RefractionArcsec(true_alt, 1013.25, 15);
    EXPECT_NEAR(r, row.arcsec, 0.06 * row.arcsec) << row.apparent_deg;
  }
}

TEST(Refraction, MatchesFormulaReferenceValuesAtItsOwnConditions) {
  // The formula's own conditions (10 C, 1010 hPa): about 1' at 45 degrees,
  // nothing at the zenith, about 29' for a true altitude of zero.
  EXPECT_NEAR(RefractionArcsec(45, 1010, 10), 60.9, 0.3);
  EXPECT_NEAR(RefractionArcsec(90, 1010, 10), 0.0, 0.01);
  EXPECT_NEAR(RefractionArcsec(0, 1010, 10) / 60, 29.0, 0.3);
}

TEST(Refraction, ScalesWithPressureAndTemperature) {
  const double base = RefractionArcsec(30, 1010, 10);
  EXPECT_NEAR(RefractionArcsec(30, 505, 10), base / 2, 1e-9);
  EXPECT_NEAR(RefractionArcsec(30, 1010, -10), base * 283 / 263, 1e-9);
}

TEST(PointingModel, IndexErrorsShiftTheAxes) {
  const Site site{40, 0, 1010, 10};
  PointingModel model{.terms = {.ih = 60, .id = -30}, .refraction = false};
  const HaDec raw = SkyToMechanical(model, site, {1.0, 20.0});
  EXPECT_NEAR((raw.ha - 1.0) * kArcsecPerHour, 60, 1e-9);
  EXPECT_NEAR((raw.dec - 20.0) * kArcsecPerDegree, -30, 1e-9);
}

TEST(PointingModel, RefractionLiftsTowardsTheZenithOnTheMeridian) {
  // On the meridian at altitude 45 degrees south of the zenith, refraction
  // raises the object straight north: declination grows by the refraction.
  const Site site{40, 0, 1010, 10};
  const PointingModel model{.terms = {}, .refraction = true};
  const HaDec raw = SkyToMechanical(model, site, {0.0, -5.0});
  EXPECT_NEAR(raw.ha, 0.0, 1e-12);
  EXPECT_NEAR((raw.dec + 5.0) * kArcsecPerDegree, RefractionArcsec(45, 1010, 10), 1e-6);
}

TEST(PointingModel, RefractionOffTheMeridianLiftsTowardsTheMeridian) {
  // Rising in the east an object looks later than it is, setting in the west
  // earlier: either way the hour angle seen is nearer zero.
  const Site site{40, 0, 1010, 10};
  const PointingModel model{.terms = {}, .refraction = true};
  EXPECT_GT(SkyToMechanical(model, site, {-3.0, 10.0}).ha, -3.0 + 5 / kArcsecPerHour);
  EXPECT_LT(SkyToMechanical(model, site, {3.0, 10.0}).ha, 3.0 - 5 / kArcsecPerHour);
}

TEST(PointingModel, PolarMisalignmentMovesDeclinationBySineAndCosine) {
  const Site site{40, 0, 1010, 10};
  const PointingModel ma{.terms = {.ma = 60}, .refraction = false};
  const PointingModel me{.terms = {.me = 60}, .refraction = false};
  EXPECT_NEAR((SkyToMechanical(ma, site, {6.0, 10.0}).dec - 10) * 3600, 60, 1e-6);
  EXPECT_NEAR((SkyToMechanical(ma, site, {0.0, 10.0}).dec - 10) * 3600, 0, 1e-6);
  EXPECT_NEAR((SkyToMechanical(me, site, {0.0, 10.0}).dec - 10) * 3600, 60, 1e-6);
}

TEST(PointingModel, InverseUndoesTheFullModel) {
  const Site site{40, -105, 840, 8};
  const PointingModel model{
      .terms = {.ih = 95, .id = -40, .ch = 25, .np = 10, .ma = 48, .me = 36, .tf = 6},
      .refraction = true};
  for (double ha : {-5.0, -2.0, 0.0, 3.0, 5.5})
    for (double dec : {-20.0, 10.0, 45.0, 70.0}) {
      const HaDec sky{ha, dec};
      const HaDec back = MechanicalToSky(model, site, SkyToMechanical(model, site, sky));
      EXPECT_NEAR(back.ha * kArcsecPerHour, ha * kArcsecPerHour, 1e-6) << ha << " " << dec;
      EXPECT_NEAR(back.dec * kArcsecPerDegree, dec * kArcsecPerDegree, 1e-6) << ha << " " << dec;
    }
}

}  // namespace
}  // namespace orvan::sim
