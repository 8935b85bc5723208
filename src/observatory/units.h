#pragma once

#include <bit>
#include <cstdint>

// Angles, rates and directions as every part of the program counts them.
namespace orvan {

inline constexpr double kPi = 3.14159265358979323846;
// One hour of right ascension or hour angle is 15 degrees.
inline constexpr double kDegreesPerHour = 15.0;
inline constexpr double kArcsecPerDegree = 3600.0;
inline constexpr double kArcsecPerHour = kDegreesPerHour * kArcsecPerDegree;  // 54000
inline constexpr double kSecondsPerHour = 3600.0;
// Sidereal seconds per second of universal time.
inline constexpr double kSiderealRatio = 1.00273790935;
// The sidereal rate: how fast the sky turns, 15.041" per second.
inline constexpr double kSiderealDegPerSecond = kSiderealRatio * kDegreesPerHour / kSecondsPerHour;

// 15 arc-seconds per second in degrees per second, as the telescope's guide
// rate is taken where it cannot be read: one unit in the last place above the
// double nearest to 0.0041666666666667.
inline constexpr double DefaultGuideRate = std::bit_cast<double>(std::uint64_t{0x3F71111111111138});

// Guide directions as the telescope interface standard numbers them.
enum class GuideDirection : std::int16_t { North = 0, South = 1, East = 2, West = 3 };

}  // namespace orvan
