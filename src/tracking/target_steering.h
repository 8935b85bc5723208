#pragma once

#include "tracking/cycle_record.h"
#include "tracking/tracker_state.h"

namespace orvan::tracking {

// Moves the position the cycles hold, before each cycle runs; and hears the
// handlers' records like any observer.
class TargetSteering : public TrackingObserver {
 public:
  virtual void Steer(TrackerState& state) noexcept = 0;
};

}  // namespace orvan::tracking
