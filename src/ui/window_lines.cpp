#include "ui/window_lines.h"

#include "support/numtext.h"

namespace orvan::transcript {
namespace {

const char* Bool(bool b) {
  return b ? "true" : "false";
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

  auto b = [&](const char* name, Bool16 v) {
    out.push_back(std::string("state ") + name + " " + Bool(bool(v)));
  };
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
