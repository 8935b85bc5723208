#include <gtest/gtest.h>

#include "pointing/model.h"
#include "pointing/sides.h"
#include "reference.h"

namespace orvan::pointing {
namespace {

const Site kNoAir{40, 0, 0, 10};

// Arc-seconds the axes lie from the observed position on the side through
// the pole, in that side's frame: hour angle from h + 12 h, declination from
// ±180° − δ.
TermEffect SideShift(const PointingTerms& terms, HaDec observed) {
  const HaDec mech = SkyToMechanical({terms, false}, kNoAir, observed, true);
  const HaDec frame = InSideFrame(observed, true);
  return {(mech.ha - frame.ha) * kArcsecPerHour, (mech.dec - frame.dec) * kArcsecPerDegree};
}

TEST(MountSides, TheSideThroughThePoleReadsHalfATurnOnBeyondThePole) {
  EXPECT_EQ(InSideFrame({1.0, 30.0}, true).ha, 13.0);
  EXPECT_EQ(InSideFrame({1.0, 30.0}, true).dec, 150.0);
  EXPECT_EQ(InSideFrame({-2.5, -20.0}, true).dec, -160.0);
  EXPECT_EQ(InSideFrame({1.0, 30.0}, false).dec, 30.0);
  EXPECT_TRUE(ThroughPole({0, 90.5}));
  EXPECT_TRUE(ThroughPole({0, -150}));
  EXPECT_FALSE(ThroughPole({0, 90}));
  EXPECT_FALSE(ThroughPole({0, -89}));
}

// By hand at h 1 h, δ ±30°: the side frame is (13 h, ±150°), where sec δ is
// −1.1547 and tan δ ∓0.57735, and cos h, sin h and tan δ all change sign.
TEST(MountSides, CollimationAndNonPerpendicularityChangeSignAcrossTheSides) {
  struct Case {
    double dec;
    Term term;
    double normal_dh, through_dh;
  };
  const double sec30 = 1.1547005383792515, tan30 = 0.57735026918962576;
  for (const Case& c :
       {Case{30, Term::CH, 10 * sec30, -10 * sec30}, Case{-30, Term::CH, 10 * sec30, -10 * sec30},
        Case{30, Term::NP, 10 * tan30, -10 * tan30},
        Case{-30, Term::NP, -10 * tan30, 10 * tan30}}) {
    const PointingTerms t = With({{c.term, 10}});
    const HaDec normal = SkyToMechanical({t, false}, kNoAir, {1.0, c.dec});
    EXPECT_NEAR((normal.ha - 1.0) * kArcsecPerHour, c.normal_dh, 1e-9) << c.dec;
    EXPECT_NEAR(SideShift(t, {1.0, c.dec}).dh, c.through_dh, 1e-9) << c.dec;
  }
}

TEST(MountSides, PolarAxisAndIndexTermsKeepTheirSenseOnTheAxes) {
  // MA at (1 h, 30°): −cos 15° tan 30° on either side, as cos h and tan δ
  // both change sign; MA sin h in the side frame is −sin 15°, on an axis whose
  // declination runs the other way. ID adds to the axis' reading on both.
  const double cos15 = 0.96592582628906829, sin15 = 0.25881904510252076;
  const double tan30 = 0.57735026918962576;
  const TermEffect ma = SideShift(With({{Term::MA, 10}}), {1.0, 30.0});
  EXPECT_NEAR(ma.dh, -10 * cos15 * tan30, 1e-9);
  EXPECT_NEAR(ma.ddec, -10 * sin15, 1e-9);
  const TermEffect id = SideShift(With({{Term::ID, 10}}), {1.0, -30.0});
  EXPECT_NEAR(id.dh, 0, 1e-9);
  EXPECT_NEAR(id.ddec, 10, 1e-9);
}

TEST(MountSides, BothSidesInBothHemispheresInvertToTheSky) {
  const PointingTerms t = With({{Term::IH, 60},
                                {Term::ID, -30},
                                {Term::CH, 40},
                                {Term::NP, 20},
                                {Term::MA, 50},
                                {Term::ME, -40},
                                {Term::TF, 10},
                                {Term::FO, 8},
                                {Term::DAF, 5},
                                {Term::TX, 3},
                                {Term::HCES, 7},
                                {Term::HCEC, -6},
                                {Term::DCES, 4},
                                {Term::DCEC, -9}});
  const PointingModel model{t, true};
  // Above the horizon at each site, where TX's tangent law holds.
  const struct {
    Site site;
    double decs[4];
  } hemispheres[] = {{{40, -105, 840, 8, 0.5}, {-20, 15, 50, 80}},
                     {{-33, 150, 1000, 15, 0.5}, {-80, -50, -15, 20}}};
  for (const auto& [site, decs] : hemispheres)
    for (bool through : {false, true})
      for (double ha : {-3.0, -1.0, 2.5})
        for (double dec : decs) {
          const HaDec mech = SkyToMechanical(model, site, {ha, dec}, through);
          EXPECT_EQ(ThroughPole(mech), through);
          const HaDec sky = MechanicalToSky(model, site, mech);
          EXPECT_NEAR(Wrap12(sky.ha - ha) * kArcsecPerHour, 0, 1e-6) << through << ha << dec;
          EXPECT_NEAR((sky.dec - dec) * kArcsecPerDegree, 0, 1e-6) << through << ha << dec;
        }
}

}  // namespace
}  // namespace orvan::pointing
