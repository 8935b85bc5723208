#include "tracking/frame_hold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace orvan::tracking {
namespace {

// Dec 60: one arc-second of sky in right ascension is 2" of right
// ascension, 2/54000 h.
constexpr double kDec = 60;
constexpr double kRa = 5;
constexpr double kRaHoursPerSkyArcsec = 2.0 / 54000;
constexpr double kDegPerArcsec = 1.0 / 3600;

struct Rig {
  double now = 1000;
  FrameHold hold{{}, [this] { return now; }};

  explicit Rig(FrameHoldConfig config = {}) : hold(config, [this] { return now; }) {}
  void Start(double threshold = 1) {
    CycleRecord r;
    r.kind = RecordKind::Start;
    r.threshold_arcsec = threshold;
    r.target = AxisPair{kRa, kDec};
    hold.Recorded(r);
  }
  // A cycle `dt` seconds on that read the mount at `at` and held it.
  void Cycle(double dt, AxisPair at = {kRa, kDec}) {
    now += dt;
    CycleRecord r;
    r.current = at;
    r.target = AxisPair{kRa, kDec};
    r.target_scope = at;
    hold.Recorded(r);
  }
  // A frame whose middle is `mid_ago` seconds back, its centre `east` and
  // `north` sky arc-seconds from the target.
  FrameOutcome Frame(double mid_ago, double east, double north, double exposure = 2) {
    return hold.Frame({"f.fits",
                       now - mid_ago - exposure / 2,
                       now - mid_ago,
                       {kRa + east * kRaHoursPerSkyArcsec, kDec + north * kDegPerArcsec},
                       1.0});
  }
};

TEST(FrameHold, FirstFrameIsTheReferenceAndLaterOnesDriftFromIt) {
  Rig rig;
  rig.Start();
  for (int i = 0; i < 20; ++i) rig.Cycle(4);
  const FrameOutcome first = rig.Frame(10, 1.5, -0.5);
  EXPECT_EQ(first.verdict, FrameAction::Reference);
  ASSERT_TRUE(first.drift_arcsec && first.mount);
  EXPECT_EQ(first.drift_arcsec->ra, 0);
  EXPECT_DOUBLE_EQ(first.mount->ra, kRa);

  for (int i = 0; i < 30; ++i) rig.Cycle(4);
  const FrameOutcome second = rig.Frame(10, 3.5, 1.0);
  EXPECT_EQ(second.verdict, FrameAction::Used);
  ASSERT_TRUE(second.drift_arcsec);
  // cos dec taken at the reference, 0.5" south: 8e-6" more.
  EXPECT_NEAR(second.drift_arcsec->ra, 2.0, 1e-5);
  EXPECT_NEAR(second.drift_arcsec->dec, 1.5, 1e-6);
}

TEST(FrameHold, SteersThePositionAgainstTheDriftAtMostOneAndAHalfThresholdsACycle) {
  Rig rig;
  rig.Start(0.5);
  rig.Cycle(40);
  ASSERT_EQ(rig.Frame(1, 0, 0).verdict, FrameAction::Reference);
  rig.Cycle(120);
  // The sky has moved 4" east of the mount's reading: the mount must go
  // 4" west; 0.75" (1.5 x 0.5") a cycle.
  ASSERT_EQ(rig.Frame(1, 4, 0).verdict, FrameAction::Used);
  TrackerState state;
  state.TrackingActive = true;
  state.TargetTrueRA = kRa;
  state.TargetTrueDec = kDec;
  const double step_ra = 0.75 / 54000;  // one and a half thresholds of right ascension
  const std::vector<double> expected_ra = {kRa - step_ra, kRa - 2 * step_ra};
  for (double want : expected_ra) {
    rig.hold.Steer(state);
    EXPECT_NEAR(state.TargetTrueRA, want, 1e-12);
    EXPECT_EQ(state.TargetTrueDec, kDec);
  }
  // Two frames 120 s apart, 4" of drift: the held place moves west at
  // 1/30 "/s of sky, 1/15 "/s of right ascension at dec 60.
  const AxisPair motion = rig.hold.Motion();
  EXPECT_NEAR(motion.ra, -4.0 / 120 * 2, 1e-9);
  EXPECT_NEAR(motion.dec, 0, 1e-12);
}

TEST(FrameHold, FramesThatDoNotBelongAreIgnoredWithTheirReason) {
  Rig idle;
  EXPECT_EQ(idle.Frame(10, 0, 0).reason, "not holding");

  Rig rig;
  rig.Start();
  rig.Cycle(4);
  EXPECT_EQ(rig.Frame(10, 0, 0).reason, "taken before the start");
  rig.Cycle(100);
  EXPECT_EQ(rig.Frame(10, 5000, 0).reason, "more than a field away from the target");
  ASSERT_EQ(rig.Frame(5, 0, 0).verdict, FrameAction::Reference);
  EXPECT_EQ(rig.Frame(20, 0, 0).reason, "out of time order");

  // A cycle that waited for a slew, then one that took the moved mount.
  CycleRecord wait;
  rig.now += 4;
  rig.hold.Recorded(wait);
  EXPECT_EQ(rig.Frame(1, 0, 0).reason, "taken across a slew");
  rig.now += 4;
  CycleRecord moved;
  moved.current = moved.target = AxisPair{6, 10};
  rig.hold.Recorded(moved);
  rig.Cycle(4, {6, 10});
  EXPECT_EQ(rig.Frame(2, 0, 0, 10).reason, "taken before the re-capture");

  CycleRecord stop;
  stop.kind = RecordKind::Stop;
  rig.hold.Recorded(stop);
  EXPECT_EQ(rig.Frame(0, 0, 0).reason, "not holding");
}

// A camera's clock ahead of the program's: a frame whose middle is more than
// 2 s ahead is refused, said once to be the clock, and never becomes the
// frame the next ones must follow in time.
TEST(FrameHold, AFrameDatedInTheFutureIsRefusedAndSetsNoTimeOrder) {
  Rig rig;
  rig.Start();
  rig.Cycle(100);
  const struct {
    double mid_ago;
    FrameAction verdict;
    const char* reason;
  } frames[] = {
      {5, FrameAction::Reference, ""},
      {-120, FrameAction::Refused,
       "dated in the future: its middle is 120.0 s past the clock; is the camera's clock right?"},
      {-3.6e9, FrameAction::Refused,
       "dated in the future: its middle is 3600000000.0 s past the clock"},
      // Within the clock's tolerance, but after the newest reading.
      {-2, FrameAction::Ignored, "waits for a reading after its end"},
  };
  for (const auto& f : frames) {
    const FrameOutcome outcome = rig.Frame(f.mid_ago, 0, 0);
    EXPECT_EQ(outcome.verdict, f.verdict) << f.mid_ago;
    EXPECT_EQ(outcome.reason, f.reason);
    EXPECT_EQ(outcome.drift_arcsec.has_value(), *f.reason == '\0');
  }
}

// A name or reason from the folder never splits, overwrites or forges a line.
TEST(FrameNoteText, EscapesWhatTheFolderWrote) {
  const FrameNote note = {"a\"b\nc\rd\\.fits", std::nullopt, std::nullopt, FrameAction::Failed,
                          "bad DATE-OBS \"x\"\n\x1b[2J"};
  EXPECT_EQ(FrameNoteText(note),
            "\"a\\\"b\\nc\\rd\\\\.fits\" failed: bad DATE-OBS \"x\"\\n\\x1b[2J");
}

TEST(FrameHold, ABadSolveIsRefusedUnlessTheNextAgreesWithIt) {
  Rig rig;  // threshold 1": the limit is 10"
  rig.Start();
  rig.Cycle(40);
  ASSERT_EQ(rig.Frame(1, 0, 0).verdict, FrameAction::Reference);
  rig.Cycle(60);
  const FrameOutcome bad = rig.Frame(1, 12, 0);
  EXPECT_EQ(bad.verdict, FrameAction::Refused);
  EXPECT_EQ(bad.reason, "bad solve: 12.0\" from the prediction, limit 10.0\"");
  rig.Cycle(60);
  EXPECT_EQ(rig.Frame(1, 0.5, 0).verdict, FrameAction::Used);  // the prediction holds
  rig.Cycle(60);
  EXPECT_EQ(rig.Frame(1, 30, 0).verdict, FrameAction::Refused);
  rig.Cycle(60);
  // Agrees with the one before: the mount really moved.
  EXPECT_EQ(rig.Frame(1, 31, 0).verdict, FrameAction::Used);

  Rig strict({false, 2.0});
  strict.Start();
  strict.Cycle(40);
  strict.Frame(1, 0, 0);
  strict.Cycle(60);
  EXPECT_EQ(strict.Frame(1, 0, 2.5).reason, "bad solve: 2.5\" from the prediction, limit 2.0\"");
}

TEST(FrameHold, CentringHoldsTheTargetItselfAndTheMountIsReadOverTheExposure) {
  Rig rig({true, std::nullopt});
  rig.Start(2);
  rig.Cycle(40, {kRa, kDec});
  rig.Cycle(4, {kRa, kDec + 8 * kDegPerArcsec});  // a pulse north between readings
  // A second about 1 s after the first reading, a quarter of the way: 2"
  // north on the mean.
  const FrameOutcome f =
      rig.hold.Frame({"f.fits", rig.now - 3.5, rig.now - 3, {kRa, kDec + 12 * kDegPerArcsec}, 1.0});
  EXPECT_EQ(f.verdict, FrameAction::Used);
  ASSERT_TRUE(f.mount && f.drift_arcsec);
  EXPECT_NEAR(f.mount->dec, kDec + 2 * kDegPerArcsec, 1e-12);
  EXPECT_NEAR(f.drift_arcsec->dec, 12, 1e-6);
  // The sky is 10" north of the mount: the target is held 10" south of
  // itself, 3" (1.5 x 2") a cycle.
  TrackerState state;
  state.TrackingActive = true;
  state.TargetTrueRA = kRa;
  state.TargetTrueDec = kDec;
  for (double south : {3, 6, 9, 10, 10}) {
    rig.hold.Steer(state);
    EXPECT_NEAR(state.TargetTrueDec, kDec - south * kDegPerArcsec, 1e-12);
  }
}

// A frame whose exposure ends after the newest reading waits for the next;
// one that starts within the camera clock's tolerance before the start is
// taken, from the start.
TEST(FrameHold, AFrameWaitsForAReadingAfterItsEnd) {
  Rig rig;
  rig.Start();                                     // at 1000
  rig.Cycle(12, {kRa, kDec + 2 * kDegPerArcsec});  // 1012: 2" north
  // Started 1.5 s before the start; its end, 1012.5, after the reading.
  const FrameMeasurement frame{"f.fits", 998.5, 1005.5, {kRa, kDec}, 1.0};
  const FrameOutcome early = rig.hold.Frame(frame);
  EXPECT_TRUE(early.wait);
  EXPECT_EQ(early.verdict, FrameAction::Ignored);
  rig.Cycle(4, {kRa, kDec + 4 * kDegPerArcsec});  // 1016: 4" north
  const FrameOutcome later = rig.hold.Frame(frame);
  EXPECT_FALSE(later.wait);
  EXPECT_EQ(later.verdict, FrameAction::Reference);
  ASSERT_TRUE(later.mount);
  // From 1000 to 1012.5: 0" to 2" by 1012, 2.25" by 1012.5; by trapezoids
  // (12 x 1 + 0.5 x 2.125) / 12.5.
  EXPECT_NEAR((later.mount->dec - kDec) * 3600, 1.045, 1e-9);
}

// A cycle reads the mount before its pulse: from the pulse's end the mount
// is on the target, and drifts on from there to the next reading; unless
// that reading went the other way, as a pulse reversed on one side of the
// pier does: then the pulse took it there. A reading unchanged is no news.
TEST(FrameHold, TheMountIsOnTheTargetFromTheEndOfAPulseThatWentItsWayAndIsAveragedOverTheExposure) {
  const struct {
    const char* name;
    double next_north;  // the reading after the pulse, arc-seconds
    double start, mid;  // of the exposure
    double mean_north;  // the mount over the exposure, on the mean
  } cases[] = {
      // 1.5 s of the 3.5 s from the pulse's end to the reading: 3/7 of 1".
      {"drifted 1\" north of the target", 1, 1045.5, 1046, 3.0 / 7},
      {"went 6\" north, not south", 12, 1045.5, 1046, 12},
      {"unchanged", 6, 1045.5, 1046, 6 * 1.5 / 3.5},
      // From 1042 to 1046: 0" at 1040 to 6" at 1044 read, 0" at the pulse's
      // end, 3/7" at 1046; by trapezoids (9 + 1.5 + 1.5 x 3/14) / 4.
      {"over 4 s across the pulse", 1, 1042, 1044, 303.0 / 112},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.Start();
    rig.Cycle(40);
    rig.now += 4;  // 1044: read 6" north, pulsed south for 500 ms
    CycleRecord pulsed;
    pulsed.current = AxisPair{kRa, kDec + 6 * kDegPerArcsec};
    pulsed.target = AxisPair{kRa, kDec};
    pulsed.target_scope = pulsed.current;
    pulsed.dec_pulse = SentPulse{GuideDirection::South, 500};
    rig.hold.Recorded(pulsed);
    // It ends after the pulse's end: it waits for a reading.
    const FrameMeasurement frame{"f.fits", c.start, c.mid, {kRa, kDec}, 1.0};
    rig.now = 1046.5;
    EXPECT_TRUE(rig.hold.Frame(frame).wait);
    rig.now = 1044;
    rig.Cycle(4, {kRa, kDec + c.next_north * kDegPerArcsec});  // 1048
    const FrameOutcome f = rig.hold.Frame(frame);
    ASSERT_TRUE(f.mount);
    EXPECT_NEAR((f.mount->dec - kDec) * 3600, c.mean_north, 1e-9);
    EXPECT_EQ(f.mount->ra, kRa);
  }
}

}  // namespace
}  // namespace orvan::tracking
