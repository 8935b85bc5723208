#pragma once

// What the INDI back end keeps of a device's property, and the checks a
// value passes before the program acts on it.

#include <libindi/indiapi.h>
#include <libindi/indibasetypes.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace orvan::indi {

// One number element as the device last defined and reported it. A range
// whose minimum is not below its maximum is no range (the protocol's rule).
struct NumberElement {
  double value = 0;
  double min = 0;
  double max = 0;
  std::string format;

  bool HasRange() const { return min < max; }
};

// The last values of one property of the device.
struct PropertyValues {
  std::string device;
  std::string name;
  INDI_PROPERTY_TYPE type = INDI_UNKNOWN;
  IPState state = IPS_IDLE;
  std::map<std::string, NumberElement> numbers;
  std::map<std::string, bool> switches;
  std::map<std::string, std::string> labels;  // of the switches, as defined
  std::uint64_t updates = 0;                  // how many new values have come since it was defined
  // When the last values came, by the link's clock (IndiOptions::now).
  std::chrono::steady_clock::time_point received;

  // The element, or a raise naming what is missing (kBadReading).
  const NumberElement& Element(const std::string& element) const;
  double Number(const std::string& element) const { return Element(element).value; }
  bool Switch(const std::string& element) const;

  // `INDI device "X" PROPERTY.ELEMENT`, as messages name an element.
  std::string Where(const std::string& element) const;
};

const char* StateName(IPState state);
// A number as messages show it: up to ten significant digits.
std::string NumberText(double value);

// An interval of accepted readings; `open_max` leaves the maximum out.
struct Range {
  double min;
  double max;
  bool open_max = false;
};

// The element's value if it is finite and within `range`; otherwise raises
// kBadReading naming the property, the element and the value.
double Checked(const PropertyValues& p, const std::string& element, Range range);
// A guide rate: exactly 0 passes (the program repairs a zero rate by writing
// its default), anything else must be above zero and within the element's
// declared range.
double CheckedRate(const PropertyValues& p, const std::string& element);
// Raises kBadReading when the property is in Alert.
void CheckNotAlert(const PropertyValues& p);

}  // namespace orvan::indi
