#include "replay/transcript.h"

#include <cstring>

#include "support/numtext.h"

namespace orvan::transcript {
namespace {

std::string ArgText(const Argument& a) {
  return a.by_ref() ? "&" + Value::R8(*a.ref).ToString() : a.value.ToString();
}

std::string ArgList(std::span<const Argument> args) {
  std::string out = "(";
  for (std::size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + ArgText(args[i]);
  return out + ")";
}

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

const char* Bool(bool b) {
  return b ? "true" : "false";
}

std::string Target(std::string_view object, std::string_view member) {
  return std::string(object) + "." + std::string(member);
}

std::string PropertyTarget(ControlId control, Property property) {
  return std::string(controls::Of(control).name) + "." + std::string(PropertyName(property));
}

std::string ValueText(const WindowModel& model, ControlId control, Property property) {
  switch (property) {
    case Property::Enabled:
      return Bool(model.Enabled(control));
    case Property::Interval:
      return std::to_string(model.TimerInterval());
    case Property::Text:
    case Property::Caption:
    case Property::SimpleText:
      break;
  }
  return Quote(model.Text(control));
}

}  // namespace

std::string_view ObjectName(std::string_view prog_id) {
  if (prog_id == "ACP.Telescope") return "Telescope";
  if (prog_id == "ACP.Util") return "Util";
  return "";
}

Access Access::Create(std::string_view prog_id) {
  return Access("create " + std::string(prog_id));
}

Access Access::Get(std::string_view object, std::string_view member) {
  return Access("get " + Target(object, member));
}

Access Access::Put(std::string_view object, std::string_view member, const Value& value) {
  return Access("put " + Target(object, member) + " " + value.ToString());
}

Access Access::Call(std::string_view object, std::string_view member,
                    std::span<const Argument> args) {
  Access a("call " + Target(object, member) + ArgList(args));
  for (const Argument& arg : args) a.before_.push_back(arg.by_ref() ? *arg.ref : 0);
  return a;
}

std::string Access::Answered(const Value& answer) const {
  return head_ + " -> " + answer.ToString();
}

std::string Access::Returned(std::span<const Argument> args) const {
  for (std::size_t i = 0; i < args.size() && i < before_.size(); ++i)
    if (args[i].by_ref() && !SameBits(before_[i], *args[i].ref))
      return head_ + " -> " + ArgList(args);
  return head_;
}

std::string Access::Raised(const Error& error) const {
  return head_ + " !! " + HexNumber(error.number()) + " " + Quote(error.description());
}

std::string EventLine(Event e) {
  return "event " + std::string(EventName(e));
}
std::string IgnoredLine(Event e) {
  return "ignored " + std::string(EventName(e)) + " (timer off)";
}
std::string DeferredLine(Event e) {
  return "nested " + std::string(EventName(e)) + " (deferred)";
}
std::string TypeLine(ControlId box, std::string_view text) {
  return "event type " + std::string(controls::Of(box).name) + " " + Quote(text);
}
std::string TypeIgnoredLine(ControlId box) {
  return "ignored type " + std::string(controls::Of(box).name) + " (disabled)";
}
std::string DumpLine() {
  return "event dump";
}
std::string MsgBoxLine(std::string_view text) {
  return "msgbox " + Quote(text);
}
std::string ErrorLine(const Error& error) {
  return "error " + HexNumber(error.number()) + " " + Quote(error.description());
}
std::string EndLine() {
  return "end";
}

std::string SetLine(const WindowModel& model, ControlId control, Property property) {
  return "set " + PropertyTarget(control, property) + " " + ValueText(model, control, property);
}

std::string StateLine(ControlId control, Property property, std::string_view text) {
  return "state " + PropertyTarget(control, property) + " " + Quote(text);
}

std::string StateLine(ControlId control, Property property, bool on) {
  return "state " + PropertyTarget(control, property) + " " + Bool(on);
}

std::vector<std::string> Dump(const WindowModel& model, const TrackerState& s) {
  std::vector<std::string> out;
  auto window = [&](ControlId c) {
    for (Property p : WindowModel::PropertiesOf(c))
      out.push_back("state " + PropertyTarget(c, p) + " " + ValueText(model, c, p));
  };
  for (ControlId box : controls::kTextBoxes) window(box);
  window(ControlId::Command1);
  window(ControlId::Timer1);
  window(ControlId::sbStatusBar);

  auto b = [&](const char* name, Bool16 v) { out.push_back(std::string("state ") + name + " " + Bool(bool(v))); };
  auto o = [&](const char* name, const Value& v) {
    out.push_back(std::string("state ") + name + (v.IsObject() ? " object" : " nothing"));
  };
  auto r = [&](const char* name, double v) {
    out.push_back(std::string("state ") + name + " " + ShortestText(v));
  };
  b("TrackingActive", s.TrackingActive);
  o("AcpUtil", s.AcpUtil);
  o("AcpTelescope", s.AcpTelescope);
  r("CurrentScopeRA", s.CurrentScopeRA);
  r("CurrentScopeDec", s.CurrentScopeDec);
  r("TargetScopeRA", s.TargetScopeRA);
  r("TargetScopeDec", s.TargetScopeDec);
  r("CurrentTrueRA", s.CurrentTrueRA);
  r("CurrentTrueDec", s.CurrentTrueDec);
  r("TargetTrueRA", s.TargetTrueRA);
  r("TargetTrueDec", s.TargetTrueDec);
  r("ErrorRA", s.ErrorRA);
  r("ErrorDec", s.ErrorDec);
  r("GuideRateRA", s.GuideRateRA);
  r("GuideRateDec", s.GuideRateDec);
  r("PulseDurationRA", s.PulseDurationRA);
  r("PulseDurationDec", s.PulseDurationDec);
  r("MaxErrorArcsec", s.MaxErrorArcsec);
  out.push_back("state DriverInterfaceVersion " + std::to_string(s.DriverInterfaceVersion));
  b("TargetStale", s.TargetStale);
  return out;
}

}  // namespace orvan::transcript
