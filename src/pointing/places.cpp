#include "pointing/places.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>

#include "pointing/earth_state.h"
#include "support/units.h"

namespace orvan::pointing {
namespace {

constexpr double kJ2000 = 2451545.0;  // Julian date of J2000.0
constexpr double kDaysPerJulianYear = 365.25;

double HoursToRadians(double hours) {
  return hours * ERFA_D2PI / kHoursPerTurn;
}
double RadiansToHours(double radians) {
  return radians * kHoursPerTurn / ERFA_D2PI;
}

double SecondsSinceJ2000(Utc utc) {
  return ((utc.jd1 - kJ2000) + utc.jd2) * kSecondsPerDay;
}

// Terrestrial time for `utc`, by the one policy the sidereal times use too.
Utc TerrestrialTime(Utc utc) {
  return {utc.jd1, utc.jd2 + TtMinusUtcSeconds(SecondsSinceJ2000(utc)) / kSecondsPerDay};
}

// A mean place of equinox and epoch `mean.epoch` referred to J2000.0 (the
// precession undone, the proper motion run back to 2000).
void MeanPlaceAtJ2000(const MeanPlace& mean, double& ra, double& dec) {
  ra = HoursToRadians(mean.place.ra);
  dec = mean.place.dec * ERFA_DD2R;
  const double years = 2000 - mean.epoch;
  if (years == 0) return;
  double rbp[3][3], of_epoch[3], at_j2000[3];
  eraPmat06(kJ2000, (mean.epoch - 2000) * kDaysPerJulianYear, rbp);
  eraS2c(ra, dec, of_epoch);
  eraTrxp(rbp, of_epoch, at_j2000);
  eraC2s(at_j2000, &ra, &dec);
  ra += mean.pm_ra_s * kDegreesPerHour * ERFA_DAS2R * years;
  dec += mean.pm_dec_arcsec * ERFA_DAS2R * years;
}

}  // namespace

bool UtcOfDate(int year, int month, int day, double day_fraction, Utc& utc) {
  if (eraDtf2d("UTC", year, month, day, 0, 0, 0, &utc.jd1, &utc.jd2) < 0) return false;
  utc.jd2 += day_fraction;
  return true;
}

bool UtcOf(const UtcFields& f, Utc& utc) {
  // ERFA knows which days had a leap second: on any other, a second of 60 is
  // "after the end of the day" (status 2).
  const int status =
      eraDtf2d("UTC", f.year, f.month, f.day, f.hour, f.minute, f.Seconds(), &utc.jd1, &utc.jd2);
  return status == 0 || status == 1;
}

RaDec ApparentPlace(const MeanPlace& mean, Utc utc) {
  double ra = 0, dec = 0;
  MeanPlaceAtJ2000(mean, ra, dec);
  const double pm_ra = mean.pm_ra_s * kDegreesPerHour * ERFA_DAS2R;
  const double pm_dec = mean.pm_dec_arcsec * ERFA_DAS2R;
  const Utc tt = TerrestrialTime(utc);
  // eraAtci13, with the Earth's state interpolated rather than computed.
  EarthState earth = EarthStateAt(tt.jd1, tt.jd2);  // ERFA takes it unconst
  eraASTROM astrom;
  eraApci(tt.jd1, tt.jd2, earth.ebpv, earth.ehp, earth.x, earth.y, earth.s, &astrom);
  double ri = 0, di = 0;
  eraAtciq(ra, dec, pm_ra, pm_dec, 0, 0, &astrom, &ri, &di);
  return {RadiansToHours(eraAnp(ri - earth.eo)), di * ERFA_DR2D};
}

RaDec MeanPlaceOf(RaDec apparent, Utc utc) {
  const Utc tt = TerrestrialTime(utc);
  // eraAtic13, with the Earth's state interpolated as ApparentPlace has it.
  EarthState earth = EarthStateAt(tt.jd1, tt.jd2);  // ERFA takes it unconst
  eraASTROM astrom;
  eraApci(tt.jd1, tt.jd2, earth.ebpv, earth.ehp, earth.x, earth.y, earth.s, &astrom);
  double rc = 0, dc = 0;
  eraAticq(HoursToRadians(apparent.ra) + earth.eo, apparent.dec * ERFA_DD2R, &astrom, &rc, &dc);
  return {RadiansToHours(eraAnp(rc)), dc * ERFA_DR2D};
}

double LocalApparentSiderealTime(Utc utc, double longitude_deg) {
  const Site site{0, longitude_deg, 0, 0};
  return LocalSiderealTime(site, SecondsSinceJ2000(utc));
}

Utc UtcAtSiderealTime(Utc day_start, double longitude_deg, double last) {
  const double ahead = Wrap24(last - LocalApparentSiderealTime(day_start, longitude_deg));
  Utc utc{day_start.jd1, day_start.jd2 + ahead / kSiderealRatio / kHoursPerTurn};
  // The rate above is the mean one: two steps take up the equation of the
  // equinoxes' drift.
  for (int step = 0; step < 2; ++step) {
    const double off = Wrap12(last - LocalApparentSiderealTime(utc, longitude_deg));
    utc.jd2 += off / kSiderealRatio / kHoursPerTurn;
  }
  return utc;
}

HaDec Observed(RaDec apparent, Utc utc, double last, const Site& site) {
  const Utc tt = TerrestrialTime(utc);
  const double eo = EarthStateAt(tt.jd1, tt.jd2).eo;
  const RefractionConstants k = RefractionFor(site);
  // ERFA works from the Earth rotation angle and CIO-based places; the local
  // one is the sidereal time plus the equation of the origins.
  eraASTROM astrom;
  eraApio(0, HoursToRadians(last) + eo, 0, site.latitude_deg * ERFA_DD2R, site.height_m, 0, 0, k.a,
          k.b, &astrom);
  double aob = 0, zob = 0, hob = 0, dob = 0, rob = 0;
  eraAtioq(HoursToRadians(apparent.ra) + eo, apparent.dec * ERFA_DD2R, &astrom, &aob, &zob, &hob,
           &dob, &rob);
  return {Wrap12(RadiansToHours(hob)), dob * ERFA_DR2D};
}

}  // namespace orvan::pointing
