#pragma once

// The air at a telescope and the height it stands at, as the command lines
// and the point files may give them: what is plausible, and what is taken
// where nobody says.
namespace orvan {

struct Bounds {
  double lo;
  double hi;
  bool Holds(double value) const { return value >= lo && value <= hi; }
};

inline constexpr Bounds kPressureBoundsHpa{0, 1200};  // 0 switches refraction off
inline constexpr Bounds kTemperatureBoundsC{-80, 60};
inline constexpr Bounds kHumidityBoundsPercent{0, 100};
inline constexpr Bounds kHeightBoundsM{-1000, 10000};

inline constexpr double kDefaultTemperatureC = 10;
inline constexpr double kPercent = 100;

}  // namespace orvan
