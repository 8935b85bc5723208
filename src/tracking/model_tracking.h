#pragma once

#include "observatory/program/rate_follower.h"
#include "tracking/cycle_record.h"

namespace orvan::tracking {

// Model tracking driven by what the handlers do: the mount follows the
// model's rates for the target from the start of holding and after every
// cycle that measured its errors; a cycle that waited for a slew or for
// tracking, or re-captured, pauses the rates until the next one that
// measures again, and a stop, an abort or the end of the program gives the
// mount its own tracking back. What the mount cannot do is said through the
// follower's notice; holding goes on whatever happens to the rates.
class ModelTracking final : public TrackingObserver {
 public:
  explicit ModelTracking(program::RateFollower& follower) : follower_(follower) {}

  void Pulsed(GuideAxis, const SentPulse&, double) noexcept override {}
  void Recorded(const CycleRecord& record) noexcept override;
  void Ending() noexcept override { Pause(); }

 private:
  void Follow(const AxisPair& target) noexcept;
  void Pause() noexcept;

  program::RateFollower& follower_;
};

}  // namespace orvan::tracking
