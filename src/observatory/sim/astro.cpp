#include "observatory/sim/astro.h"

#include <algorithm>
#include <cmath>

namespace orvan::sim {
namespace {

constexpr double kRad = kPi / 180.0;

struct Vec {
  double x, y, z;
};

double Dot(Vec a, Vec b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Unit vector of a position: x towards the meridian on the equator, z the pole.
Vec ToVec(HaDec p) {
  const double h = p.ha * 15.0 * kRad, d = p.dec * kRad;
  return {std::cos(d) * std::cos(h), std::cos(d) * std::sin(h), std::sin(d)};
}

HaDec FromVec(Vec v) {
  return {std::atan2(v.y, v.x) / kRad / 15.0, std::atan2(v.z, std::hypot(v.x, v.y)) / kRad};
}

Vec Zenith(const Site& site) {
  const double lat = site.latitude_deg * kRad;
  return {std::cos(lat), 0.0, std::sin(lat)};
}

// The position raised towards the zenith by the refraction at its altitude.
HaDec Refract(const Site& site, HaDec sky) {
  const Vec v = ToVec(sky), z = Zenith(site);
  const double sin_alt = Dot(v, z);
  const Vec up{z.x - sin_alt * v.x, z.y - sin_alt * v.y, z.z - sin_alt * v.z};
  const double cos_alt = std::sqrt(Dot(up, up));
  if (cos_alt < 1e-12) return sky;
  const double alt = std::asin(std::clamp(sin_alt, -1.0, 1.0)) / kRad;
  const double r = RefractionArcsec(alt, site.pressure_hpa, site.temperature_c) / 3600.0 * kRad;
  const double c = std::cos(r), s = std::sin(r) / cos_alt;
  return FromVec({c * v.x + s * up.x, c * v.y + s * up.y, c * v.z + s * up.z});
}

HaDec ApplyTerms(const PointingTerms& t, const Site& site, HaDec observed) {
  const double h = observed.ha * 15.0 * kRad, d = observed.dec * kRad;
  const double lat = site.latitude_deg * kRad;
  const double sec_d = 1.0 / std::cos(d), tan_d = std::tan(d);
  const double dh = t.ih + t.ch * sec_d + t.np * tan_d - t.ma * std::cos(h) * tan_d +
                    t.me * std::sin(h) * tan_d + t.tf * std::cos(lat) * std::sin(h) * sec_d;
  const double dd =
      t.id + t.ma * std::sin(h) + t.me * std::cos(h) +
      t.tf * (std::cos(lat) * std::cos(h) * std::sin(d) - std::sin(lat) * std::cos(d));
  return {observed.ha + dh / kArcsecPerHour, observed.dec + dd / kArcsecPerDegree};
}

// Solves f(x) = target for x where f is the identity plus a small, smooth
// displacement, by fixed-point iteration; converges to rounding in a few steps.
template <typename F>
HaDec Invert(F f, HaDec target) {
  HaDec x = target;
  for (int i = 0; i < 50; ++i) {
    const HaDec y = f(x);
    const double dha = Wrap12(target.ha - y.ha), ddec = target.dec - y.dec;
    x = {x.ha + dha, x.dec + ddec};
    if (std::abs(dha) < 1e-12 && std::abs(ddec) < 1e-11) break;
  }
  return x;
}

}  // namespace

double Wrap24(double hours) {
  double r = std::fmod(hours, 24.0);
  if (r < 0) r += 24.0;
  return r >= 24.0 ? 0.0 : r;
}

double Wrap12(double hours) {
  double r = Wrap24(hours);
  return r > 12.0 ? r - 24.0 : r;
}

double GreenwichMeanSiderealTime(double ut) {
  // Meeus, Astronomical Algorithms, eq. 12.4; whole days taken out first so
  // that the large multiple of 360 degrees costs no precision.
  const double days = ut / 86400.0;
  const double whole = std::floor(days), frac = days - whole;
  const double t = days / 36525.0;
  const double deg = 280.46061837 + 360.0 * frac + 0.98564736629 * days + 0.000387933 * t * t -
                     t * t * t / 38710000.0;
  return Wrap24(deg / 15.0);
}

double LocalSiderealTime(const Site& site, double ut) {
  return Wrap24(GreenwichMeanSiderealTime(ut) + site.longitude_deg / 15.0);
}

double RefractionArcsec(double altitude_deg, double pressure_hpa, double temperature_c) {
  // Below about -1 degree the formula turns over; nothing is observed there.
  const double h = std::max(altitude_deg, -1.0);
  const double arcmin = 1.02 / std::tan((h + 10.3 / (h + 5.11)) * kRad) + 0.0019279;
  return arcmin * 60.0 * (pressure_hpa / 1010.0) * (283.0 / (273.0 + temperature_c));
}

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b) {
  return {a.ih + b.ih, a.id + b.id, a.ch + b.ch, a.np + b.np,
          a.ma + b.ma, a.me + b.me, a.tf + b.tf};
}

HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky) {
  const HaDec observed = model.refraction ? Refract(site, sky) : sky;
  return ApplyTerms(model.terms, site, observed);
}

HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical) {
  const HaDec observed =
      Invert([&](HaDec o) { return ApplyTerms(model.terms, site, o); }, mechanical);
  if (!model.refraction) return observed;
  return Invert([&](HaDec s) { return Refract(site, s); }, observed);
}

}  // namespace orvan::sim
