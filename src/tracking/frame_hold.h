#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tracking/cycle_record.h"
#include "tracking/frame_note.h"
#include "tracking/target_steering.h"
#include "tracking/tracker_state.h"
#include "tracking/tracking.h"

// Holding the image still by the frames the observatory takes: each frame,
// plate-solved, says where the telescope truly pointed, which the mount's
// readings never show.
namespace orvan::tracking {

// How fast the held position moves, for model tracking to add to its rates:
// arc-seconds per second, right ascension as an angle of right ascension.
class HeldMotion {
 public:
  virtual ~HeldMotion() = default;
  virtual AxisPair Motion() const noexcept = 0;
};

// A solved frame, as the program's clock and sky count: seconds since
// J2000.0, the apparent place of date of the frame's middle (hours, degrees).
struct FrameMeasurement {
  std::string file;
  double start = 0;  // of the exposure
  double mid = 0;
  AxisPair center;
  double field_deg = 0;  // the frame's larger side
};

struct FrameOutcome {
  // Reference, Used, Ignored or Refused.
  FrameAction verdict = FrameAction::Ignored;
  std::string reason;  // why a frame was ignored or refused
  // The frame's centre less the reference's, on the sky (arc-seconds,
  // right ascension times cos dec); for a frame measured against one.
  std::optional<AxisPair> drift_arcsec;
  // Where the mount said it pointed over the exposure, on the mean, as the
  // image averages it: from the cycles' readings and the pulses between
  // them (hours, degrees); where it was holding.
  std::optional<AxisPair> mount;
  // The exposure ended after the newest reading: the frame is to be offered
  // again once the next cycle has read the mount (ignored meanwhile).
  bool wait = false;
};

struct FrameHoldConfig {
  // The target itself is the reference: the frames bring it to their middle.
  bool center = false;
  // A frame this far from the prediction is a bad solve; left out: the larger
  // of kMinOutlierArcsec and kOutlierThresholds times the threshold.
  std::optional<double> outlier_arcsec;
};

class FrameHold final : public TargetSteering, public HeldMotion {
 public:
  static constexpr double kMinOutlierArcsec = 10;
  static constexpr double kOutlierThresholds = 10;
  // The held position moves at most this many thresholds a cycle, so that
  // the cycle never takes the move for a moved mount and re-captures: with
  // the threshold left over, a first pulse that goes the wrong way (a mount
  // whose reversal on this side of the pier is not yet seen) doubles the
  // error to no more than the re-capture's five thresholds.
  static constexpr double kStepThresholds = 1.5;
  // The drift's rate comes from at most this many recent frames, none older
  // than kRateWindowSeconds.
  static constexpr std::size_t kRateFrames = 8;
  static constexpr double kRateWindowSeconds = 1800;
  // Model tracking closes the gap between the mount and the held position
  // over this long: a frame's correction is mostly under the threshold,
  // which no pulse takes out.
  static constexpr double kCloseSeconds = 60;
  // How far ahead of the program's clock a camera's may run: a frame whose
  // middle is later than this is dated in the future.
  static constexpr double kClockToleranceSeconds = 2;
  // The held position is aimed at the middle of the coming cycle.
  static constexpr double kLeadSeconds = kCyclePeriodMs / kMillisecondsPerSecond / 2;

  // `now` is the program's clock, in seconds since J2000.0.
  FrameHold(FrameHoldConfig config, std::function<double()> now);

  FrameOutcome Frame(const FrameMeasurement& frame);
  // The position the cycles hold, while holding (hours, degrees).
  std::optional<AxisPair> Held() const { return captured_ ? held_ : std::nullopt; }

  void Steer(TrackerState& state) noexcept override;
  AxisPair Motion() const noexcept override;
  void Pulsed(GuideAxis, const SentPulse&, double) noexcept override {}
  void Recorded(const CycleRecord& record) noexcept override;

 private:
  struct Reading {
    double time;
    AxisPair at;
    // A pulse's end, taken to be on the target: where the mount read when
    // the pulse was sent, until the next reading tells.
    std::optional<AxisPair> pulsed_from = std::nullopt;
  };
  // Sky minus mount at a frame's middle, arc-seconds (RA times cos dec).
  struct Offset {
    double time;
    AxisPair sky;
  };
  void Capture(const AxisPair& target, double time);
  void AfterPulses(const CycleRecord& record, double now);
  void WherePulsesWent(const AxisPair& read);
  std::optional<std::string> Future(const FrameMeasurement& frame);
  std::optional<std::string> Unfit(const FrameMeasurement& frame) const;
  std::optional<AxisPair> MountAt(double time) const;
  std::optional<AxisPair> MountOver(double from, double to) const;
  bool Plausible(const Offset& offset, const FrameMeasurement& frame, FrameOutcome& outcome);
  // The offset's line through the recent frames: its mean time and value,
  // and its rate (arc-seconds per second).
  struct Trend {
    double time;
    AxisPair at;
    AxisPair rate;
  };
  Trend Fit() const;
  AxisPair Predicted(double time) const;
  double OutlierLimit() const;

  FrameHoldConfig config_;
  std::function<double()> now_;
  std::optional<AxisPair> captured_;  // the target as captured, while holding
  double captured_at_ = 0;
  bool recaptured_ = false;  // the last capture was a moved mount's
  double threshold_ = 0;
  double last_wait_ = -1e300;  // the last cycle that waited for a slew or tracking
  double last_read_ = -1e300;  // the last cycle that read the mount
  // Few and short-lived: vectors, for the small Windows program.
  std::vector<Reading> readings_;
  std::optional<AxisPair> reference_;  // apparent place the frames are held on
  std::vector<Offset> offsets_;        // accepted, oldest first
  std::optional<Offset> doubted_;      // the last frame refused as a bad solve
  std::optional<double> last_mid_;
  std::optional<AxisPair> held_;  // the held position the last cycle had
  bool clock_said_ = false;       // a frame dated in the future was refused
};

}  // namespace orvan::tracking
