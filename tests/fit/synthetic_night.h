#pragma once

// A point CSV (docs/point-formats.md) of a night's plate solves on a mount
// with known terms: the stars seen through ERFA as the readers see them, the
// mount's readings from TPOINT's formulas (synthetic_points.h), one solve
// every three minutes from 2026-12-08 03:00 UTC. The terms are the README's
// mount (IH 95, ID -40, CH 25, NP 10, MA 48, ME 36, TF 6); points east of the
// meridian are through the pole.
#include <erfa.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "fit/synthetic_points.h"
#include "pointing/places.h"
#include "pointing/sides.h"
#include "points/point_csv.h"

namespace orvan::model::synthetic {

inline constexpr Known kReadmeMount{95, -40, 25, 10, 48, 36, 6};

// UTC as written, from a Julian date, to the millisecond (ERFA's rounding).
inline UtcFields UtcFieldsOf(pointing::Utc utc) {
  int ymd[3], hmsf[4];
  eraD2dtf("UTC", 3, utc.jd1, utc.jd2, &ymd[0], &ymd[1], &ymd[2], hmsf);
  return {ymd[0], ymd[1], ymd[2], hmsf[0], hmsf[1], hmsf[2], hmsf[3] * std::int64_t{1000000}};
}

inline std::string NightOfPoints(double lat, double lon, double noise_arcsec, unsigned seed,
                                 int count) {
  constexpr double kMinutesApart = 3;
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> ha(-5, 5), toward_pole(-25, 80);
  std::normal_distribution<double> error(0, noise_arcsec);
  const pointing::Site site{lat, lon, 0, kDefaultTemperatureC};
  pointing::Utc utc{};
  pointing::UtcOfDate(2026, 12, 8, 0.125, utc);
  std::string csv = points::PointCsvHeaderLine();
  for (int k = 0; k < count; ++k) {
    utc.jd2 += kMinutesApart / 1440;
    const double last = pointing::LocalApparentSiderealTime(utc, lon);
    const double h = ha(random), dec = toward_pole(random) * (lat >= 0 ? 1 : -1);
    const pointing::MeanPlace star{{std::fmod(last - h + 48, 24), dec}};
    const HaDec seen = pointing::Observed(ApparentPlace(star, utc), utc, last, site);
    const bool through_pole = h < 0;
    Point p = MakePoint(kReadmeMount, seen.ha, seen.dec, lat, through_pole, k + 2);
    p.mechanical.ha += error(random) / std::cos(seen.dec * kRad) / 54000;
    p.mechanical.dec += error(random) / 3600;
    // The CSV has the mount's reading as the sky position it points at.
    const HaDec pointed = pointing::InSideFrame(p.mechanical, through_pole);
    points::PointRecord r;
    r.utc = UtcFieldsOf(utc);
    r.sky_ra_hours = star.place.ra;
    r.sky_dec_deg = star.place.dec;
    r.mount_ra_hours = std::fmod(last - pointed.ha + 48, 24);
    r.mount_dec_deg = pointed.dec;
    r.pier_side = through_pole ? points::PierSide::West : points::PierSide::East;
    csv += points::PointCsvLine(r);
  }
  return csv;
}

}  // namespace orvan::model::synthetic
