#pragma once

#include <cstdint>
#include <string_view>

#include "observatory/automation.h"
#include "observatory/units.h"

// The typed binding to ACP's telescope and utility objects: the one place that
// knows member names, argument orders, by-reference passing, value kinds and
// which truth rule each answer follows.
namespace orvan::acp {

inline constexpr std::string_view kUtilProgId = "ACP.Util";
inline constexpr std::string_view kTelescopeProgId = "ACP.Telescope";

// Creates the object and wraps it as an automation value holding a reference.
Value Create(AutomationFactory& factory, std::string_view prog_id);

class Telescope {
 public:
  // Raises "Object required" unless `object` holds an object reference.
  // Text answers convert with `decimal`, the user's decimal separator.
  Telescope(const Value& object, char decimal);

  void SetConnected(bool connected);
  bool Connected();
  std::int16_t InterfaceVersion();
  bool CanPulseGuide();
  bool CanSetGuideRates();
  // Compared with 0 as answered, not converted to a float first.
  bool GuideRateRightAscensionIsZero();
  bool GuideRateDeclinationIsZero();
  double GuideRateRightAscension();  // degrees per second
  double GuideRateDeclination();     // degrees per second
  void SetGuideRateRightAscension(double degrees_per_second);
  void SetGuideRateDeclination(double degrees_per_second);
  double RightAscension();  // hours
  double Declination();     // degrees
  bool Slewing();
  bool Tracking();
  bool IsPulseGuiding();
  // Starts a pulse; the duration travels by reference, the result is ignored.
  void PulseGuide(GuideDirection direction, double& duration_ms);

 private:
  AutomationObject& object_;
  char decimal_;
};

class Util {
 public:
  explicit Util(const Value& object);

  // Where the mount must point, by the pointing model, to be on (ra, dec):
  // all four by reference, the results written into ra_out and dec_out.
  void MapIdealToRawEqu(double& ra, double& dec, double& ra_out, double& dec_out);

 private:
  AutomationObject& object_;
};

}  // namespace orvan::acp
