#pragma once

#include <optional>
#include <string>

#include "support/pier_side.h"
#include "support/utc_text.h"

// One point as the program's point CSV keeps it (docs/point-formats.md#the-point-csv):
// where a star truly was and where the mount said it pointed, at a moment.
namespace orvan::points {

using orvan::PierSide;

// The air the point was seen through, where it was measured.
struct PointAir {
  std::optional<double> temperature_c;
  std::optional<double> pressure_hpa;
  std::optional<double> humidity_percent;
};

struct PointRecord {
  UtcFields utc{};
  // The star's catalogue place, J2000: hours and degrees.
  double sky_ra_hours = 0;
  double sky_dec_deg = 0;
  // The mount's reported place, apparent of date: hours and degrees.
  double mount_ra_hours = 0;
  double mount_dec_deg = 0;
  PierSide pier_side = PierSide::Unknown;
  PointAir air;
  int line = 0;  // 1-based line it was read from; 0 for one not read
};

}  // namespace orvan::points
