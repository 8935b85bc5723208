#include "observatory/value.h"

#include <cmath>

#include "support/ascii.h"
#include "support/error.h"
#include "support/numtext.h"

namespace orvan {
namespace {

// Round half to even without depending on the floating-point rounding mode.
double RoundHalfEven(double d) {
  const double f = std::floor(d);
  const double diff = d - f;
  if (diff > 0.5) return f + 1;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

}  // namespace

std::int64_t Value::integer() const {
  if (auto* p = std::get_if<std::int64_t>(&payload_)) return *p;
  if (auto* u = std::get_if<std::uint64_t>(&payload_)) return static_cast<std::int64_t>(*u);
  return 0;
}

std::uint64_t Value::unsigned_integer() const {
  if (auto* u = std::get_if<std::uint64_t>(&payload_)) return *u;
  return static_cast<std::uint64_t>(integer());
}

double Value::real() const {
  if (auto* p = std::get_if<double>(&payload_)) return *p;
  return 0;
}

const std::string& Value::text() const {
  static const std::string kEmpty;
  if (auto* p = std::get_if<std::string>(&payload_)) return *p;
  return kEmpty;
}

const std::shared_ptr<AutomationObject>& Value::object() const {
  static const std::shared_ptr<AutomationObject> kNothing;
  if (auto* p = std::get_if<std::shared_ptr<AutomationObject>>(&payload_)) return *p;
  return kNothing;
}

bool Value::Numeric(double& out, char decimal) const {
  switch (kind_) {
    case Kind::Empty:
      out = 0;
      return true;
    case Kind::Bool:
    case Kind::I1:
    case Kind::I2:
    case Kind::I4:
    case Kind::I8:
    case Kind::UI1:
    case Kind::UI2:
    case Kind::UI4:
      out = static_cast<double>(integer());
      return true;
    case Kind::UI8:
      out = static_cast<double>(unsigned_integer());
      return true;
    case Kind::Currency:
      out = static_cast<double>(integer()) / 10000.0;
      return true;
    case Kind::R4:
    case Kind::R8:
    case Kind::Date:
      out = real();
      return true;
    case Kind::Str:
      if (AsciiLower(text()) == "true") {
        out = -1;
        return true;
      }
      if (AsciiLower(text()) == "false") {
        out = 0;
        return true;
      }
      try {
        out = TextToNumber(text(), decimal);
        return true;
      } catch (const Error&) {
        return false;
      }
    case Kind::Null:
    case Kind::Object:
    case Kind::Error:
      return false;
  }
  return false;
}

double Value::ToR8(char decimal) const {
  if (kind_ == Kind::Str) return TextToNumber(text(), decimal);  // raises its own errors
  double d = 0;
  if (!Numeric(d, decimal) || !std::isfinite(d)) errors::TypeMismatch();
  return d;
}

std::int16_t Value::ToI2(char decimal) const {
  const double r = RoundHalfEven(ToR8(decimal));
  if (r < -32768.0 || r > 32767.0) errors::Overflow();
  return static_cast<std::int16_t>(r);
}

bool Value::IsStrictTrue(char decimal) const {
  if (kind_ == Kind::Null) return true;
  double d = 0;
  return Numeric(d, decimal) && d == -1;
}

bool Value::IsNonZero(char decimal) const {
  if (kind_ == Kind::Null) return false;
  return !EqualsZero(decimal);
}

bool Value::EqualsZero(char decimal) const {
  double d = 0;
  return Numeric(d, decimal) && d == 0;
}

std::string Value::ToString() const {
  switch (kind_) {
    case Kind::Empty:
      return "empty";
    case Kind::Null:
      return "null";
    case Kind::Bool:
      if (integer() == -1) return "bool:true";
      if (integer() == 0) return "bool:false";
      return "bool:" + std::to_string(integer());
    case Kind::I1:
      return "i1:" + std::to_string(integer());
    case Kind::I2:
      return "i2:" + std::to_string(integer());
    case Kind::I4:
      return "i4:" + std::to_string(integer());
    case Kind::I8:
      return "i8:" + std::to_string(integer());
    case Kind::UI1:
      return "ui1:" + std::to_string(integer());
    case Kind::UI2:
      return "ui2:" + std::to_string(integer());
    case Kind::UI4:
      return "ui4:" + std::to_string(integer());
    case Kind::UI8:
      return "ui8:" + std::to_string(unsigned_integer());
    case Kind::R4:
      return "r4:" + ShortestText(real());
    case Kind::R8:
      return "r8:" + ShortestText(real());
    case Kind::Date:
      return "date:" + ShortestText(real());
    case Kind::Currency:
      return "cy:" + ShortestText(static_cast<double>(integer()) / 10000.0);
    case Kind::Str:
      return "str:" + Quote(text());
    case Kind::Object:
      return IsObject() ? "object" : "nothing";
    case Kind::Error:
      return "error:" + HexNumber(static_cast<std::uint32_t>(integer()));
  }
  return "?";
}

bool operator==(const Value& a, const Value& b) {
  return a.kind_ == b.kind_ && a.payload_ == b.payload_;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace orvan
