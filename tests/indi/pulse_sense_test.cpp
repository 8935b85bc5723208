// Which way pulses move a mount, judged from made-up readings: no server.
#include "observatory/indi/pulse_sense.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvan::indi {
namespace {

using D = GuideDirection;

constexpr double kRate = 0.5 * kSiderealDegPerSecond;  // 7.52"/s
constexpr double kMs = 532;                            // 4" at that rate
constexpr double kPulseArcsec = kRate * kArcsecPerDegree * kMs / 1000;
constexpr double kDec0 = 20;

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

  std::vector<std::string> notices;
  PulseSense sense{"Telescope Simulator", [this](const std::string& n) { notices.push_back(n); }};
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

TEST_F(PulseSenseTest, DeclinationMovingTheOtherWayWestOfThePierIsReversedThereOnly) {
  DecPulse(D::South, kPulseArcsec, PierSide::West);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West)) << "one judgement is not enough";
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

TEST_F(PulseSenseTest, AJudgementAsNamedBetweenTwoOtherWaysStartsTheCountAgain) {
  DecPulse(D::North, -kPulseArcsec, PierSide::West);
  DecPulse(D::North, kPulseArcsec, PierSide::West);
  DecPulse(D::North, -kPulseArcsec, PierSide::West);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
  DecPulse(D::North, -kPulseArcsec, PierSide::West);
  EXPECT_TRUE(sense.Reversed(true, PierSide::West));
}

TEST_F(PulseSenseTest, MotionBelowTheFloorOrHalfThePulseIsNotJudged) {
  for (int i = 0; i < 5; ++i) {
    DecPulse(D::North, -0.9 * PulseSense::kFloorArcsec, PierSide::West);
    DecPulse(D::North, -0.45 * kPulseArcsec, PierSide::West);
  }
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
  EXPECT_TRUE(notices.empty());
}

TEST_F(PulseSenseTest, MotionFarBeyondThePulseIsNotJudged) {
  // Something else moved the mount: a short slew, tracking off between reads.
  for (int i = 0; i < 3; ++i) DecPulse(D::North, -60, PierSide::West);
  EXPECT_FALSE(sense.Reversed(true, PierSide::West));
}

TEST_F(PulseSenseTest, RightAscensionIsJudgedTheShortWayAcrossZeroHours) {
  const double step = kPulseArcsec / kArcsecPerHour;
  // West lowers right ascension; these pulses raise it across 24 h.
  for (int i = 0; i < 2; ++i)
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
  DecPulse(D::South, kPulseArcsec, PierSide::West);
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
  EXPECT_FALSE(sense.Reversed(true, PierSide::West)) << "one judgement only";
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
  DecPulse(D::North, -kPulseArcsec, PierSide::East);
  DecPulse(D::North, kPulseArcsec, PierSide::East);
  DecPulse(D::North, -kPulseArcsec, PierSide::West);
  EXPECT_TRUE(sense.Reversed(true, PierSide::West));
  EXPECT_FALSE(sense.Reversed(true, PierSide::East));
}

TEST_F(PulseSenseTest, AMountWithoutAPierSideHasOneSideThatCanTurnBack) {
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  ASSERT_TRUE(sense.Reversed(true, PierSide::Unknown));
  // It flipped (unseen): the reversed pulses now go the wrong way.
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  DecPulse(D::North, -kPulseArcsec, PierSide::Unknown);
  EXPECT_FALSE(sense.Reversed(true, PierSide::Unknown));
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "INDI mount \"Telescope Simulator\": declination pulses move the other "
                         "way; reversing them from now on",
                         "INDI mount \"Telescope Simulator\": declination pulses move the way "
                         "they are named again; no longer reversing them"}));
}

}  // namespace
}  // namespace orvan::indi
