#pragma once

#include "observatory/position_news.h"
#include "tracking/cycle_record.h"
#include "tracking/tracker_state.h"
#include "tracking/window.h"

namespace orvan::tracking {

// The start/stop button.
void Command1_Click(TrackerState& state, TrackerWindow& window, TrackingObserver& observer);
// One correction cycle, every tick of the 4-second timer. With `news`, an
// axis whose error is read from the very position the mount reported when
// that axis was last pulsed is not pulsed again: the error is the one the
// pulse was sent for.
void Timer1_Timer(TrackerState& state, TrackerWindow& window, TrackingObserver& observer,
                  PositionNews* news = nullptr);

inline constexpr std::int32_t kCyclePeriodMs = 4000;

}  // namespace orvan::tracking
