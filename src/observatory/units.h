#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "support/units.h"

// Rates and directions as every part of the program counts them, over the
// times and angles of support/units.h. The correction cycle's own constants (ArcsecPerHourFactor
// and the like, tracking/tracker_state.h) stay with it: they are the decimal figures the cycle has
// always used, not the exact ratios here.
namespace orvan {

// The sidereal rate: how fast the sky turns, 15.041" per second.
inline constexpr double kSiderealDegPerSecond = kSiderealRatio * kDegreesPerHour / kSecondsPerHour;
inline constexpr double kSiderealArcsecPerSecond = kSiderealDegPerSecond * kArcsecPerDegree;

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
