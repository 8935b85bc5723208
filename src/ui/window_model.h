#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace orvan {

// A property of a control, named as the window system names it.
enum class Property { Text, Caption, Enabled, Interval, SimpleText };
std::string_view PropertyName(Property p);

// Who changed a property: the program (a write, reported even when the value
// stays the same), the user (typing), or the end of the program (the timer
// halted for the run-time error report).
enum class Cause { Program, User, Halt };

class WindowModelObserver {
 public:
  virtual ~WindowModelObserver() = default;
  virtual void Written(ControlId control, Property property, Cause cause) = 0;
};

// Every property of the main window's controls, its caption and the user's
// decimal separator: the one copy. Starts as designed (the control table),
// checks each write and announces it to every observer.
class WindowModel {
 public:
  explicit WindowModel(char decimal_separator);

  std::string_view Caption() const { return controls::kTitle; }
  char DecimalSeparator() const { return decimal_; }

  // A text box's text, a button's or label's caption, the status bar's text.
  const std::string& Text(ControlId control) const;
  bool Enabled(ControlId control) const;
  std::int32_t TimerInterval() const { return timer_interval_; }
  // Timer1 raises ticks only while enabled with a period above zero.
  bool Ticking() const { return Enabled(ControlId::Timer1) && timer_interval_ > 0; }

  // The program's writes. A property the control does not have, or a value
  // it does not take, raises orvan::Error and changes nothing.
  void SetText(ControlId box, std::string_view text);
  void SetCaption(ControlId button, std::string_view caption);
  void SetEnabled(ControlId control, bool enabled);
  void SetStatusText(std::string_view text);
  void SetTimerInterval(std::int32_t milliseconds);

  // The user typed into a box; false (nothing changes) while it is disabled.
  bool Type(ControlId box, std::string_view text);
  // Stops the timer at the end of the program; not a write of the program.
  void HaltTimer();

  // Properties of a control, in the order a dump lists them.
  static std::vector<Property> PropertiesOf(ControlId control);

  void Subscribe(WindowModelObserver& observer);
  void Unsubscribe(WindowModelObserver& observer);

 private:
  struct State {
    std::string text;
    bool enabled;
  };
  // The state of a control of that kind; raises for any other.
  State& Checked(ControlId control, controls::Kind kind);
  void Announce(ControlId control, Property property, Cause cause);

  char decimal_;
  std::array<State, controls::kTable.size()> controls_;
  std::int32_t timer_interval_ = controls::kTimerDesignInterval;
  std::vector<WindowModelObserver*> observers_;
};

}  // namespace orvan
