#pragma once

#include <cmath>

// Times and angles as every layer counts them, the pointing model's as much
// as the observatory's: exact ratios, with the one wrap of hours.
namespace orvan {

inline constexpr double kMillisecondsPerSecond = 1000.0;
inline constexpr double kSecondsPerHour = 3600.0;
inline constexpr double kSecondsPerDay = 86400.0;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kDegreesPerTurn = 360.0;
inline constexpr double kHalfTurnDeg = 180.0;
inline constexpr double kPoleDeg = 90.0;
inline constexpr double kRadiansPerDegree = kPi / kHalfTurnDeg;
inline constexpr double kDegreesPerRadian = kHalfTurnDeg / kPi;
// One hour of right ascension or hour angle is 15 degrees; 24 make a turn.
inline constexpr double kDegreesPerHour = 15.0;
inline constexpr double kHoursPerTurn = 24.0;
inline constexpr double kHalfTurnHours = 12.0;
inline constexpr double kRadiansPerHour = kPi / kHalfTurnHours;
inline constexpr double kArcsecPerDegree = 3600.0;
inline constexpr double kArcsecPerHour = kDegreesPerHour * kArcsecPerDegree;  // 54000
// Sidereal seconds per second of universal time.
inline constexpr double kSiderealRatio = 1.00273790935;

// Hours (right ascension, hour angle, sidereal time) wrapped into [0, 24),
// and into (-12, 12] (a difference of two of them, the short way round).
inline double Wrap24(double hours) {
  double r = std::fmod(hours, kHoursPerTurn);
  if (r < 0) r += kHoursPerTurn;
  return r >= kHoursPerTurn ? 0.0 : r;
}
inline double Wrap12(double hours) {
  const double r = Wrap24(hours);
  return r > kHalfTurnHours ? r - kHoursPerTurn : r;
}

}  // namespace orvan
