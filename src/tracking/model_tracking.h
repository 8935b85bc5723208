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
};

// Model tracking driven by what the handlers do: the mount follows the
// model's rates for the target from the start of holding and after every
// cycle that measured its errors; a cycle that waited for a slew or for
// tracking, or re-captured, pauses the rates until the next one that
// measures again, and a stop, an abort or the end of the program gives the
// mount its own tracking back. What the mount cannot do is said through the
// follower's notice; holding goes on whatever happens to the rates.
class ModelTracking final : public TrackingObserver {
 public:
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
};

}  // namespace orvan::tracking
