// Model tracking: custom rates in the simulated mount, the rates the
// observatory program derives from its pointing model, and the follower that
// sends them and gives the mount its own tracking back.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "observatory/sim/observatory.h"
#include "observatory/sim/simulated_observatory.h"
#include "rates/rate_follower.h"
#include "standing_mount.h"
#include "support/error.h"
#include "tracking/model_tracking.h"

namespace orvan::sim {
namespace {

constexpr double kStart = 8.5e8;  // seconds since J2000.0, in 2026
// One sidereal rate, 360 degrees per sidereal day of 86164.0905 s, in "/s.
constexpr double kSidereal = 1296000 / 86164.0905;

ObservatoryConfig Site(double ha_hours, double dec, bool refraction) {
  ObservatoryConfig c;
  c.site = {40, -105, 1010, 10, 0.5};
  c.model.refraction = refraction;
  c.start = {Wrap24(LocalSiderealTime(c.site, kStart) - ha_hours), dec};
  return c;
}

struct Rig {
  explicit Rig(ObservatoryConfig c)
      : observatory(std::make_shared<Observatory>(c, clock)),
        program(MakeSimulatedProgram(observatory)) {}
  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(kStart);
  std::shared_ptr<Observatory> observatory;
  std::shared_ptr<program::ObservatoryProgram> program;
};

TEST(CustomRates, MoveTheAxesByWhatTheyDepartFromSidereal) {
  Rig rig(Site(-1, 20, false));
  Mount& m = rig.observatory->mount();
  const double ra0 = m.Ra(), dec0 = m.Dec();
  // An hour angle growing 1"/s faster than sidereal leaves mechanical right
  // ascension 100" behind after 100 s; declination climbs 2"/s.
  m.SetCustomRates(kSidereal + 1, 2);
  rig.clock->Advance(100);
  EXPECT_NEAR(Wrap12(rig.observatory->mount().Ra() - ra0) * 54000, -100, 1e-3);
  EXPECT_NEAR((rig.observatory->mount().Dec() - dec0) * 3600, 200, 1e-6);
  // Back to sidereal: both axes hold.
  rig.observatory->mount().EndCustomRates();
  const double ra1 = rig.observatory->mount().Ra(), dec1 = rig.observatory->mount().Dec();
  rig.clock->Advance(100);
  EXPECT_NEAR(Wrap12(rig.observatory->mount().Ra() - ra1) * 54000, 0, 1e-6);
  EXPECT_EQ(rig.observatory->mount().Dec(), dec1);
}

TEST(CustomRates, BeyondTheMountsLimitAreRefused) {
  Rig rig(Site(-1, 20, false));
  Mount& m = rig.observatory->mount();
  EXPECT_THROW(m.SetCustomRates(kSidereal + 30.5, 0), Error);
  EXPECT_THROW(m.SetCustomRates(kSidereal, -30.5), Error);
  try {
    m.SetCustomRates(kSidereal, 1e300);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 0x80040401u);
    EXPECT_EQ(e.description(), "Invalid value");
  }
  EXPECT_FALSE(m.CustomRates());
}

TEST(ModelRates, WithoutAModelAreSiderealAndStill) {
  Rig rig(Site(-2, 30, false));
  const program::TrackRates r = rig.program->ModelRates(rig.observatory->TrueSky());
  EXPECT_NEAR(r.ra, kSidereal, 1e-6);
  EXPECT_NEAR(r.dec, 0, 1e-9);
}

// Followed without a single pulse, the model's rates, taken anew every 4 s for
// the middle of the next 4 s, keep a star low in the east where it is on the
// sky for an hour, while sidereal tracking alone lets refraction and the
// model's terms carry it off by arc-minutes.
TEST(ModelRates, HoldAStarThatRefractionMoves) {
  for (bool follow : {false, true}) {
    ObservatoryConfig c = Site(-4, -15, true);
    for (const auto& [term, value] : {std::pair{pointing::Term::IH, 60.0},
                                      {pointing::Term::ID, -30.0},
                                      {pointing::Term::CH, 40.0},
                                      {pointing::Term::NP, 20.0},
                                      {pointing::Term::MA, 50.0},
                                      {pointing::Term::ME, -40.0},
                                      {pointing::Term::TF, 10.0}})
      c.model.terms[term] = value;
    Rig rig(c);
    const RaDec target = rig.observatory->TrueSky();
    double worst = 0;
    for (int cycle = 0; cycle < 900; ++cycle) {
      if (follow) {
        const program::TrackRates r = rig.program->ModelRates(target, 2);
        rig.observatory->mount().SetCustomRates(r.ra, r.dec);
      }
      rig.clock->Advance(4);
      const RaDec sky = rig.observatory->TrueSky();
      worst = std::max(
          worst, std::hypot(Wrap12(sky.ra - target.ra) * 54000, (sky.dec - target.dec) * 3600));
    }
    if (follow)
      EXPECT_LT(worst, 0.01) << "followed";
    else
      EXPECT_GT(worst, 60.0) << "sidereal only";
  }
}

// A mount that records what the follower asks of it.
class RecordingMount : public StandingMount {
 public:
  RecordingMount() : StandingMount({40, -105, 1600}, {10, 89.9999}, 0.004) {}

  program::MountCapabilities Capabilities() override { return capabilities; }
  RateAxes SetCustomRates(TrackRates r) override {
    sent.push_back(r);
    return takes;
  }
  void EndCustomRates() override { ++ended; }

  program::MountCapabilities capabilities{.pulse_guiding = true,
                                          .side_of_pier = false,
                                          .custom_rates = {true, true},
                                          .ra_rate_limit = 30,
                                          .dec_rate_limit = 30};
  RateAxes takes{true, true};
  std::vector<TrackRates> sent;
  int ended = 0;
};

struct FollowerRig {
  FollowerRig()
      : mount(std::make_shared<RecordingMount>()),
        follower(
            std::make_shared<program::ObservatoryProgram>(mount, clock, program::ProgramConfig{}),
            [this](const std::string& s) { notices.push_back(s); }) {}
  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(kStart);
  std::shared_ptr<RecordingMount> mount;
  std::vector<std::string> notices;
  program::RateFollower follower;
};

TEST(RateFollower, CapsRatesNearThePoleAndSaysSoOnce) {
  FollowerRig rig;
  rig.mount->capabilities.ra_rate_limit = rig.mount->capabilities.dec_rate_limit = 5;
  // Within a few arc-seconds of the pole the mapped right ascension turns
  // through hours: the rate sent stays within the mount's 5"/s of sidereal.
  for (int i = 0; i < 3; ++i) rig.follower.Follow({3, 89.99999}, 4, {});
  ASSERT_EQ(rig.mount->sent.size(), 3u);
  for (const TrackRates& r : rig.mount->sent) {
    EXPECT_LE(std::abs(r.ra - kSidereal), 5 + 1e-6);
    EXPECT_LE(std::abs(r.dec), 5.0);
  }
  ASSERT_EQ(rig.notices.size(), 1u);
  EXPECT_EQ(rig.notices[0],
            "model rates beyond 5\"/s from sidereal clamped; pulses take out the rest");
}

// Both axes are clamped to the tighter limit of the axes the mount takes
// custom rates on; a mount without them on right ascension has none.
TEST(RateFollower, ClampsToTheTighterLimitOfTheAxesTheMountTakes) {
  struct Case {
    RateAxes axes;
    double ra_limit, dec_limit;
    const char* notice;
  };
  const Case cases[] = {
      {{true, true},
       5,
       3,
       "model rates beyond 3\"/s from sidereal clamped; pulses take out the rest"},
      {{true, true},
       2,
       3,
       "model rates beyond 2\"/s from sidereal clamped; pulses take out the rest"},
      {{true, false},
       5,
       3,
       "model rates beyond 5\"/s from sidereal clamped; pulses take out the rest"},
      {{true, true}, 5, 0, "the mount has no custom tracking rates; both axes left to pulses"},
      {{false, true}, 5, 3, "the mount has no custom tracking rates; both axes left to pulses"},
  };
  for (const Case& c : cases) {
    FollowerRig rig;
    rig.mount->capabilities.custom_rates = c.axes;
    rig.mount->capabilities.ra_rate_limit = c.ra_limit;
    rig.mount->capabilities.dec_rate_limit = c.dec_limit;
    rig.follower.Follow({3, 89.99999}, 4, {});
    EXPECT_EQ(rig.notices, std::vector<std::string>{c.notice}) << c.ra_limit << " " << c.dec_limit;
  }
}

TEST(RateFollower, LeavesRefusedAxesToPulsesAndRestoresOnlyWhatItChanged) {
  FollowerRig rig;
  rig.follower.Pause();
  EXPECT_EQ(rig.mount->ended, 0);  // nothing was changed: nothing to restore
  rig.mount->takes = {true, false};
  rig.follower.Follow({3, 20}, 4, {});
  rig.follower.Follow({3, 20}, 4, {});
  EXPECT_EQ(rig.notices, std::vector<std::string>{
                             "declination left to pulses: the mount did not take its rate"});
  rig.follower.Pause();
  rig.follower.Pause();
  EXPECT_EQ(rig.mount->ended, 1);
}

TEST(RateFollower, AMountWithoutCustomRatesIsToldNothing) {
  FollowerRig rig;
  rig.mount->capabilities.custom_rates = {false, false};
  rig.follower.Follow({3, 20}, 4, {});
  rig.follower.Follow({3, 20}, 4, {});
  EXPECT_TRUE(rig.mount->sent.empty());
  EXPECT_EQ(rig.notices, std::vector<std::string>{
                             "the mount has no custom tracking rates; both axes left to pulses"});
}

TEST(RateFollower, GivesTheMountItsTrackingBackWhenItEnds) {
  auto clock = std::make_shared<program::VirtualClock>(kStart);
  auto mount = std::make_shared<RecordingMount>();
  {
    program::RateFollower follower(
        std::make_shared<program::ObservatoryProgram>(mount, clock, program::ProgramConfig{}), {});
    follower.Follow({3, 20}, 4, {});
  }
  EXPECT_EQ(mount->ended, 1);
}

// A mount whose link is gone: every rate it is asked for raises.
class GoneMount final : public RecordingMount {
 public:
  RateAxes SetCustomRates(TrackRates) override {
    throw Error(errors::kConnectionLost, "INDI server 127.0.0.1:7624 connection lost");
  }
};

tracking::CycleRecord Record(tracking::RecordKind kind, bool target, bool mapped) {
  tracking::CycleRecord r;
  r.kind = kind;
  if (target) r.target = tracking::AxisPair{3, 20};
  if (mapped) r.target_scope = tracking::AxisPair{3.01, 20.02};
  return r;
}

// The mount follows from the start and after every cycle that measured; a
// wait or a re-capture pauses it until the next; stop, abort and the end give
// its tracking back.
TEST(ModelTracking, FollowsWhileHoldingAndPausesOtherwise) {
  using tracking::RecordKind;
  FollowerRig rig;
  tracking::ModelTracking model(rig.follower);
  model.Recorded(Record(RecordKind::Start, true, false));
  model.Recorded(Record(RecordKind::Cycle, true, true));
  EXPECT_EQ(rig.mount->sent.size(), 2u);
  EXPECT_EQ(rig.mount->ended, 0);
  model.Recorded(Record(RecordKind::Cycle, false, false));  // waiting for a slew
  EXPECT_EQ(rig.mount->ended, 1);
  model.Recorded(Record(RecordKind::Cycle, true, false));  // re-captured: still paused
  EXPECT_EQ(rig.mount->sent.size(), 2u);
  model.Recorded(Record(RecordKind::Cycle, true, true));
  model.Recorded(Record(RecordKind::Stop, false, false));
  EXPECT_EQ(rig.mount->ended, 2);
  model.Recorded(Record(RecordKind::Start, true, false));
  model.Recorded(Record(RecordKind::Abort, false, false));
  model.Recorded(Record(RecordKind::Start, true, false));
  model.Ending();
  EXPECT_EQ(rig.mount->sent.size(), 5u);
  EXPECT_EQ(rig.mount->ended, 4);
  EXPECT_TRUE(rig.notices.empty());
}

// A mount that runs away at its rates: every measuring cycle sets them, and
// every other cycle re-captures. A re-capture with the rates paused (after a
// wait) does not count.
TEST(ModelTracking, RatesThatKeepCausingReCapturesAreGivenUpForTheRun) {
  using tracking::RecordKind;
  FollowerRig rig;
  tracking::ModelTracking model(rig.follower);
  model.Recorded(Record(RecordKind::Start, true, false));
  model.Recorded(Record(RecordKind::Cycle, false, false));  // waited
  model.Recorded(Record(RecordKind::Cycle, true, false));   // re-captured, not following
  for (int i = 0; i < tracking::ModelTracking::kMostRecaptures; ++i) {
    model.Recorded(Record(RecordKind::Cycle, true, true));
    model.Recorded(Record(RecordKind::Cycle, true, false));
  }
  EXPECT_EQ(rig.mount->sent.size(), 4u);
  model.Recorded(Record(RecordKind::Cycle, true, true));
  model.Recorded(Record(RecordKind::Start, true, false));
  EXPECT_EQ(rig.mount->sent.size(), 4u) << "given up for the rest of the run";
  EXPECT_EQ(rig.notices, std::vector<std::string>{
                             "model tracking stopped: the mount was re-captured 3 times while it "
                             "tracked at the model's rates; pulses hold alone"});
}

TEST(ModelTracking, AMountThatFailsLeavesHoldingToThePulsesAndSaysSoOnce) {
  auto clock = std::make_shared<program::VirtualClock>(kStart);
  std::vector<std::string> notices;
  program::RateFollower follower(
      std::make_shared<program::ObservatoryProgram>(std::make_shared<GoneMount>(), clock,
                                                    program::ProgramConfig{}),
      [&](const std::string& s) { notices.push_back(s); });
  tracking::ModelTracking model(follower);
  model.Recorded(Record(tracking::RecordKind::Start, true, false));
  model.Recorded(Record(tracking::RecordKind::Cycle, true, true));
  EXPECT_EQ(notices, std::vector<std::string>{
                         "model tracking failed, pulses hold on: INDI server 127.0.0.1:7624 "
                         "connection lost (0x80040504)"});
}

}  // namespace
}  // namespace orvan::sim
