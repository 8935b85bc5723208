#include "ui/window_model.h"

#include <algorithm>

#include "support/error.h"

namespace orvan {
namespace {

using controls::Kind;

// What the automation runtime raises for a write a control does not take.
[[noreturn]] void NotSupported() {
  throw errors::ErrorOf(errors::kNotSupported);
}

}  // namespace

std::string_view PropertyName(Property p) {
  switch (p) {
    case Property::Text:
      return "Text";
    case Property::Caption:
      return "Caption";
    case Property::Enabled:
      return "Enabled";
    case Property::Interval:
      return "Interval";
    case Property::SimpleText:
      return "SimpleText";
  }
  return "?";
}

WindowModel::WindowModel(char decimal_separator) : decimal_(decimal_separator) {
  for (const controls::Control& c : controls::kTable)
    controls_[static_cast<std::size_t>(c.id)] = {std::string(c.text), c.enabled};
}

const std::string& WindowModel::Text(ControlId control) const {
  return controls_[static_cast<std::size_t>(control)].text;
}

bool WindowModel::Enabled(ControlId control) const {
  return controls_[static_cast<std::size_t>(control)].enabled;
}

WindowModel::State& WindowModel::Checked(ControlId control, Kind kind) {
  if (controls::Of(control).kind != kind) NotSupported();
  return controls_[static_cast<std::size_t>(control)];
}

void WindowModel::SetText(ControlId box, std::string_view text) {
  Checked(box, Kind::TextBox).text = std::string(text);
  Announce(box, Property::Text, Cause::Program);
}

void WindowModel::SetCaption(ControlId button, std::string_view caption) {
  Checked(button, Kind::Button).text = std::string(caption);
  Announce(button, Property::Caption, Cause::Program);
}

void WindowModel::SetEnabled(ControlId control, bool enabled) {
  const Kind kind = controls::Of(control).kind;
  // The program switches text boxes and the timer; nothing else is ever off.
  if (kind != Kind::TextBox && kind != Kind::Timer) NotSupported();
  controls_[static_cast<std::size_t>(control)].enabled = enabled;
  Announce(control, Property::Enabled, Cause::Program);
}

void WindowModel::SetStatusText(std::string_view text) {
  Checked(ControlId::sbStatusBar, Kind::StatusBar).text = std::string(text);
  Announce(ControlId::sbStatusBar, Property::SimpleText, Cause::Program);
}

void WindowModel::SetTimerInterval(std::int32_t milliseconds) {
  // A timer's period can't be negative; 0 is allowed and raises no tick.
  if (milliseconds < 0) throw errors::ErrorOf(errors::kInvalidPropertyValue);
  timer_interval_ = milliseconds;
  Announce(ControlId::Timer1, Property::Interval, Cause::Program);
}

bool WindowModel::Type(ControlId box, std::string_view text) {
  State& s = Checked(box, Kind::TextBox);
  if (!s.enabled) return false;
  s.text = std::string(text);
  Announce(box, Property::Text, Cause::User);
  return true;
}

void WindowModel::HaltTimer() {
  controls_[static_cast<std::size_t>(ControlId::Timer1)].enabled = false;
  Announce(ControlId::Timer1, Property::Enabled, Cause::Halt);
}

std::vector<Property> WindowModel::PropertiesOf(ControlId control) {
  switch (controls::Of(control).kind) {
    case Kind::TextBox:
      return {Property::Text, Property::Enabled};
    case Kind::Button:
      return {Property::Caption};
    case Kind::Timer:
      return {Property::Interval, Property::Enabled};
    case Kind::StatusBar:
      return {Property::SimpleText};
    case Kind::Label:
    case Kind::Line:
      return {};
  }
  return {};
}

void WindowModel::Subscribe(WindowModelObserver& observer) {
  observers_.push_back(&observer);
}

void WindowModel::Unsubscribe(WindowModelObserver& observer) {
  std::erase(observers_, &observer);
}

void WindowModel::Announce(ControlId control, Property property, Cause cause) {
  // A copy: an observer may unsubscribe while being told.
  const std::vector<WindowModelObserver*> observers = observers_;
  for (WindowModelObserver* o : observers) o->Written(control, property, cause);
}

}  // namespace orvan
