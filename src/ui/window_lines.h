#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/error.h"
#include "tracking/tracker_state.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

// The transcript's window lines, written in one place for the replay tool,
// the Windows end-to-end tools and the headless view.
namespace orvan::transcript {

std::string EventLine(Event e);                              // event click
std::string IgnoredLine(Event e);                            // ignored tick (timer off)
std::string DeferredLine(Event e);                           // nested click (deferred)
std::string TypeLine(ControlId box, std::string_view text);  // event type Text11 "2,5"
std::string TypeIgnoredLine(ControlId box);                  // ignored type Text11 (disabled)
std::string DumpLine();                                      // event dump
std::string MsgBoxLine(std::string_view text);
std::string ErrorLine(const Error& error);
std::string EndLine();

// A program write of a property, with its value now: set Text1.Text "5.399999".
std::string SetLine(const WindowModel& model, ControlId control, Property property);
// A property's value in a dump: state Text1.Enabled false.
std::string StateLine(ControlId control, Property property, std::string_view text);
std::string StateLine(ControlId control, Property property, bool on);
// A literal is a text, not a flag.
inline std::string StateLine(ControlId control, Property property, const char* text) {
  return StateLine(control, property, std::string_view(text));
}

// Everything a dump prints: the window's properties, then every TrackerState
// variable in declared order.
std::vector<std::string> Dump(const WindowModel& model, const TrackerState& state);

}  // namespace orvan::transcript
