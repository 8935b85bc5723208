#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvan {

// Every failure the program does not handle itself travels as one of these,
// up to the run-time error report: the number is an automation error number
// (an HRESULT), the description is what the reporter said.
class Error : public std::runtime_error {
 public:
  Error(std::uint32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  std::uint32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  std::uint32_t number_;
  std::string description_;
};

// "0x" and eight upper-case hex digits, as transcripts and reports write numbers.
std::string HexNumber(std::uint32_t number);

// Every error number the program raises or names, with its text, in one
// table (error.cpp). The automation and system numbers carry the texts the
// platform gives them; the observatory program's own numbers lie in the range
// the telescope standard leaves to drivers, and their texts are the kind of
// failure; a raiser that knows more says what failed instead.
namespace errors {
// The automation runtime and the system.
inline constexpr std::uint32_t kUnspecified = 0x80004005;  // a failure of no known kind
inline constexpr std::uint32_t kOutOfMemory = 0x8007000E;
inline constexpr std::uint32_t kMemberNotFound = 0x80020003;
inline constexpr std::uint32_t kTypeMismatch = 0x80020005;  // text or answer is not a number
inline constexpr std::uint32_t kUnknownName = 0x80020006;   // no such member
inline constexpr std::uint32_t kOverflow = 0x8002000A;      // out of range; also invalid operations
inline constexpr std::uint32_t kBadParamCount = 0x8002000E;
inline constexpr std::uint32_t kDivisionByZero = 0x80020012;  // x / 0 with x non-zero
inline constexpr std::uint32_t kClassNotRegistered = 0x80040154;
inline constexpr std::uint32_t kInvalidClassString = 0x800401F3;
inline constexpr std::uint32_t kInvalidPropertyValue = 0x800A017C;
inline constexpr std::uint32_t kObjectRequired = 0x800A01A8;  // a member used on a non-object
inline constexpr std::uint32_t kNotSupported = 0x800A01B6;    // a property a control does not have
// The telescope standard's "invalid value".
inline constexpr std::uint32_t kInvalidValue = 0x80040401;
// The observatory program and its mounts.
inline constexpr std::uint32_t kUnreachable = 0x80040500;      // no server at HOST:PORT
inline constexpr std::uint32_t kDeviceNotFound = 0x80040501;   // no such device there
inline constexpr std::uint32_t kPropertyMissing = 0x80040502;  // the device lacks a property
inline constexpr std::uint32_t kNoAnswer = 0x80040503;         // nothing within the answer limit
inline constexpr std::uint32_t kConnectionLost = 0x80040504;   // the server went away
inline constexpr std::uint32_t kRefused = 0x80040505;          // the device answered Alert
inline constexpr std::uint32_t kBadReading = 0x80040506;       // a value the program cannot act on
inline constexpr std::uint32_t kPulseTooLong = 0x80040507;     // beyond what the mount takes
inline constexpr std::uint32_t kDriverRestarted = 0x80040508;  // the device's driver came back
inline constexpr std::uint32_t kNoInverse = 0x80040509;  // the pointing model cannot be inverted
inline constexpr std::uint32_t kModelFileError = 0x80040510;  // a pointing-model file

// The table's text for `number`; "" for a number it does not hold.
std::string_view TextOf(std::uint32_t number);
// An error with the table's text.
Error ErrorOf(std::uint32_t number);

[[noreturn]] void TypeMismatch();
[[noreturn]] void Overflow();
[[noreturn]] void DivisionByZero();
[[noreturn]] void InvalidOperation();
}  // namespace errors

}  // namespace orvan
