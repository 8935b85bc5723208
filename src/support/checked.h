#pragma once

// 8-byte float arithmetic that raises an automation error where IEEE 754 would
// signal division by zero, overflow or an invalid operation. The checks look at
// operands and result, so they hold however the compiler schedules the step.
namespace orvan::checked {

double Sub(double a, double b);
double Mul(double a, double b);
double Div(double a, double b);
double Abs(double a);
double Floor(double a);

}  // namespace orvan::checked
