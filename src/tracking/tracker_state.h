#pragma once

#include <cstdint>

#include "observatory/units.h"
#include "observatory/value.h"

namespace orvan {

// A 16-bit boolean as the automation world stores it: true is all bits set.
class Bool16 {
 public:
  constexpr Bool16() = default;
  constexpr Bool16(bool b) : bits_(b ? -1 : 0) {}  // NOLINT(google-explicit-constructor)
  constexpr explicit operator bool() const { return bits_ != 0; }
  constexpr std::int16_t bits() const { return bits_; }

 private:
  std::int16_t bits_ = 0;
};

// Size of one arc-second in hours of right ascension, and in degrees. Neither is
// the exact fraction: both are the doubles nearest to these literals.
inline constexpr double ArcsecPerHourFactor = 0.00001851851851852;
inline constexpr double ArcsecPerDegreeFactor = 0.00027777777777778;

// The main window's run-time variables, in their declared order.
struct TrackerState {
  Bool16 TrackingActive;
  Value AcpUtil;
  Value AcpTelescope;
  double CurrentScopeRA = 0;   // hours
  double CurrentScopeDec = 0;  // degrees
  double TargetScopeRA = 0;
  double TargetScopeDec = 0;
  double CurrentTrueRA = 0;
  double CurrentTrueDec = 0;
  double TargetTrueRA = 0;
  double TargetTrueDec = 0;
  double ErrorRA = 0;           // hours
  double ErrorDec = 0;          // degrees
  double GuideRateRA = 0;       // degrees/s, then hours/s
  double GuideRateDec = 0;      // degrees/s
  double PulseDurationRA = 0;   // ms
  double PulseDurationDec = 0;  // ms
  double MaxErrorArcsec = 0;
  std::int16_t DriverInterfaceVersion = 0;
  Bool16 TargetStale;
};

}  // namespace orvan
