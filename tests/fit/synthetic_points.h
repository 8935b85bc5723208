#pragma once

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "model/points.h"

// Points made by the forward model with known terms, written out here from
// TPOINT's formulas for the seven basic terms (TPOINT manual, "The pointing
// terms"; docs/pointing-model.md), independently of the term table the fit
// reads.
namespace orvan::model::synthetic {

struct Known {
  double ih = 0, id = 0, ch = 0, np = 0, ma = 0, me = 0, tf = 0;
};

inline constexpr double kRad = std::numbers::pi / 180;

// The mount's reading for an observed position: on the side through the
// pole the axes read hour angle 12 h on and declination mirrored in the pole,
// and the terms act there.
inline Point MakePoint(const Known& k, double ha_h, double dec_deg, double lat_deg,
                       bool through_pole, int line) {
  double h = ha_h, d = dec_deg;
  if (through_pole) {
    h += 12;
    d = (dec_deg >= 0 ? 180 : -180) - dec_deg;
  }
  const double hr = h * 15 * kRad, dr = d * kRad, lat = lat_deg * kRad;
  const double sec = 1 / std::cos(dr), tan = std::tan(dr);
  const double dh = k.ih + k.ch * sec + k.np * tan - k.ma * std::cos(hr) * tan +
                    k.me * std::sin(hr) * tan + k.tf * std::cos(lat) * std::sin(hr) * sec;
  const double dd =
      k.id + k.ma * std::sin(hr) + k.me * std::cos(hr) +
      k.tf * (std::cos(lat) * std::cos(hr) * std::sin(dr) - std::sin(lat) * std::cos(dr));
  Point p;
  p.source = "synthetic";
  p.line = line;
  p.observed = {ha_h, dec_deg};
  p.mechanical = {h + dh / 54000, d + dd / 3600};
  p.latitude_deg = lat_deg;
  p.through_pole = through_pole;
  return p;
}

// A grid over the sky a night's plate solving covers: hour angles -5 h to
// +5 h, declinations from 30° below the equator to 80° on the pole's side of
// the site; east of the meridian (h < 0) the German mount is through the
// pole, when `both_sides`.
inline std::vector<Point> SkyGrid(const Known& k, double lat_deg, bool both_sides) {
  std::vector<Point> points;
  const double pole_side = lat_deg >= 0 ? 1 : -1;
  int line = 1;
  for (double ha = -5; ha <= 5; ha += 0.75)
    for (double dec = -30; dec <= 80; dec += 10)
      points.push_back(MakePoint(k, ha, dec * pole_side, lat_deg, both_sides && ha < 0, line++));
  return points;
}

// Gaussian noise of `sigma` arc-seconds on the sky along each axis.
inline void AddNoise(std::vector<Point>& points, double sigma, std::mt19937& random) {
  std::normal_distribution<double> noise(0, sigma);
  for (Point& p : points) {
    p.mechanical.ha += noise(random) / std::cos(p.observed.dec * kRad) / 54000;
    p.mechanical.dec += noise(random) / 3600;
  }
}

}  // namespace orvan::model::synthetic
