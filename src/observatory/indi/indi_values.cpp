#include "observatory/indi/indi_values.h"

#include <cmath>
#include <cstdio>

#include "support/error.h"

namespace orvan::indi {
namespace {

const char* TypeName(INDI_PROPERTY_TYPE type) {
  switch (type) {
    case INDI_NUMBER:
      return "Number";
    case INDI_SWITCH:
      return "Switch";
    case INDI_TEXT:
      return "Text";
    case INDI_LIGHT:
      return "Light";
    case INDI_BLOB:
      return "BLOB";
    case INDI_UNKNOWN:
      break;
  }
  return "unknown";
}

[[noreturn]] void RaiseReading(const PropertyValues& p, const std::string& element,
                               const std::string& why) {
  throw Error(errors::kBadReading,
              p.Where(element) + " = " + NumberText(p.Element(element).value) + ": " + why);
}

// A property of another type than the element asked for.
void CheckType(const PropertyValues& p, INDI_PROPERTY_TYPE wanted) {
  if (p.type != wanted)
    throw Error(errors::kBadReading, "INDI device \"" + p.device + "\" " + p.name + " is a " +
                                         TypeName(p.type) + " vector, not a " + TypeName(wanted) +
                                         " vector");
}

[[noreturn]] void RaiseMissing(const PropertyValues& p, const std::string& element) {
  throw Error(errors::kBadReading,
              "INDI device \"" + p.device + "\" " + p.name + " has no element " + element);
}

}  // namespace

const char* StateName(IPState state) {
  switch (state) {
    case IPS_IDLE:
      return "Idle";
    case IPS_OK:
      return "Ok";
    case IPS_BUSY:
      return "Busy";
    case IPS_ALERT:
      return "Alert";
  }
  return "?";
}

std::string NumberText(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", value);
  return buf;
}

const NumberElement& PropertyValues::Element(const std::string& element) const {
  CheckType(*this, INDI_NUMBER);
  const auto it = numbers.find(element);
  if (it == numbers.end()) RaiseMissing(*this, element);
  return it->second;
}

bool PropertyValues::Switch(const std::string& element) const {
  CheckType(*this, INDI_SWITCH);
  const auto it = switches.find(element);
  if (it == switches.end()) RaiseMissing(*this, element);
  return it->second;
}

std::string PropertyValues::Where(const std::string& element) const {
  return "INDI device \"" + device + "\" " + name + "." + element;
}

double Checked(const PropertyValues& p, const std::string& element, Range range) {
  const double v = p.Number(element);
  if (!std::isfinite(v)) RaiseReading(p, element, "not a finite number");
  if (v < range.min || v > range.max || (range.open_max && v == range.max))
    RaiseReading(p, element,
                 "out of range [" + NumberText(range.min) + ", " + NumberText(range.max) +
                     (range.open_max ? ")" : "]"));
  return v;
}

double CheckedRate(const PropertyValues& p, const std::string& element) {
  const NumberElement& e = p.Element(element);
  if (!std::isfinite(e.value)) RaiseReading(p, element, "not a finite number");
  if (e.value == 0) return 0;
  if (e.value < 0) RaiseReading(p, element, "not above zero");
  if (e.HasRange() && (e.value < e.min || e.value > e.max))
    RaiseReading(
        p, element,
        "out of the declared range [" + NumberText(e.min) + ", " + NumberText(e.max) + "]");
  return e.value;
}

void CheckNotAlert(const PropertyValues& p) {
  if (p.state == IPS_ALERT)
    throw Error(errors::kBadReading, "INDI device \"" + p.device + "\" " + p.name + " is in Alert");
}

}  // namespace orvan::indi
