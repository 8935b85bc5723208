#include "support/checked.h"

#include <cmath>

#include "support/error.h"

namespace orvan::checked {
namespace {

bool Finite(double a, double b) {
  return std::isfinite(a) && std::isfinite(b);
}

// A NaN result from non-NaN operands is IEEE's invalid operation; a quiet NaN
// operand propagates without a signal.
double Check(double a, double b, double r) {
  if (std::isnan(r) && !std::isnan(a) && !std::isnan(b)) errors::InvalidOperation();
  if (std::isinf(r) && Finite(a, b)) errors::Overflow();
  return r;
}

}  // namespace

double Sub(double a, double b) {
  return Check(a, b, a - b);
}

double Mul(double a, double b) {
  return Check(a, b, a * b);
}

double Div(double a, double b) {
  if (b == 0 && !std::isnan(a)) {
    if (a == 0) errors::InvalidOperation();
    if (std::isfinite(a)) errors::DivisionByZero();
  }
  return Check(a, b, a / b);
}

// Neither step can signal for a quiet NaN or an infinity.
double Abs(double a) {
  return std::fabs(a);
}

double Floor(double a) {
  return std::floor(a);
}

}  // namespace orvan::checked
