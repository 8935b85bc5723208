#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pointing/fit_point.h"
#include "points/text_fields.h"
#include "support/air.h"

// Pointing-model data as users already have it, read into points for a fit:
// TPOINT observation files, INDI alignment databases and the program's own
// point CSV (docs/point-formats.md).
namespace orvan::model {

using pointing::HaDec;
using Point = pointing::FitPoint;
using points::PointError;

struct ReadOptions {
  // East positive. TPOINT files: each observation's UT from its sidereal
  // time. CSV files: the site's longitude (required there).
  std::optional<double> longitude_deg;
  // The CSV's site and air (TPOINT files and INDI databases carry their own).
  std::optional<double> latitude_deg;
  double pressure_hpa = 0;  // 0: no refraction
  double temperature_c = kDefaultTemperatureC;
  double relative_humidity = 0;  // 0..1
};

// The points in `path`, its format told from its content.
std::vector<Point> ReadPoints(const std::string& path, const ReadOptions& options);

}  // namespace orvan::model
