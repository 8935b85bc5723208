#include "support/error.h"

#include <cstdio>

namespace orvan {

std::string HexNumber(std::uint32_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(number));
  return buf;
}

namespace errors {

void TypeMismatch() {
  throw Error(kTypeMismatch, "Type mismatch");
}
void Overflow() {
  throw Error(kOverflow, "Overflow");
}
void DivisionByZero() {
  throw Error(kDivisionByZero, "Division by zero");
}
// An invalid operation (0/0, infinity minus infinity, zero times infinity) shares the
// overflow number, as the classic automation runtime reports 0/0, with its own text.
void InvalidOperation() {
  throw Error(kOverflow, "Invalid floating-point operation");
}

}  // namespace errors
}  // namespace orvan
