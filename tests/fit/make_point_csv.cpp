// make_point_csv: a point CSV (docs/point-formats.md) of a night's plate
// solves on a mount with known terms, for the tool's tests and the README's
// picture. The stars are seen through ERFA as the readers see them; the
// mount's readings come from TPOINT's formulas (synthetic_points.h).
//
//   make_point_csv LATITUDE LONGITUDE NOISE_ARCSEC SEED POINTS > points.csv
//
// The terms are the README's mount (IH 95, ID -40, CH 25, NP 10, MA 48,
// ME 36, TF 6); points east of the meridian are through the pole.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <erfa.h>

#include <cstdint>

#include "pointing/places.h"
#include "pointing/sides.h"
#include "points/point_csv.h"
#include "synthetic_points.h"

namespace {

using namespace orvan;
using namespace orvan::pointing;
using model::Point;

constexpr model::synthetic::Known kMount{95, -40, 25, 10, 48, 36, 6};
constexpr double kMinutesApart = 3;

void Row(Utc utc, const MeanPlace& star, RaDec mount, bool through_pole) {
  constexpr int kDecimals = 3;
  int ymd[3], hmsf[4];
  eraD2dtf("UTC", kDecimals, utc.jd1, utc.jd2, &ymd[0], &ymd[1], &ymd[2], hmsf);
  points::PointRecord r;
  r.utc = {ymd[0], ymd[1], ymd[2], hmsf[0], hmsf[1], hmsf[2], hmsf[3] * std::int64_t{1000000}};
  r.sky_ra_hours = star.place.ra;
  r.sky_dec_deg = star.place.dec;
  r.mount_ra_hours = mount.ra;
  r.mount_dec_deg = mount.dec;
  r.pier_side = through_pole ? points::PierSide::West : points::PierSide::East;
  std::fputs(points::PointCsvLine(r).c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: make_point_csv LATITUDE LONGITUDE NOISE_ARCSEC SEED POINTS\n");
    return 2;
  }
  const double lat = std::atof(argv[1]), lon = std::atof(argv[2]), noise = std::atof(argv[3]);
  std::mt19937 random(static_cast<unsigned>(std::atol(argv[4])));
  const int count = std::atoi(argv[5]);
  std::uniform_real_distribution<double> ha(-5, 5), toward_pole(-25, 80);
  std::normal_distribution<double> error(0, noise);
  const Site site{lat, lon, 0, kDefaultTemperatureC};
  Utc utc{};
  UtcOfDate(2026, 12, 8, 0.125, utc);
  std::fputs(points::PointCsvHeaderLine().c_str(), stdout);
  for (int k = 0; k < count; ++k) {
    utc.jd2 += kMinutesApart / 1440;
    const double last = LocalApparentSiderealTime(utc, lon);
    const double h = ha(random), dec = toward_pole(random) * (lat >= 0 ? 1 : -1);
    const MeanPlace star{{std::fmod(last - h + 48, 24), dec}};
    const HaDec seen = Observed(ApparentPlace(star, utc), utc, last, site);
    const bool through_pole = h < 0;
    Point p = model::synthetic::MakePoint(kMount, seen.ha, seen.dec, lat, through_pole, k + 2);
    p.mechanical.ha += error(random) / std::cos(seen.dec * model::synthetic::kRad) / 54000;
    p.mechanical.dec += error(random) / 3600;
    // The CSV has the mount's reading as the sky position it points at.
    const HaDec pointed = orvan::pointing::InSideFrame(p.mechanical, through_pole);
    Row(utc, star, {std::fmod(last - pointed.ha + 48, 24), pointed.dec}, through_pole);
  }
  return 0;
}
