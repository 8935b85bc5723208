#pragma once

// Angle units the pointing model counts in, where ERFA has no constant of
// its own for them.
namespace orvan::pointing {

// One hour of right ascension or hour angle is 15 degrees.
inline constexpr double kDegreesPerHour = 15.0;
inline constexpr double kArcsecPerDegree = 3600.0;
inline constexpr double kArcsecPerHour = kDegreesPerHour * kArcsecPerDegree;  // 54000
inline constexpr double kHoursPerTurn = 24.0;
inline constexpr double kHalfTurnHours = 12.0;
inline constexpr double kHalfTurnDeg = 180.0;
inline constexpr double kPoleDeg = 90.0;

}  // namespace orvan::pointing
