// Which way pulses move a mount, judged from made-up readings: no server.
#include "observatory/indi/pulse_sense.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace orvan::indi {
namespace {

using D = GuideDirection;

constexpr double kRate = 0.5 * kSiderealDegPerSecond;  // 7.52"/s
constexpr double kMs = 532;                            // 4" at that rate
constexpr double kPulseArcsec = kRate * kArcsecPerDegree * kMs / 1000;
constexpr double kDec0 = 20;

using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kStart{};

// Two still readings a cycle apart: the mount is known not to drift, so that
// pulses are judged from then on.
void Settle(PulseSense& sense) {
  MountReading still;
  still.dec_deg = kDec0;
  sense.Read(still, false, false);
  still.at = kStart + std::chrono::seconds(4);
  sense.Read(still, false, false);
}

class PulseSenseTest : public ::testing::Test {
 protected:
  static MountReading At(double ra, double dec, PierSide pier) {
    MountReading r;
    r.ra_hours = ra;
    r.dec_deg = dec;
    r.pier = pier;
    return r;
  }
  // A pulse toward `sky`, sent as the sense says, after which the mount
  // reads `end`.
  void Pulse(D sky, const MountReading& start, const MountReading& end) {
    sense.Sent(sky, kMs, kRate, start);
    sense.Read(end, false, false);
  }
  // A declination pulse toward `sky` that moved the mount `arcsec` north.
  void DecPulse(D sky, double arcsec, PierSide pier) {
    Pulse(sky, At(3, kDec0, pier), At(3, kDec0 + arcsec / kArcsecPerDegree, pier));
  }

  void SetUp() override { Settle(sense); }

  std::vector<std::string> notices;
  PulseSense sense{"Telescope Simulator",
                   [this](const MountNote& n) { notices.push_back(n.text); }};
};

TEST_F(PulseSenseTest, PulsesThatMoveAsNamedAreLeftAlone) {
  for (int i = 0; i < 5; ++i) {
    DecPulse(D::North, kPulseArcsec, PierSide::East);
    DecPulse(D::South, -kPulseArcsec, PierSide::East);
  }
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(sense.ToMount(D::North, PierSide::East), D::North);
  EXPECT_EQ(sense.ToMount(D::South, PierSide::East), D::South);
}

TEST_F(PulseSenseTest, OnePulsePlainlyTheOtherWayWestOfThePierReversesDeclinationThereOnly) {
  DecPulse(D::South, kPulseArcsec, PierSide::West);
  ASSERT_TRUE(sense.Reversed(true, PierSide::West));
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "INDI mount \"Telescope Simulator\": declination pulses move the other "
                         "way west of the pier; reversing them from now on"}));
  EXPECT_EQ(sense.ToMount(D::North, PierSide::West), D::South);
  EXPECT_EQ(sense.ToMount(D::South, PierSide::West), D::North);
  EXPECT_EQ(sense.ToMount(D::West, PierSide::West), D::West);
  EXPECT_EQ(sense.ToMount(D::North, PierSide::East), D::North);

  // Sent reversed, the pulses now move as asked on the sky: said once only.
  for (int i = 0; i < 5; ++i) DecPulse(D::South, -kPulseArcsec, PierSide::West);
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_TRUE(sense.Reversed(true, PierSide::West));
}

// Each row a fresh mount: one pulse north of `ms` at kRate that moved the
// mount `moved` arc-seconds (south: negative).
TEST(PulseSense, WhatOnePulseMustShowToTurnAnAxis) {
  struct Row {
    double ms;
    double moved;
    bool turns;
  };
  // 20 ms is 0.150", 80 ms 0.602", 532 ms 4.00".
  const Row rows[] = {
      {20, -0.19, false},   // at least half the pulse, but below the floor
      {20, -0.21, true},    // above both
      {20, -0.66, false},   // more than three pulses and the floor: a disturbance
      {80, -0.29, false},   // less than half the pulse
      {80, -0.31, true},    // just over half
      {80, -2.0, true},     // within three pulses and the floor
      {80, -2.1, false},    // beyond them
      {80, 0.31, false},    // the way it is named
      {532, -1.9, false},   // less than half
      {532, -2.1, true},    //
      {532, -12.3, false},  // beyond three pulses and the floor
  };
  for (const Row& row : rows) {
    int told = 0;
    PulseSense sense("m", [&](const MountNote&) { ++told; });
    Settle(sense);
    MountReading start, end;
    start.dec_deg = kDec0;
    end.dec_deg = kDec0 + row.moved / kArcsecPerDegree;
    start.pier = end.pier = PierSide::West;
    sense.Sent(D::North, row.ms, kRate, start);
    sense.Read(end, false, false);
    EXPECT_EQ(sense.Reversed(true, PierSide::West), row.turns) << row.ms << " ms, " << row.moved;
    EXPECT_EQ(told, row.turns ? 1 : 0);
  }
}

TEST_F(PulseSenseTest, AReadingJoltedBetweenTwoTicksTurnsNothing) {
  // Pulses of 0.6" (what a threshold of 0.5" calls for) that move the mount
  // as named, one reading off by several arc-seconds: both pulses it ends or
  // starts are far more than a pulse could do.
  constexpr double kSmallMs = 80;
  const double step = kRate * kArcsecPerDegree * kSmallMs / 1000;
  for (const double jolt : {-4.0, 4.0, -6.0}) {
    PulseSense fresh("m", [this](const MountNote& n) { notices.push_back(n.text); });
    Settle(fresh);
    for (int tick = 0; tick < 6; ++tick) {
      const auto at = [&](int t) {
        const double off = t == 3 ? jolt : 0;
        return At(3, kDec0 + (t * step + off) / kArcsecPerDegree, PierSide::West);
      };
      fresh.Sent(D::North, kSmallMs, kRate, at(tick));
      fresh.Read(at(tick + 1), false, false);
    }
    EXPECT_FALSE(fresh.Reversed(true, PierSide::West)) << jolt;
  }
  EXPECT_TRUE(notices.empty());
}

TEST_F(PulseSenseTest, MotionFarBeyondThePulseIsNotJudged) {
  // Something else moved the mount: a short slew, tracking off between reads.
  for (int i = 0; i < 3; ++i) DecPulse(D::North, -60, PierSide::West);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
}

TEST_F(PulseSenseTest, RightAscensionIsJudgedTheShortWayAcrossZeroHours) {
  const double step = kPulseArcsec / kArcsecPerHour;
  // West lowers right ascension; this pulse raises it across 24 h.
  Pulse(D::West, At(24 - step / 2, kDec0, PierSide::East), At(step / 2, kDec0, PierSide::East));
  ASSERT_TRUE(sense.Reversed(false, PierSide::East));
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "INDI mount \"Telescope Simulator\": right ascension pulses move the "
                         "other way east of the pier; reversing them from now on"}));
  EXPECT_EQ(sense.ToMount(D::West, PierSide::East), D::East);
  // Eastward across 24 h the right way: nothing more.
  for (int i = 0; i < 2; ++i)
    Pulse(D::West, At(step / 2, kDec0, PierSide::East), At(24 - step / 2, kDec0, PierSide::East));
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(PulseSenseTest, APulseIsJudgedOnlyOnceItIsOver) {
  const MountReading start = At(3, kDec0, PierSide::West);
  const MountReading moved = At(3, kDec0 + kPulseArcsec / kArcsecPerDegree, PierSide::West);
  sense.Sent(D::South, kMs, kRate, start);
  sense.Read(moved, false, true);
  sense.Read(moved, true, true);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
  sense.Read(moved, true, false);
  EXPECT_TRUE(sense.Reversed(true, PierSide::West)) << "judged at the first read once over";
}

TEST_F(PulseSenseTest, APulseSentBeforeTheLastWasJudgedTakesItsPlace) {
  const MountReading start = At(3, kDec0, PierSide::West);
  const MountReading moved = At(3, kDec0 + kPulseArcsec / kArcsecPerDegree, PierSide::West);
  sense.Sent(D::South, kMs, kRate, start);
  sense.Sent(D::South, kMs, kRate, start);
  sense.Read(moved, false, false);
  sense.Read(moved, false, false);
  // Judged twice, it would have turned back.
  EXPECT_TRUE(sense.Reversed(true, PierSide::West)) << "one judgement only";
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(PulseSenseTest, ASlewOrAPierFlipInBetweenIsNotJudged) {
  const MountReading start = At(3, kDec0, PierSide::West);
  MountReading moved = At(3, kDec0 + kPulseArcsec / kArcsecPerDegree, PierSide::West);
  moved.slewing = true;
  Pulse(D::South, start, moved);
  Pulse(D::South, At(3, kDec0, PierSide::West),
        At(3, kDec0 + kPulseArcsec / kArcsecPerDegree, PierSide::East));
  moved.slewing = false;
  sense.Sent(D::South, kMs, kRate, start);
  sense.Forget();  // a slew sent
  sense.Read(moved, false, false);
  MountReading idle = start;
  idle.tracking = false;
  Pulse(D::South, idle, moved);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
  EXPECT_FALSE(sense.Reversed(true, PierSide::East));
  EXPECT_TRUE(notices.empty());
}

TEST_F(PulseSenseTest, EachSideIsJudgedOnItsOwn) {
  DecPulse(D::North, -kPulseArcsec, PierSide::West);
  DecPulse(D::North, kPulseArcsec, PierSide::East);
  EXPECT_TRUE(sense.Reversed(true, PierSide::West));
  EXPECT_FALSE(sense.Reversed(true, PierSide::East));
  EXPECT_FALSE(sense.Reversed(false, PierSide::West));
}

TEST_F(PulseSenseTest, ASideSeenToMoveOneWayTurnsBackOnlyOnSeveralPulsesInARow) {
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  ASSERT_TRUE(sense.Reversed(true, PierSide::Unknown));
  // Sent reversed, now and then one the other way (a disturbed reading).
  for (const double moved :
       {kPulseArcsec, -kPulseArcsec, -kPulseArcsec, kPulseArcsec, -kPulseArcsec, -kPulseArcsec})
    DecPulse(D::North, moved, PierSide::Unknown);
  EXPECT_TRUE(sense.Reversed(true, PierSide::Unknown));
  // It flipped (unseen, no pier side): the third in a row turns it back.
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  EXPECT_FALSE(sense.Reversed(true, PierSide::Unknown));
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "INDI mount \"Telescope Simulator\": declination pulses move the other "
                         "way; reversing them from now on",
                         "INDI mount \"Telescope Simulator\": declination pulses move the way "
                         "they are named again; no longer reversing them"}));
}

// A mount drifting east at 0.15"/s in right ascension, published as INDI
// does it (a new position once it has moved 1.5", looked at every second),
// held for ten minutes by a cycle every 4 s that pulses west whatever new
// error is over 1" and re-captures past 5". Its pulses move it as named, not at all, or the other
// way, and after five minutes maybe otherwise (a guide cable plugged in).
TEST(PulseSense, ADriftingMountIsJudgedByWhatItsPulsesAddToTheDrift) {
  constexpr double kDrift = 0.15, kStep = 1.5, kCycle = 4, kThreshold = 1;
  constexpr int kCycles = 150;
  struct Row {
    double effect, effect_later;    // of a pulse, times what it should do
    std::vector<std::string> said;  // how each notice begins
    // What each has the window show of the mount ("-": leaves it as it is).
    std::vector<std::string> shown;
    bool reversed;
  };
  const std::string none = "right ascension pulses have no effect on the mount's position: ";
  const std::string no_effect = "RA pulses: no effect";
  const Row rows[] = {
      {1, 1, {}, {}, false},
      {0, 0, {none}, {no_effect}, false},
      {-1,
       -1,
       {"right ascension pulses move the other way; reversing them from now on"},
       {"-"},
       true},
      {0, 1, {none, "right ascension pulses move the mount again"}, {no_effect, ""}, false},
  };
  for (const Row& row : rows) {
    std::vector<std::string> told, shown;
    PulseSense sense("m", [&](const MountNote& n) {
      told.push_back(n.text.substr(16));
      shown.push_back(n.status.value_or("-"));
    });
    double truth = 0, published = 0, target = 0;  // arc-seconds east
    std::optional<double> pulsed_at;              // the reading the last pulse was sent on
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      // The driver looks every second.
      for (int second = 0; second < kCycle; ++second) {
        truth += kDrift;
        if (std::abs(truth - published) >= kStep) published = truth;
      }
      MountReading now;
      now.ra_hours = 3 + published / kArcsecPerHour;
      now.dec_deg = kDec0;
      now.at = kStart + std::chrono::milliseconds(static_cast<int>(cycle * kCycle * 1000));
      sense.Read(now, false, false);
      const double error = published - target;
      if (std::abs(error) > 5 * kThreshold) target = published;
      if (std::abs(error) <= kThreshold || std::abs(error) > 5 * kThreshold) continue;
      // A reading unchanged since a pulse is not a new error.
      if (pulsed_at == published) continue;
      pulsed_at = published;
      const D sky = error > 0 ? D::West : D::East;
      const double ms = std::abs(error) / (kRate * kArcsecPerDegree) * 1000;
      sense.Sent(sky, ms, kRate, now);
      const bool as_named = sense.ToMount(sky, PierSide::Unknown) == sky;
      const double effect = cycle < kCycles / 2 ? row.effect : row.effect_later;
      truth -= error * effect * (as_named ? 1 : -1);
    }
    ASSERT_EQ(told.size(), row.said.size()) << row.effect << ", then " << row.effect_later;
    for (std::size_t i = 0; i < told.size(); ++i)
      EXPECT_EQ(told[i].substr(0, row.said[i].size()), row.said[i]);
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(sense.Reversed(false, PierSide::Unknown), row.reversed);
    EXPECT_EQ(sense.Ineffective(false), row.effect_later == 0);
  }
}

// As --reverse-on-pier-west says, from the first pulse; still watched.
TEST(PulseSense, AMountAsTheUserKnowsItIsSentRightFromTheFirstPulse) {
  struct Row {
    ReversedAxes west;
    GuideDirection dec_north, ra_west;  // what north and west are sent as, west of the pier
  };
  const Row rows[] = {{{false, true}, D::South, D::West},
                      {{true, false}, D::North, D::East},
                      {{true, true}, D::South, D::East},
                      {{false, false}, D::North, D::West}};
  for (const Row& row : rows) {
    PulseSense sense("m", {}, row.west);
    EXPECT_EQ(sense.ToMount(D::North, PierSide::West), row.dec_north);
    EXPECT_EQ(sense.ToMount(D::West, PierSide::West), row.ra_west);
    EXPECT_EQ(sense.ToMount(D::North, PierSide::East), D::North);
    EXPECT_EQ(sense.ToMount(D::West, PierSide::East), D::West);
    EXPECT_EQ(sense.ToMount(D::North, PierSide::Unknown), D::North);
  }
}

TEST_F(PulseSenseTest, WhatIsSeenOverrulesWhatTheUserSaidOnceSaid) {
  std::vector<std::string> told;
  PulseSense said(
      "Telescope Simulator", [&](const MountNote& n) { told.push_back(n.text); },
      ReversedAxes{false, true});
  Settle(said);
  const auto dec_pulse = [&](D sky, double arcsec, PierSide pier) {
    said.Sent(sky, kMs, kRate, At(3, kDec0, pier));
    said.Read(At(3, kDec0 + arcsec / kArcsecPerDegree, pier), false, false);
  };
  // Said reversed west of the pier; sent south, it went south: as named.
  dec_pulse(D::North, -kPulseArcsec, PierSide::West);
  EXPECT_FALSE(said.Reversed(true, PierSide::West));
  for (int i = 0; i < 3; ++i) dec_pulse(D::North, kPulseArcsec, PierSide::West);
  // Said as named east of it; it went the other way.
  dec_pulse(D::South, kPulseArcsec, PierSide::East);
  EXPECT_TRUE(said.Reversed(true, PierSide::East));
  EXPECT_EQ(told, (std::vector<std::string>{
                      "INDI mount \"Telescope Simulator\": declination pulses move the way they "
                      "are named west of the pier, contrary to --reverse-on-pier-west; no longer "
                      "reversing them",
                      "INDI mount \"Telescope Simulator\": declination pulses move the other way "
                      "east of the pier, contrary to --reverse-on-pier-west; reversing them from "
                      "now on"}));
}

}  // namespace
}  // namespace orvan::indi
