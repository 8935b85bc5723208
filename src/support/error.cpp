#include "support/error.h"

#include <array>
#include <cstdio>
#include <utility>

namespace orvan {

std::string HexNumber(std::uint32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(number));
  return buf;
}

namespace errors {
namespace {

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 25> kTexts{{
    {kUnspecified, "Unspecified error"},
    {kOutOfMemory, "Out of memory"},
    {kMemberNotFound, "Member not found"},
    {kTypeMismatch, "Type mismatch"},
    {kUnknownName, "Unknown name"},
    {kOverflow, "Overflow"},
    {kBadParamCount, "Invalid number of parameters"},
    {kDivisionByZero, "Division by zero"},
    {kClassNotRegistered, "Class not registered"},
    {kInvalidClassString, "Invalid class string"},
    {kInvalidPropertyValue, "Invalid property value"},
    {kObjectRequired, "Object required"},
    {kNotSupported, "Object doesn't support this property or method"},
    {kInvalidValue, "Invalid value"},
    {kUnreachable, "Server unreachable"},
    {kDeviceNotFound, "Device not found"},
    {kPropertyMissing, "Property missing"},
    {kNoAnswer, "No answer in time"},
    {kConnectionLost, "Connection lost"},
    {kRefused, "Refused by the device"},
    {kBadReading, "Reading out of range"},
    {kPulseTooLong, "Pulse too long for the mount"},
    {kDriverRestarted, "Device driver restarted"},
    {kNoInverse, "Pointing model has no inverse there"},
    {kModelFileError, "Pointing model file error"},
}};

}  // namespace

std::string_view TextOf(std::uint32_t number) {
  for (const auto& [n, text] : kTexts)
    if (n == number) return text;
  return {};
}

Error ErrorOf(std::uint32_t number) {
  return Error(number, std::string(TextOf(number)));
}

void TypeMismatch() {
  throw ErrorOf(kTypeMismatch);
}
void Overflow() {
  throw ErrorOf(kOverflow);
}
void DivisionByZero() {
  throw ErrorOf(kDivisionByZero);
}
// An invalid operation (0/0, infinity minus infinity, zero times infinity) shares the
// overflow number, as the classic automation runtime reports 0/0, with its own text.
void InvalidOperation() {
  throw Error(kOverflow, "Invalid floating-point operation");
}

}  // namespace errors
}  // namespace orvan
