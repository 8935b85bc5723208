#pragma once

#include "observatory/position_news.h"
#include "tracking/cycle_record.h"
#include "tracking/tracker_state.h"
#include "tracking/window.h"

namespace orvan::tracking {

// The start/stop button.
void Command1_Click(TrackerState& state, TrackerWindow& window, TrackingObserver& observer);
// A mount that reports its position only once it has moved by a step
// (PositionNews), and what its pulses took out since: while an axis reads
// the very position it read when last pulsed, the mount is where those
// pulses put it, and only what the error has grown by since is corrected.
// Without `news`, every reading is news.
struct UnseenPulses {
  PositionNews* news = nullptr;
  AxisPair taken;  // hours and degrees, as the errors
};

// One correction cycle, every tick of the 4-second timer.
void Timer1_Timer(TrackerState& state, TrackerWindow& window, TrackingObserver& observer,
                  UnseenPulses* unseen = nullptr);

inline constexpr std::int32_t kCyclePeriodMs = 4000;

}  // namespace orvan::tracking
