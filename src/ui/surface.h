#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/error.h"

namespace orvan {

// The events the window delivers to the program.
enum class Event { Load, Click, Tick, Close };
std::string_view EventName(Event e);

// What the program needs of a window system: the operations on the controls,
// the message box and the run-time error report. Each front end (Qt, Win32,
// the replay tool's recorder) implements it and holds no behaviour of its own.
// Text boxes are numbered 1 to 11. A setter may raise orvan::Error.
class Surface {
 public:
  virtual ~Surface() = default;

  virtual void SetText(int box, std::string_view text) = 0;
  virtual std::string Text(int box) = 0;
  virtual void SetEnabled(int box, bool enabled) = 0;
  virtual void SetCaption(std::string_view caption) = 0;  // Command1
  virtual void SetTimerInterval(std::int32_t milliseconds) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual void SetStatusText(std::string_view text) = 0;  // sbStatusBar's simple text
  virtual char DecimalSeparator() = 0;                    // the user's
  virtual void Show() = 0;                                // the window becomes visible, modeless

  // Application-modal, no icon, OK only, titled with the application's title;
  // returns once dismissed.
  virtual void MessageBox(std::string_view text) = 0;

  // The run-time error report. Before it shows, the timer is stopped through
  // HaltTimer (not a program write of Timer1.Enabled).
  virtual void HaltTimer() = 0;
  virtual void ShowErrorReport(const Error& error) = 0;
  // The program is over: close the window and leave with this status.
  virtual void EndProgram(int exit_status) = 0;

  // Delivery notes, for recorders; the windows ignore them.
  virtual void EventStarted(Event) {}
  virtual void EventIgnored(Event) {}
  virtual void EventDeferred(Event) {}
};

}  // namespace orvan
