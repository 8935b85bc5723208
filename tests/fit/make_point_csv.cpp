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

#include "model/places.h"
#include "pointing/sides.h"
#include "synthetic_points.h"

namespace {

using namespace orvan::model;

constexpr synthetic::Known kMount{95, -40, 25, 10, 48, 36, 6};
constexpr double kSecondsPerDay = 86400;
constexpr double kMinutesApart = 3;

void Row(Utc utc, const MeanPlace& star, RaDec mount, bool through_pole) {
  const double day = utc.jd1 - 2440587.5 + utc.jd2;  // days since 1970
  const auto seconds = static_cast<long long>(std::llround(day * kSecondsPerDay));
  const long long days = seconds / 86400, of_day = seconds % 86400;
  // Civil date from days since 1970 (H. F. Fliegel and T. C. Van Flandern).
  long long l = days + 2440588 + 68569, n = 4 * l / 146097;
  l -= (146097 * n + 3) / 4;
  long long i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  long long j = 80 * l / 2447, d = l - 2447 * j / 80;
  l = j / 11, j = j + 2 - 12 * l, i = 100 * (n - 49) + i + l;
  std::printf("%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ,%.10f,%.10f,%.10f,%.10f,%s\n", i, j, d,
              of_day / 3600, of_day / 60 % 60, of_day % 60, star.place.ra, star.place.dec, mount.ra,
              mount.dec, through_pole ? "west" : "east");
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
  Observer site{lat, lon};
  Utc utc{};
  UtcOfDate(2026, 12, 8, 0.125, utc);
  std::printf("utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side\n");
  for (int k = 0; k < count; ++k) {
    utc.jd2 += kMinutesApart / 1440;
    const double last = LocalApparentSiderealTime(utc, lon);
    const double h = ha(random), dec = toward_pole(random) * (lat >= 0 ? 1 : -1);
    const MeanPlace star{{std::fmod(last - h + 48, 24), dec}};
    const HaDec seen = Observed(ApparentPlace(star, utc), utc, last, site);
    const bool through_pole = h < 0;
    Point p = synthetic::MakePoint(kMount, seen.ha, seen.dec, lat, through_pole, k + 2);
    p.mechanical.ha += error(random) / std::cos(seen.dec * synthetic::kRad) / 54000;
    p.mechanical.dec += error(random) / 3600;
    // The CSV has the mount's reading as the sky position it points at.
    const HaDec pointed = orvan::pointing::InSideFrame(p.mechanical, through_pole);
    Row(utc, star, {std::fmod(last - pointed.ha + 48, 24), pointed.dec}, through_pole);
  }
  return 0;
}
