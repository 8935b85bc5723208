#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "observatory/automation.h"
#include "support/error.h"
#include "tracking/tracker_state.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

// The transcript's lines, written in one place for every tool that writes
// them: the replay tool, the scripted observatory, the Windows end-to-end
// tools and the program's trace of observatory accesses.
namespace orvan::transcript {

// ---- the observatory ------------------------------------------------------

// "Telescope" for "ACP.Telescope", "Util" for "ACP.Util"; "" for any other.
std::string_view ObjectName(std::string_view prog_id);

// One observatory access, begun before it is made and finished with how it
// ended: `create ACP.Util`, `get Telescope.slewing -> bool:false`,
// `put Telescope.Connected bool:true`, `call Telescope.PulseGuide(i2:3,
// &r8:360)`, each possibly ending in ` !! 0x80040401 "Mount not responding"`.
class Access {
 public:
  static Access Create(std::string_view prog_id);
  static Access Get(std::string_view object, std::string_view member);
  static Access Put(std::string_view object, std::string_view member, const Value& value);
  static Access Call(std::string_view object, std::string_view member,
                     std::span<const Argument> args);

  // Create and put, done.
  std::string Done() const { return head_; }
  // A read and its answer.
  std::string Answered(const Value& answer) const;
  // A call returned: by-reference arguments that came back changed are shown
  // with their values after the call.
  std::string Returned(std::span<const Argument> args) const;
  std::string Raised(const Error& error) const;

 private:
  explicit Access(std::string head) : head_(std::move(head)) {}
  std::string head_;
  std::vector<double> before_;  // by-reference arguments as passed
};

// ---- the window -----------------------------------------------------------

std::string EventLine(Event e);         // event click
std::string IgnoredLine(Event e);       // ignored tick (timer off)
std::string DeferredLine(Event e);      // nested click (deferred)
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
