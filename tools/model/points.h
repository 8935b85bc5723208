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
  // The CSV's site and air; TPOINT files carry their own on the run line,
  // INDI databases their own site (the air here).
  std::optional<double> latitude_deg;
  double pressure_hpa = 0;  // 0: no refraction
  double temperature_c = kDefaultTemperatureC;
  double relative_humidity = 0;  // 0..1
  double height_m = 0;           // above sea level
  // False: the mount's controller corrects refraction itself, so the fit
  // takes none, whatever air the files or the options give.
  bool refraction = true;
};

// The settings of ReadOptions, each of which a file may leave unused.
enum class ReadSetting { Longitude, Latitude, Pressure, Temperature, Humidity, Height, Refraction };

// A setting a file did not take: `what` says so, naming the file ("does not
// apply to FILE: a TPOINT observation file carries its own site and air on
// its run line").
struct UnusedSetting {
  ReadSetting setting;
  std::string what;
};

// The points in `path`, its format told from its content. With `unused`,
// the settings the file has no use for or gives itself are added to it.
std::vector<Point> ReadPoints(const std::string& path, const ReadOptions& options,
                              std::vector<UnusedSetting>* unused = nullptr);

}  // namespace orvan::model
