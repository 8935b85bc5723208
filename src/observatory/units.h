#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

// Times, angles, rates and directions as every part of the program counts
// them. The correction cycle's own constants (ArcsecPerHourFactor and the
// like, tracking/tracker_state.h) stay with it: they are the decimal figures
// the cycle has always used, not the exact ratios here.
namespace orvan {

inline constexpr double kMillisecondsPerSecond = 1000.0;
inline constexpr double kSecondsPerHour = 3600.0;
inline constexpr double kSecondsPerDay = 86400.0;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kDegreesPerTurn = 360.0;
// One hour of right ascension or hour angle is 15 degrees; 24 make a turn.
inline constexpr double kDegreesPerHour = 15.0;
inline constexpr double kHoursPerTurn = 24.0;
inline constexpr double kArcsecPerDegree = 3600.0;
inline constexpr double kArcsecPerHour = kDegreesPerHour * kArcsecPerDegree;  // 54000
// Sidereal seconds per second of universal time.
inline constexpr double kSiderealRatio = 1.00273790935;
// The sidereal rate: how fast the sky turns, 15.041" per second.
inline constexpr double kSiderealDegPerSecond = kSiderealRatio * kDegreesPerHour / kSecondsPerHour;
inline constexpr double kSiderealArcsecPerSecond = kSiderealDegPerSecond * kArcsecPerDegree;

// Hours (right ascension, hour angle, sidereal time) wrapped into [0, 24),
// and into (-12, 12] (a difference of two of them, the short way round).
inline double Wrap24(double hours) {
  double r = std::fmod(hours, kHoursPerTurn);
  if (r < 0) r += kHoursPerTurn;
  return r >= kHoursPerTurn ? 0.0 : r;
}
inline double Wrap12(double hours) {
  const double r = Wrap24(hours);
  return r > kHoursPerTurn / 2 ? r - kHoursPerTurn : r;
}

// 15 arc-seconds per second in degrees per second, as the telescope's guide
// rate is taken where it cannot be read: one unit in the last place above the
// double nearest to 0.0041666666666667.
inline constexpr double DefaultGuideRate = std::bit_cast<double>(std::uint64_t{0x3F71111111111138});

// Guide directions as the telescope interface standard numbers them.
enum class GuideDirection : std::int16_t { North = 0, South = 1, East = 2, West = 3 };

// The letter each direction is written as, by its number; '?' for a number
// that is none of them.
inline constexpr char kDirectionLetters[] = "NSEW";
constexpr char DirectionLetter(GuideDirection direction) {
  const auto n = static_cast<std::size_t>(direction);
  return n < sizeof kDirectionLetters - 1 ? kDirectionLetters[n] : '?';
}

}  // namespace orvan
