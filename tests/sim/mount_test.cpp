#include <gtest/gtest.h>

#include <memory>

#include "observatory/sim/observatory.h"
#include "observatory/sim/simulated_observatory.h"

namespace orvan::sim {
namespace {

constexpr double kStart = 8.5e8;  // seconds since J2000.0, in 2026

double ArcsecRa(double hours) {
  return Wrap12(hours) * kArcsecPerHour;
}

struct Rig {
  explicit Rig(ObservatoryConfig c)
      : config(c),
        shared(std::make_shared<Observatory>(c, clock)),
        obs(*shared),
        program(MakeSimulatedProgram(shared)) {}
  ObservatoryConfig config;
  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(kStart);
  std::shared_ptr<Observatory> shared;
  Observatory& obs;
  // What the observatory program reports and maps with.
  std::shared_ptr<program::ObservatoryProgram> program;
};

ObservatoryConfig Plain(double ha_hours, double dec) {
  ObservatoryConfig c;
  c.site = {40, -105, 1010, 10, 0.5};
  c.model.refraction = false;
  c.start = {Wrap24(LocalSiderealTime(c.site, kStart) - ha_hours), dec};
  return c;
}

TEST(Mount, TracksAtTheSiderealRate) {
  Rig rig(Plain(-1, 20));
  const RaDec start = rig.obs.TrueSky();
  rig.clock->Advance(3600);
  EXPECT_NEAR(ArcsecRa(rig.obs.TrueSky().ra - start.ra), 0, 1e-6);
  // Tracking off: the axis stands still and the sky turns under it, 1.0027379
  // hours of right ascension per hour of time.
  rig.obs.mount().SetTracking(false);
  rig.clock->Advance(3600);
  EXPECT_NEAR(Wrap12(rig.obs.TrueSky().ra - start.ra), 1.00273790935, 1e-9);
}

TEST(Mount, RateErrorShowsInTheReportedPosition) {
  ObservatoryConfig c = Plain(0, 20);
  c.mount.rate_error = 1e-4;  // 1.5" per 1000 s
  Rig rig(c);
  const RaDec start = rig.program->Reported();
  rig.clock->Advance(1000);
  const double moved = ArcsecRa(rig.program->Reported().ra - start.ra);
  EXPECT_NEAR(moved, -1e-4 * 1000 * 15 * kSiderealRatio, 1e-6);
  EXPECT_NEAR(ArcsecRa(rig.obs.TrueSky().ra - start.ra), moved, 1e-6);
}

// A polar axis one arc-minute off the pole makes declination drift by at most
// 60" times the sidereal rate in radians per minute, 0.2625" per minute, the
// most where the misalignment lies across the hour circle.
TEST(Mount, PolarMisalignmentDriftsAtMostAQuarterArcsecondPerMinute) {
  const double limit = 60.0 * 2 * kPi * kSiderealRatio / 1440;
  double most = 0;
  for (double ha = -6; ha <= 6; ha += 0.5) {
    ObservatoryConfig c = Plain(ha, 30);
    c.model.terms[pointing::Term::MA] = 60;
    Rig rig(c);
    const double dec0 = rig.obs.TrueSky().dec;
    rig.clock->Advance(60);
    const double drift = std::abs(rig.obs.TrueSky().dec - dec0) * kArcsecPerDegree;
    EXPECT_LE(drift, limit * 1.001) << ha;
    most = std::max(most, drift);
  }
  EXPECT_NEAR(most, limit, 0.002);
  EXPECT_NEAR(limit, 0.2625, 0.0001);
}

TEST(Mount, GuidePulseMovesTheAxisByRateTimesDuration) {
  Rig rig(Plain(-2, 35));
  const double rate = rig.obs.guide_rate_ra;  // 15"/s
  struct Case {
    GuideDirection dir;
    double ms, ra_arcsec, dec_arcsec;
  };
  for (const Case k :
       {Case{GuideDirection::East, 2000, 30, 0}, Case{GuideDirection::West, 1000, -15, 0},
        Case{GuideDirection::North, 1500, 0, 22.5}, Case{GuideDirection::South, 400, 0, -6}}) {
    const RaDec sky0 = rig.obs.TrueSky();
    const double ra0 = rig.obs.mount().Ra(), dec0 = rig.obs.mount().Dec();
    rig.obs.PulseGuide(k.dir, k.ms);
    rig.clock->Advance(k.ms / 2000);  // half way
    EXPECT_NEAR(ArcsecRa(rig.obs.mount().Ra() - ra0), k.ra_arcsec / 2, 0.1);
    EXPECT_NEAR((rig.obs.mount().Dec() - dec0) * 3600, k.dec_arcsec / 2, 0.1);
    rig.clock->Advance(5);
    EXPECT_NEAR(ArcsecRa(rig.obs.mount().Ra() - ra0), k.ra_arcsec, 0.1);
    EXPECT_NEAR((rig.obs.mount().Dec() - dec0) * 3600, k.dec_arcsec, 0.1);
    // Without a model the sky moves with the axes.
    EXPECT_NEAR(ArcsecRa(rig.obs.TrueSky().ra - sky0.ra), k.ra_arcsec, 0.1);
    EXPECT_NEAR((rig.obs.TrueSky().dec - sky0.dec) * 3600, k.dec_arcsec, 0.1);
  }
  EXPECT_NEAR(rate * 3600, 15, 1e-9);
}

TEST(Mount, PulseGuidingIsTrueOnlyWhileAPulseRuns) {
  Rig rig(Plain(0, 10));
  EXPECT_FALSE(rig.obs.mount().IsPulseGuiding());
  rig.obs.PulseGuide(GuideDirection::North, 300);
  rig.obs.PulseGuide(GuideDirection::East, 500);
  rig.clock->Advance(0.299);
  EXPECT_TRUE(rig.obs.mount().IsPulseGuiding());
  rig.clock->Advance(0.2);
  EXPECT_TRUE(rig.obs.mount().IsPulseGuiding());
  rig.clock->Advance(0.002);
  EXPECT_FALSE(rig.obs.mount().IsPulseGuiding());
}

TEST(Mount, SlewReportsSlewingThenSettlesOnTarget) {
  Rig rig(Plain(-1, 10));
  const RaDec from = rig.program->Reported();
  const RaDec to{Wrap24(from.ra - 1.0), 30};  // 15 and 20 degrees away
  rig.program->SlewTo(to);
  int slewing_steps = 0;
  for (int i = 0; i < 200 && rig.obs.mount().Slewing(); ++i) {
    rig.clock->Advance(0.1);
    ++slewing_steps;
  }
  // 20 degrees at 4 degrees per second, then 2 s settling.
  EXPECT_NEAR(slewing_steps * 0.1, 7.0, 0.11);
  const RaDec at = rig.program->Reported();
  EXPECT_NEAR(ArcsecRa(at.ra - to.ra), 0, 1e-6);
  EXPECT_NEAR((at.dec - to.dec) * 3600, 0, 1e-6);
}

TEST(Mount, PeriodicErrorMovesTheSkyButNotTheReport) {
  ObservatoryConfig c = Plain(1, 20);
  c.mount.periodic_error_arcsec = 5;
  c.mount.worm_period_s = 480;
  Rig rig(c);
  const RaDec rep0 = rig.program->Reported(), sky0 = rig.obs.TrueSky();
  rig.clock->Advance(120);  // a quarter worm turn: the full amplitude
  EXPECT_NEAR(ArcsecRa(rig.program->Reported().ra - rep0.ra), 0, 1e-6);
  EXPECT_NEAR(std::abs(ArcsecRa(rig.obs.TrueSky().ra - sky0.ra)), 5, 1e-6);
  rig.clock->Advance(360);  // a whole turn
  EXPECT_NEAR(ArcsecRa(rig.obs.TrueSky().ra - sky0.ra), 0, 1e-6);
}

TEST(Mount, ModelErrorSeparatesTheSkyFromTheReport) {
  ObservatoryConfig c = Plain(0, 20);
  c.model_error[pointing::Term::IH] = 12;
  Rig rig(c);
  EXPECT_NEAR(std::abs(ArcsecRa(rig.obs.TrueSky().ra - rig.program->Reported().ra)), 12, 1e-6);
}

}  // namespace
}  // namespace orvan::sim
