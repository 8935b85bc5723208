#include "pointing/sky.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>

#include "pointing/earth_state.h"
#include "support/units.h"

namespace orvan::pointing {
namespace {

constexpr double kJ2000 = ERFA_DJ00;  // Julian date of J2000.0

double Hours(double radians) {
  return radians / kRadiansPerDegree / kDegreesPerHour;
}

// TAI - TT, fixed by definition.
constexpr double kTtMinusTaiSeconds = 32.184;

}  // namespace

double TtMinusUtcSeconds(double ut) {
  // Leap seconds come at the ends of days: one look-up a day.
  struct Cache {
    double day = NAN;
    double seconds = 0;
  };
  thread_local Cache c;
  // Civil days: J2000.0 is at noon.
  const double day = std::floor(ut / kSecondsPerDay + 0.5);
  if (!(day == c.day)) {
    int year = 0, month = 0, date = 0;
    double fraction = 0, tai_minus_utc = 0;
    // Outside ERFA's years (before 1960) there is no UTC to speak of: none.
    if (eraJd2cal(kJ2000 - 0.5, day, &year, &month, &date, &fraction) != 0 ||
        eraDat(year, month, date, 0, &tai_minus_utc) < 0)
      tai_minus_utc = 0;
    c = {day, tai_minus_utc + kTtMinusTaiSeconds};
  }
  return c.seconds;
}

bool EndsWithLeapSecond(int year, int month, int day) {
  double jd0 = 0, jd = 0, fraction = 0, before = 0, after = 0;
  int next_year = 0, next_month = 0, next_day = 0;
  // The next civil day by ERFA's calendar, then TAI - UTC on either side.
  if (eraCal2jd(year, month, day, &jd0, &jd) != 0 ||
      eraJd2cal(jd0, jd + 1, &next_year, &next_month, &next_day, &fraction) != 0)
    return false;
  return eraDat(year, month, day, 0, &before) >= 0 &&
         eraDat(next_year, next_month, next_day, 0, &after) >= 0 && after > before;
}

double GreenwichMeanSiderealTime(double ut) {
  // The Julian date split as ERFA likes it: the epoch, then the small part.
  const double ut_days = ut / kSecondsPerDay;
  const double tt_days = (ut + TtMinusUtcSeconds(ut)) / kSecondsPerDay;
  return Wrap24(Hours(eraGmst06(kJ2000, ut_days, kJ2000, tt_days)));
}

double GreenwichApparentSiderealTime(double ut) {
  const double tt_days = (ut + TtMinusUtcSeconds(ut)) / kSecondsPerDay;
  return Wrap24(GreenwichMeanSiderealTime(ut) + Hours(EarthStateAt(kJ2000, tt_days).ee));
}

double LocalSiderealTime(const Site& site, double ut) {
  return Wrap24(GreenwichApparentSiderealTime(ut) + site.longitude_deg / kDegreesPerHour);
}

RefractionConstants RefractionFor(const Site& site) {
  struct Cache {
    double pressure = NAN, temperature = NAN, humidity = NAN, wavelength = NAN;
    RefractionConstants k{0, 0};
  };
  thread_local Cache c;
  if (!(site.pressure_hpa == c.pressure && site.temperature_c == c.temperature &&
        site.relative_humidity == c.humidity && site.wavelength_um == c.wavelength)) {
    c.pressure = site.pressure_hpa;
    c.temperature = site.temperature_c;
    c.humidity = site.relative_humidity;
    c.wavelength = site.wavelength_um;
    eraRefco(site.pressure_hpa, site.temperature_c, site.relative_humidity, site.wavelength_um,
             &c.k.a, &c.k.b);
  }
  return c.k;
}

double RefractionArcsec(double altitude_deg, const Site& site) {
  // On the meridian of a site at 45 degrees north, south of the zenith: the
  // lift is all in declination, and every altitude down to -45 degrees has a
  // declination there.
  Site north = site;
  north.latitude_deg = 45;
  north.longitude_deg = 0;
  const double dec = altitude_deg - 45.0;
  return (Refract(north, {0.0, dec}).dec - dec) * kArcsecPerDegree;
}

// By ERFA's own routine: eraAtioq on a frame whose Earth rotation angle is
// zero, so its right ascension is minus the hour angle, with no polar motion
// and no diurnal aberration (both belong to the star's place, which the
// caller already has).
HaDec Refract(const Site& site, HaDec sky) {
  const RefractionConstants k = RefractionFor(site);
  if (k.a == 0 && k.b == 0) return sky;  // no air, exactly nothing to do
  eraASTROM frame{};
  frame.phi = site.latitude_deg * kRadiansPerDegree;
  frame.sphi = std::sin(frame.phi);
  frame.cphi = std::cos(frame.phi);
  frame.refa = k.a;
  frame.refb = k.b;
  double az, zd, ha, dec, ra;
  eraAtioq(-sky.ha * kDegreesPerHour * kRadiansPerDegree, sky.dec * kRadiansPerDegree, &frame, &az,
           &zd, &ha, &dec, &ra);
  return {Hours(ha), dec / kRadiansPerDegree};
}

double SeparationDeg(RaDec a, RaDec b) {
  return eraSeps(a.ra * kRadiansPerHour, a.dec * kRadiansPerDegree, b.ra * kRadiansPerHour,
                 b.dec * kRadiansPerDegree) *
         kDegreesPerRadian;
}

}  // namespace orvan::pointing
