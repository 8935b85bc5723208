#include <erfa.h>
#include <gtest/gtest.h>

#include <cmath>

#include "pointing/model.h"
#include "pointing/sides.h"
#include "reference.h"
#include "support/error.h"
#include "testing/error_of.h"

namespace orvan::pointing {
namespace {

TEST(PointingModel, IndexErrorsShiftTheAxes) {
  const Site site{40, 0, 1010, 10};
  PointingModel model{.terms = With({{Term::IH, 60}, {Term::ID, -30}}), .refraction = false};
  const HaDec raw = SkyToMechanical(model, site, {1.0, 20.0});
  EXPECT_NEAR((raw.ha - 1.0) * kArcsecPerHour, 60, 1e-9);
  EXPECT_NEAR((raw.dec - 20.0) * kArcsecPerDegree, -30, 1e-9);
}

TEST(PointingModel, RefractionLiftsTowardsTheZenithOnTheMeridian) {
  // On the meridian at altitude 45 degrees south of the zenith, refraction
  // raises the object straight north: declination grows by ERFA's refraction.
  const Site site{40, 0, 1010, 10, 0.5};
  const PointingModel model{.terms = {}, .refraction = true};
  const HaDec raw = SkyToMechanical(model, site, {0.0, -5.0});
  EXPECT_NEAR(raw.ha * kArcsecPerHour, 0.0, 1e-6);
  const double lift = (raw.dec + 5.0) * kArcsecPerDegree;
  EXPECT_NEAR(lift, ModelArcsec(45 + lift / 3600, site), 1e-3);
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
  const PointingModel ma{.terms = With({{Term::MA, 60}}), .refraction = false};
  const PointingModel me{.terms = With({{Term::ME, 60}}), .refraction = false};
  EXPECT_NEAR((SkyToMechanical(ma, site, {6.0, 10.0}).dec - 10) * 3600, 60, 1e-6);
  EXPECT_NEAR((SkyToMechanical(ma, site, {0.0, 10.0}).dec - 10) * 3600, 0, 1e-6);
  EXPECT_NEAR((SkyToMechanical(me, site, {0.0, 10.0}).dec - 10) * 3600, 60, 1e-6);
}

TEST(PointingModel, InverseUndoesTheFullModel) {
  const Site site{40, -105, 840, 8, 0.5};
  const PointingModel model{.terms = With({{Term::IH, 95},
                                           {Term::ID, -40},
                                           {Term::CH, 25},
                                           {Term::NP, 10},
                                           {Term::MA, 48},
                                           {Term::ME, 36},
                                           {Term::TF, 6}}),
                            .refraction = true};
  // Down to the horizon and below it, where ERFA's refraction is held.
  for (double ha : {-5.0, -2.0, 0.0, 3.0, 5.5, 7.0})
    for (double dec : {-45.0, -20.0, 10.0, 45.0, 70.0}) {
      const HaDec sky{ha, dec};
      const HaDec back = MechanicalToSky(model, site, SkyToMechanical(model, site, sky));
      EXPECT_NEAR(back.ha * kArcsecPerHour, ha * kArcsecPerHour, 1e-6) << ha << " " << dec;
      EXPECT_NEAR(back.dec * kArcsecPerDegree, dec * kArcsecPerDegree, 1e-6) << ha << " " << dec;
    }
}

// Near the poles. A model with large terms of every kind, at a site at 40
// degrees north with air: the pole is 40 degrees up, refraction there 69".
const Site kPoleSite{40, -105, 840, 8, 0.5};
const PointingModel kBigModel{.terms = With({{Term::IH, 60},
                                             {Term::ID, -30},
                                             {Term::CH, 40},
                                             {Term::NP, 20},
                                             {Term::MA, 50},
                                             {Term::ME, -40},
                                             {Term::TF, 10}}),
                              .refraction = true};

// Angle on the sky (arc-seconds) between two positions, by ERFA.
double ArcsecApart(HaDec a, HaDec b) {
  return eraSeps(a.ha * 15 * kRad, a.dec * kRad, b.ha * 15 * kRad, b.dec * kRad) * kArcsecPerRadian;
}

// Maps the mount's position to the sky and back: the sky position must be a
// real one and land where `points_at` is.
void ExpectRoundTrip(const PointingModel& model, HaDec mount, HaDec points_at) {
  const HaDec sky = MechanicalToSky(model, kPoleSite, mount);
  ASSERT_TRUE(std::isfinite(sky.ha) && std::isfinite(sky.dec)) << mount.ha << " " << mount.dec;
  EXPECT_LE(std::abs(sky.dec), 90.0) << mount.ha << " " << mount.dec;
  EXPECT_LE(std::abs(sky.ha - mount.ha), 12.0) << mount.ha << " " << mount.dec;
  // A mount beyond the pole is on the side through it, and maps back there.
  const HaDec back = SkyToMechanical(model, kPoleSite, sky, ThroughPole(mount));
  EXPECT_LT(ArcsecApart(back, points_at), 1e-6) << mount.ha << " " << mount.dec;
}

TEST(PointingModelAtThePole, MountExactlyAtThePoleByHand) {
  // MA alone at the mechanical pole: the sky is MA sin h from the pole, and
  // the hour-angle term -MA cos h tan d comes to -cot h radians, so the mount's
  // hour angle 0 needs h tan h = 1: h = 0.8603335890 rad = 3.2862322 h, 45.484"
  // from the pole (the root the terms move least; the others wind round the
  // pole). Small angles put the hand figure within 1e-8 rad.
  const PointingModel ma{.terms = With({{Term::MA, 60}}), .refraction = false};
  const HaDec sky = MechanicalToSky(ma, kPoleSite, {0.0, 90.0});
  EXPECT_NEAR(sky.ha, 3.2862322416, 1e-6);
  EXPECT_NEAR((90 - sky.dec) * 3600, 45.48361, 1e-4);
}

TEST(PointingModelAtThePole, MountAtDeclination8999ByHand) {
  // The same 36" from the pole: the sky is 36" + MA sin h from it, and hour
  // angle 0 needs h (0.6 + sin h) = cos h: h = 0.6554484731 rad = 2.5036287 h.
  const PointingModel ma{.terms = With({{Term::MA, 60}}), .refraction = false};
  const HaDec sky = MechanicalToSky(ma, kPoleSite, {0.0, 89.99});
  EXPECT_NEAR(sky.ha, 2.5036287464, 1e-6);
  EXPECT_NEAR((89.99 - sky.dec) * 3600, 36.57089, 1e-4);
}

TEST(PointingModelAtThePole, RoundTripClosesUpToAndAtThePole) {
  for (double ha : {-11.5, -6.0, -1.234, 0.0, 1.234, 5.0, 9.75, 12.0})
    for (double dec : {89.9, 89.99, 89.999, 90.0, -89.99, -90.0}) {
      ExpectRoundTrip(kBigModel, {ha, dec}, {ha, dec});
      // Past refraction and terms, within a few arc-minutes of the pole.
      EXPECT_GT(std::abs(MechanicalToSky(kBigModel, kPoleSite, {ha, dec}).dec), 89.85);
    }
}

TEST(PointingModelAtThePole, PastThePoleIsTheSideThroughThePole) {
  // A mount reading 90.01 or 91 points where 89.99 or 89 does half a turn on,
  // but with the terms of the side through the pole: with no terms the two
  // are the same sky position, with terms they are not.
  const PointingModel air{.terms = {}, .refraction = true};
  for (double ha : {-6.0, 1.234, 7.5})
    for (double over : {0.001, 0.01, 1.0}) {
      ExpectRoundTrip(kBigModel, {ha, 90 + over}, {ha + 12, 90 - over});
      ExpectRoundTrip(kBigModel, {ha, -90 - over}, {ha + 12, -90 + over});
      const HaDec past = MechanicalToSky(air, kPoleSite, {ha, 90 + over});
      const HaDec mirrored = MechanicalToSky(air, kPoleSite, {ha + 12, 90 - over});
      EXPECT_LT(ArcsecApart(past, mirrored), 1e-6) << ha << " " << over;
    }
}

TEST(PointingModelAtThePole, NoInverseWhereTheTermsPutTheSkyPastThePole) {
  // ID -30" alone: a mount 18" from the pole would be pointing 12" beyond it,
  // which the model's terms cannot reach from this side.
  const PointingModel id{.terms = With({{Term::ID, -30}}), .refraction = false};
  try {
    MechanicalToSky(id, kPoleSite, {1.234, 89.995});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kNoInverse);
    EXPECT_EQ(e.description(),
              "Pointing model has no inverse at hour angle 1.234 h, declination 89.9950\u00b0");
  }
  EXPECT_EQ(ErrorOf([&] { MechanicalToSky(id, kPoleSite, {-3.0, 90.0}); }), errors::kNoInverse);
  const PointingModel south{.terms = With({{Term::ID, 30}}), .refraction = false};
  EXPECT_EQ(ErrorOf([&] {
              MechanicalToSky(south, kPoleSite, {5.0, -89.995});
            }),
            errors::kNoInverse);
  // 36" out there is room: the sky is 30" nearer the pole, at the same hour angle.
  const HaDec sky = MechanicalToSky(id, kPoleSite, {1.234, 89.99});
  EXPECT_NEAR(sky.ha, 1.234, 1e-9);
  EXPECT_NEAR((sky.dec - 89.99) * 3600, 30, 1e-6);
}

TEST(PointingModelAtThePole, NoInverseForANonsenseReading) {
  EXPECT_EQ(ErrorOf([&] {
              MechanicalToSky(kBigModel, kPoleSite, {NAN, 45.0});
            }),
            errors::kNoInverse);
  EXPECT_EQ(ErrorOf([&] {
              MechanicalToSky(kBigModel, kPoleSite, {1.0, INFINITY});
            }),
            errors::kNoInverse);
}

// ERFA's lift (arc-seconds) where it holds the sine of the altitude at 0.05,
// from eraAtioq's formula with eraRefco's constants at the site's air.
double ErfaLiftAtLimitArcsec(const Site& s) {
  double a = 0, b = 0;
  eraRefco(s.pressure_hpa, s.temperature_c, s.relative_humidity, 0.55, &a, &b);
  const double z = 0.05, tz = std::sqrt(1 - z * z) / z, w = b * tz * tz;
  return (a + w) * tz / (1 + (a + 3 * w) / (z * z)) * kArcsecPerRadian;
}

TEST(PointingModelAtThePole, RefractionStaysOneToOneThroughErfasLimit) {
  // Below sine 0.05 ERFA holds the zenith distance, so the lift stops
  // growing; the observed altitude still climbs with the true one, so each
  // observed altitude has exactly one true one.
  double last = -1e9;
  for (double alt = -10; alt <= 10; alt += 0.001) {
    const double observed = alt + RefractionArcsec(alt, kPoleSite) / 3600;
    ASSERT_GT(observed, last) << alt;
    last = observed;
  }
}

TEST(PointingModelAtThePole, InvertsAtAndBelowErfasRefractionLimit) {
  // On the meridian south, altitude is declination + 50 at 40 degrees north.
  const PointingModel air{.terms = {}, .refraction = true};
  const double limit = ErfaLiftAtLimitArcsec(kPoleSite);
  for (double alt : {2.87, 2.0, 0.0, -5.0}) {
    const HaDec sky = MechanicalToSky(air, kPoleSite, {0.0, alt - 50});
    EXPECT_NEAR((alt - 50 - sky.dec) * 3600, limit, 0.02 * limit) << alt;
    ExpectRoundTrip(air, {0.0, alt - 50}, {0.0, alt - 50});
    ExpectRoundTrip(kBigModel, {0.0, alt - 50}, {0.0, alt - 50});
    ExpectRoundTrip(kBigModel, {-4.5, alt - 25}, {-4.5, alt - 25});
  }
}

TEST(PointingModelAtThePole, NothingOutOfRangeAllOverTheSky) {
  // Every mount position, the poles and the nadir (12 h, -40) among them,
  // either maps to a real sky position that maps back, or is refused as
  // having no inverse; only within 0.01 degrees of a pole may it be refused.
  for (double ha = -12; ha <= 12; ha += 0.5)
    for (double dec : {-91.0, -90.0, -89.999, -89.99, -89.0, -70.0, -45.0, -40.0, -20.0, 0.0, 20.0,
                       45.0, 70.0, 89.0, 89.99, 89.999, 90.0, 90.001, 91.0}) {
      const double folded = dec > 90 ? 180 - dec : dec < -90 ? -180 - dec : dec;
      const HaDec points_at{std::abs(dec) > 90 ? ha + 12 : ha, folded};
      if (std::abs(folded) > 89.99 && ErrorOf([&] {
                                        MechanicalToSky(kBigModel, kPoleSite, {ha, dec});
                                      }) == errors::kNoInverse)
        continue;
      ExpectRoundTrip(kBigModel, {ha, dec}, points_at);
    }
}

}  // namespace
}  // namespace orvan::pointing
