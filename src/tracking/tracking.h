#pragma once

#include "tracking/cycle_record.h"
#include "tracking/tracker_state.h"
#include "tracking/window.h"

namespace orvan::tracking {

// The start/stop button.
void Command1_Click(TrackerState& state, TrackerWindow& window, TrackingObserver& observer);
// One correction cycle, every tick of the 4-second timer.
void Timer1_Timer(TrackerState& state, TrackerWindow& window, TrackingObserver& observer);

inline constexpr std::int32_t kCyclePeriodMs = 4000;

}  // namespace orvan::tracking
