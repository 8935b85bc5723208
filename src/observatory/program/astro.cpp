#include "observatory/program/astro.h"

#include <erfa.h>

#include <cmath>

namespace orvan::program {
namespace {

constexpr double kRad = kPi / 180.0;
constexpr double kJ2000 = 2451545.0;  // Julian date of J2000.0
constexpr double kSecondsPerDay = 86400.0;

double Hours(double radians) {
  return radians / kRad / kDegreesPerHour;
}

HaDec ApplyTerms(const PointingTerms& t, const Site& site, HaDec observed) {
  const double h = observed.ha * kDegreesPerHour * kRad, d = observed.dec * kRad;
  const double lat = site.latitude_deg * kRad;
  const double sec_d = 1.0 / std::cos(d), tan_d = std::tan(d);
  const double dh = t.ih + t.ch * sec_d + t.np * tan_d - t.ma * std::cos(h) * tan_d +
                    t.me * std::sin(h) * tan_d + t.tf * std::cos(lat) * std::sin(h) * sec_d;
  const double dd =
      t.id + t.ma * std::sin(h) + t.me * std::cos(h) +
      t.tf * (std::cos(lat) * std::cos(h) * std::sin(d) - std::sin(lat) * std::cos(d));
  return {observed.ha + dh / kArcsecPerHour, observed.dec + dd / kArcsecPerDegree};
}

// The position as refraction shows it, by ERFA's own routine: eraAtioq on a
// frame whose Earth rotation angle is zero, so its right ascension is minus
// the hour angle, with no polar motion and no diurnal aberration (both belong
// to the star's place, which the caller already has).
HaDec Refract(const Site& site, HaDec sky) {
  const RefractionConstants k = RefractionFor(site);
  if (k.a == 0 && k.b == 0) return sky;  // no air, exactly nothing to do
  eraASTROM frame{};
  frame.phi = site.latitude_deg * kRad;
  frame.sphi = std::sin(frame.phi);
  frame.cphi = std::cos(frame.phi);
  frame.refa = k.a;
  frame.refb = k.b;
  double az, zd, ha, dec, ra;
  eraAtioq(-sky.ha * kDegreesPerHour * kRad, sky.dec * kRad, &frame, &az, &zd, &ha, &dec, &ra);
  return {Hours(ha), dec / kRad};
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
  // The Julian date split as ERFA likes it: the epoch, then the small part.
  const double ut_days = ut / kSecondsPerDay;
  const double tt_days = (ut + kTtMinusUtSeconds) / kSecondsPerDay;
  return Wrap24(Hours(eraGmst06(kJ2000, ut_days, kJ2000, tt_days)));
}

double GreenwichApparentSiderealTime(double ut) {
  // The equation of the equinoxes changes by under 0.1" a day; once a minute
  // is far finer than the program can see.
  struct Cache {
    double minute = NAN;
    double hours = 0;
  };
  thread_local Cache ee;
  const double minute = std::floor(ut / 60.0);
  if (!(minute == ee.minute)) {
    const double tt_days = (minute * 60.0 + kTtMinusUtSeconds) / kSecondsPerDay;
    ee = {minute, Hours(eraEe06a(kJ2000, tt_days))};
  }
  return Wrap24(GreenwichMeanSiderealTime(ut) + ee.hours);
}

double LocalSiderealTime(const Site& site, double ut) {
  return Wrap24(GreenwichApparentSiderealTime(ut) + site.longitude_deg / kDegreesPerHour);
}

RefractionConstants RefractionFor(const Site& site) {
  struct Cache {
    double pressure = NAN, temperature = NAN, humidity = NAN;
    RefractionConstants k{0, 0};
  };
  thread_local Cache c;
  if (!(site.pressure_hpa == c.pressure && site.temperature_c == c.temperature &&
        site.relative_humidity == c.humidity)) {
    c.pressure = site.pressure_hpa;
    c.temperature = site.temperature_c;
    c.humidity = site.relative_humidity;
    eraRefco(site.pressure_hpa, site.temperature_c, site.relative_humidity, kWavelengthMicrons,
             &c.k.a, &c.k.b);
  }
  return c.k;
}

double RefractionArcsec(double altitude_deg, const Site& site) {
  // On the meridian of a site at 45 degrees north, south of the zenith: the
  // lift is all in declination, and every altitude down to -45 degrees has a
  // declination there.
  const Site north{45, 0, site.pressure_hpa, site.temperature_c, site.relative_humidity};
  const double dec = altitude_deg - 45.0;
  return (Refract(north, {0.0, dec}).dec - dec) * kArcsecPerDegree;
}

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b) {
  return {a.ih + b.ih, a.id + b.id, a.ch + b.ch, a.np + b.np,
          a.ma + b.ma, a.me + b.me, a.tf + b.tf};
}

bool operator==(const PointingTerms& a, const PointingTerms& b) {
  return a.ih == b.ih && a.id == b.id && a.ch == b.ch && a.np == b.np && a.ma == b.ma &&
         a.me == b.me && a.tf == b.tf;
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

}  // namespace orvan::program
