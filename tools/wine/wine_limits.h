#pragma once

// Every wait of the driver and the stand-in, named: how long it waits for
// what, and how often it looks. Reaching a limit means the program under test
// (or the stand-in) went wrong.
#include <chrono>

#include "support/wide.h"  // and with it windows.h
#include "tracking/tracking.h"

namespace orvan::wine::limits {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

// After start-up: until the window shows, a message box opens or the program ends.
// Starting the program: tries, and the pause between them.
inline constexpr int kStartTries = 3;
inline constexpr Duration kStartRetryPause = 500ms;
inline constexpr Duration kLoad = 90s;
inline constexpr Duration kLoadPoll = 20ms;
// The same when start-up is timed: a fine look, the figure's resolution.
inline constexpr Duration kStartupPoll = 1ms;

// After an event: until no message box is up, the observatory log is still
// and the program's thread takes messages again.
inline constexpr Duration kSettle = 60s;
inline constexpr Duration kSettlePoll = 40ms;
// The log counts as still after this many looks in a row without growth.
inline constexpr int kQuietLooks = 3;

// A tick falls due within one period of the program's timer and this margin.
inline constexpr Duration kTickMargin = 5s;
inline constexpr Duration kTickWait = Duration(tracking::kCyclePeriodMs) + kTickMargin;
inline constexpr Duration kTickPoll = 10ms;

// Until a dismissed message box has gone.
inline constexpr Duration kDismiss = 10s;
inline constexpr Duration kDismissPoll = 10ms;

// One message sent to a window of the program to read it (a text, the
// status bar).
inline constexpr Duration kSendMessage = 5s;
// A message the program acts on before it answers: typing, and the empty
// message that tells its thread takes messages again; a mark posted behind
// the program's messages, until it has come through.
inline constexpr Duration kRoundTrip = 10s;
inline constexpr Duration kIdlePoll = 5ms;
// A program whose thread stopped taking messages may be ending.
inline constexpr Duration kExitWhenBusy = 10s;
// After closing the window: until the process has gone.
inline constexpr Duration kExit = 15s;

// A key posted to the inspected window: until it has been handled.
inline constexpr Duration kKey = 10s;
inline constexpr Duration kKeyPoll = 5ms;
// The inspected window is held open for the screenshot until released.
inline constexpr Duration kHold = 60s;
inline constexpr Duration kHoldPoll = 20ms;

// After the program has gone: until the stand-in's local server, if one ran,
// has ended too (the next scenario needs a server of its own).
inline constexpr Duration kServerEnd = 30s;

// A local server whose side file ends it at an event looks at the event
// clock this often.
inline constexpr Duration kStandinClockPoll = 10ms;

// A limit as the Windows API takes it.
constexpr DWORD Ms(Duration d) {
  return static_cast<DWORD>(d.count());
}

}  // namespace orvan::wine::limits
