#include "observatory/acp.h"

#include <array>
#include <cmath>

#include "support/error.h"

namespace orvan::acp {
namespace {

AutomationObject& Require(const Value& object) {
  if (!object.IsObject()) throw errors::ErrorOf(errors::kObjectRequired);
  return *object.object();
}

}  // namespace

Value Create(AutomationFactory& factory, std::string_view prog_id) {
  return Value::Object(factory.Create(prog_id));
}

Telescope::Telescope(const Value& object, char decimal)
    : object_(Require(object)), decimal_(decimal) {}

void Telescope::SetConnected(bool connected) {
  object_.Put("Connected", Value::Bool(connected));
}
bool Telescope::Connected() {
  return object_.Get("Connected").IsStrictTrue(decimal_);
}
std::int16_t Telescope::InterfaceVersion() {
  return object_.Get("InterfaceVersion").ToI2(decimal_);
}
bool Telescope::CanPulseGuide() {
  return object_.Get("CanPulseGuide").IsStrictTrue(decimal_);
}
bool Telescope::CanSetGuideRates() {
  return object_.Get("CanSetGuideRates").IsNonZero(decimal_);
}

bool Telescope::GuideRateRightAscensionIsZero() {
  return object_.Get("GuideRateRightAscension").EqualsZero(decimal_);
}
bool Telescope::GuideRateDeclinationIsZero() {
  return object_.Get("GuideRateDeclination").EqualsZero(decimal_);
}
double Telescope::GuideRateRightAscension() {
  return object_.Get("GuideRateRightAscension").ToR8(decimal_);
}
double Telescope::GuideRateDeclination() {
  return object_.Get("GuideRateDeclination").ToR8(decimal_);
}

void Telescope::SetGuideRateRightAscension(double degrees_per_second) {
  object_.Put("GuideRateRightAscension", Value::R8(degrees_per_second));
}
void Telescope::SetGuideRateDeclination(double degrees_per_second) {
  object_.Put("GuideRateDeclination", Value::R8(degrees_per_second));
}

double Telescope::RightAscension() {
  return object_.Get("RightAscension").ToR8(decimal_);
}
double Telescope::Declination() {
  return object_.Get("Declination").ToR8(decimal_);
}
bool Telescope::Slewing() {
  return object_.Get("slewing").IsNonZero(decimal_);
}
bool Telescope::Tracking() {
  return object_.Get("tracking").IsStrictTrue(decimal_);
}
bool Telescope::IsPulseGuiding() {
  return object_.Get("IsPulseGuiding").IsNonZero(decimal_);
}

void Telescope::PulseGuide(GuideDirection direction, double& duration_ms) {
  std::array<Argument, 2> args{Argument::ByValue(Value::I2(static_cast<std::int16_t>(direction))),
                               Argument::ByRef(duration_ms)};
  object_.Call("PulseGuide", args);
}

Util::Util(const Value& object) : object_(Require(object)) {}

void Util::MapIdealToRawEqu(double& ra, double& dec, double& ra_out, double& dec_out) {
  std::array<Argument, 4> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(ra_out),
                               Argument::ByRef(dec_out)};
  object_.Call("MapIdealToRawEqu", args);
  // The outputs are answers like any other: a NaN or an infinity does not
  // convert, so no pulse is ever computed from one.
  for (double v : {ra, dec, ra_out, dec_out})
    if (!std::isfinite(v)) errors::TypeMismatch();
}

}  // namespace orvan::acp
