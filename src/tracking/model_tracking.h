#pragma once

#include "support/error.h"
#include "tracking/cycle_record.h"
#include "tracking/frame_hold.h"

namespace orvan::tracking {

// What model tracking drives: a mount that follows the pointing model's
// rates for a target, and is given its own tracking back between times. An
// observatory back end that can set rates implements it.
class RateFollowing {
 public:
  virtual ~RateFollowing() = default;
  // Tracks at the model's rates for `target` (true sky, hours and degrees),
  // which itself moves by `motion` (arc-seconds per second, right ascension
  // as an angle of right ascension), over the next `period` seconds, and on
  // until told again.
  virtual void Follow(const AxisPair& target, double period, const AxisPair& motion) = 0;
  // Back to the mount's own tracking.
  virtual void Pause() = 0;
  // The rates failed with `error` while following or pausing; the pulses
  // hold on.
  virtual void Failed(const Error& error) = 0;
  // Model tracking has stopped for good after `recaptures` re-captures while
  // the mount tracked at the model's rates; the pulses hold alone.
  virtual void GaveUp(int recaptures) = 0;
};

// Model tracking driven by what the handlers do: the mount follows the
// model's rates for the target from the start of holding and after every
// cycle that measured its errors; a cycle that waited for a slew or for
// tracking, or re-captured, pauses the rates until the next one that
// measures again, and a stop, an abort or the end of the program gives the
// mount its own tracking back. A mount that keeps running away at the rates
// it is given (a rate it ignores, or keeps beyond what it was told) is
// re-captured again and again: after kMostRecaptures of those, the rates are
// given up for the rest of the run. What the mount cannot do is said through
// the follower's notice; holding goes on whatever happens to the rates.
class ModelTracking final : public TrackingObserver {
 public:
  static constexpr int kMostRecaptures = 3;

  // `motion`, where given, tells how the held position moves (frames).
  explicit ModelTracking(RateFollowing& follower, const HeldMotion* motion = nullptr)
      : follower_(follower), motion_(motion) {}

  void Pulsed(GuideAxis, const SentPulse&, double) noexcept override {}
  void Recorded(const CycleRecord& record) noexcept override;
  void Ending() noexcept override { Pause(); }

 private:
  void Follow(const AxisPair& target) noexcept;
  void Pause() noexcept;

  RateFollowing& follower_;
  const HeldMotion* motion_;
  bool following_ = false;  // the last record set the rates
  int recaptures_ = 0;      // while following
  bool given_up_ = false;
};

}  // namespace orvan::tracking
