#pragma once

#include <cmath>

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

// What a weather station's reading may be: beyond these its sensor is broken
// or misread. Narrower than the command line's, where 0 hPa switches
// refraction off.
inline constexpr Bounds kMeasuredTemperatureBoundsC{-60, 60};
inline constexpr Bounds kMeasuredPressureBoundsHpa{500, 1100};

inline constexpr double kDefaultTemperatureC = 10;
inline constexpr double kPercent = 100;

// A relative humidity (0..1) in percent as the program shows it: to a
// millionth of a percent, far below any sensor's, so that 0.29 shows as 29.
inline double HumidityPercent(double relative) {
  constexpr double kShown = 1e6;
  return std::round(relative * kPercent * kShown) / kShown;
}

}  // namespace orvan
