#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "pointing/sky.h"

// Pointing-model data as users already have it, read into points for a fit:
// TPOINT observation files, INDI alignment databases and the program's own
// point CSV (docs/point-formats.md).
namespace orvan::model {

using pointing::HaDec;

struct Point {
  std::string source;  // the file the point was read from
  int line = 0;        // 1-based line there (for messages and the reject report)
  // Where the star really is: apparent topocentric place of date, refracted
  // with the data's air.
  HaDec observed{};
  // The mount's own reading as hour angle and declination; |dec| > 90 on the
  // side through the pole.
  HaDec mechanical{};
  double latitude_deg = 0;
  bool through_pole = false;  // from |dec| > 90, or from the CSV's pier side
};

struct ReadOptions {
  // East positive. TPOINT files: each observation's UT from its sidereal
  // time. CSV files: the site's longitude (required there).
  std::optional<double> longitude_deg;
  // The CSV's site and air (TPOINT files and INDI databases carry their own).
  std::optional<double> latitude_deg;
  double pressure_hpa = 0;  // 0: no refraction
  double temperature_c = 10;
  double relative_humidity = 0;  // 0..1
};

// A file that cannot be read into points: what() is "FILE, line N: what is
// wrong" ("FILE: what is wrong" for the file as a whole).
class PointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The points in `path`, its format told from its content.
std::vector<Point> ReadPoints(const std::string& path, const ReadOptions& options);

}  // namespace orvan::model
