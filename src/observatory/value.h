#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace orvan {

class AutomationObject;

// An automation value: what an observatory object answers, what the program
// writes to it, and what it keeps its objects in. The kinds are the ones an
// automation server can hand back; conversions follow the automation rules.
class Value {
 public:
  enum class Kind {
    Empty,
    Null,
    Bool,
    I2,
    I4,
    R4,
    R8,
    Currency,
    Date,
    Str,
    Object,
    Error,
    I1,
    UI1,
    UI2,
    UI4,
    I8,
    UI8
  };

  Value() = default;
  static Value Null() { return Value(Kind::Null); }
  static Value Bool(std::int16_t bits) { return Value(Kind::Bool, std::int64_t{bits}); }
  static Value Bool(bool b) { return Bool(static_cast<std::int16_t>(b ? -1 : 0)); }
  static Value I2(std::int16_t v) { return Value(Kind::I2, std::int64_t{v}); }
  static Value I4(std::int32_t v) { return Value(Kind::I4, std::int64_t{v}); }
  static Value I1(std::int8_t v) { return Value(Kind::I1, std::int64_t{v}); }
  static Value UI1(std::uint8_t v) { return Value(Kind::UI1, std::int64_t{v}); }
  static Value UI2(std::uint16_t v) { return Value(Kind::UI2, std::int64_t{v}); }
  static Value UI4(std::uint32_t v) { return Value(Kind::UI4, std::int64_t{v}); }
  static Value I8(std::int64_t v) { return Value(Kind::I8, v); }
  static Value UI8(std::uint64_t v) { return Value(Kind::UI8, v); }
  static Value R4(float v) { return Value(Kind::R4, double{v}); }
  static Value R8(double v) { return Value(Kind::R8, v); }
  // Currency: a 64-bit integer in units of 1/10000.
  static Value Currency(std::int64_t scaled) { return Value(Kind::Currency, scaled); }
  // Date: days since 30 December 1899.
  static Value Date(double days) { return Value(Kind::Date, days); }
  static Value Str(std::string utf8) { return Value(Kind::Str, std::move(utf8)); }
  static Value Object(std::shared_ptr<AutomationObject> object) {
    return Value(Kind::Object, std::move(object));
  }
  // An error code carried as a value (what an omitted optional argument is).
  static Value ErrorCode(std::uint32_t scode) { return Value(Kind::Error, std::int64_t{scode}); }

  Kind kind() const { return kind_; }
  bool IsObject() const { return kind_ == Kind::Object && object() != nullptr; }

  // Raw contents, for back ends that pass values on unchanged.
  std::int64_t integer() const;  // Bool bits, integer kinds, Currency scaled, Error scode
  std::uint64_t unsigned_integer() const;
  double real() const;  // R4, R8, Date
  const std::string& text() const;
  const std::shared_ptr<AutomationObject>& object() const;

  // Conversions, raising what the automation runtime raises. A text converts
  // with `decimal` as its decimal separator (the user's, on the program's side).
  double ToR8(char decimal = '.') const;        // NaN and infinities do not convert: Type mismatch
  std::int16_t ToI2(char decimal = '.') const;  // rounds half to even; out of range: Overflow
  // Truth rules. Strict: only -1 is true (null counts as true).
  // Lenient: any non-zero is true (null counts as false).
  bool IsStrictTrue(char decimal = '.') const;
  bool IsNonZero(char decimal = '.') const;
  // Equality with the integer 0 on the value as it was returned (null is not 0,
  // a text that is not a number is not 0).
  bool EqualsZero(char decimal = '.') const;

  // Scenario and transcript form: empty, null, bool:true, i2:3, r8:0.5, str:"x", ...
  std::string ToString() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  using Payload = std::variant<std::monostate, std::int64_t, std::uint64_t, double, std::string,
                               std::shared_ptr<AutomationObject>>;
  explicit Value(Kind kind, Payload payload = {}) : kind_(kind), payload_(std::move(payload)) {}

  // The value as a number where the automation rules give it one; false for
  // null, objects, error codes and text that is not a number ("True" and
  // "False" are -1 and 0). Text converts with the user's separator.
  bool Numeric(double& out, char decimal) const;

  Kind kind_ = Kind::Empty;
  Payload payload_;
};

// Writes a string the way transcripts quote it: "a \"b\" \\c".
std::string Quote(std::string_view text);

}  // namespace orvan
