#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

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

// Numbers the program raises itself.
namespace errors {
inline constexpr std::uint32_t kTypeMismatch = 0x80020005;  // text or answer is not a number
inline constexpr std::uint32_t kOverflow = 0x8002000A;      // out of range; also invalid operations
inline constexpr std::uint32_t kDivisionByZero = 0x80020012;  // x / 0 with x non-zero
inline constexpr std::uint32_t kUnknownName = 0x80020006;     // no such member
inline constexpr std::uint32_t kObjectRequired =
    0x800A01A8;  // a member used on something not an object
inline constexpr std::uint32_t kInvalidClassString = 0x800401F3;
inline constexpr std::uint32_t kNotSupported = 0x800A01B6;  // a property a control does not have
inline constexpr std::uint32_t kInvalidPropertyValue = 0x800A017C;
inline constexpr std::uint32_t kOutOfMemory = 0x8007000E;
inline constexpr std::uint32_t kUnspecified = 0x80004005;  // a failure of no known kind

[[noreturn]] void TypeMismatch();
[[noreturn]] void Overflow();
[[noreturn]] void DivisionByZero();
[[noreturn]] void InvalidOperation();
}  // namespace errors

}  // namespace orvan
