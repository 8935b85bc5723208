#pragma once

#include "pointing/sky.h"
#include "support/utc_text.h"

// Sky places by ERFA: mean places to apparent places of date, and apparent
// places to where a star is seen (topocentric, refracted) at a sidereal time.
namespace orvan::pointing {

// A UTC moment as a two-part Julian date (ERFA's form).
struct Utc {
  double jd1;
  double jd2;
};

// UTC at `day_fraction` of a civil date; false for a date that does not exist.
bool UtcOfDate(int year, int month, int day, double day_fraction, Utc& utc);
// UTC as written; false for a leap second on a day that had none.
bool UtcOf(const UtcFields& fields, Utc& utc);
// UTC from a Julian date.
inline Utc UtcOfJulianDate(double jd) {
  return {jd, 0};
}

// A catalogue place: mean place of Julian equinox and epoch `epoch`, with
// proper motions in right ascension (seconds of time a year, as d(RA)/dt)
// and declination (arc-seconds a year).
struct MeanPlace {
  RaDec place;
  double pm_ra_s = 0;
  double pm_dec_arcsec = 0;
  double epoch = 2000;
};

// The apparent place of date (true equator and equinox, the right ascension
// from the equinox) at `utc`.
RaDec ApparentPlace(const MeanPlace& mean, Utc utc);

// The J2000 place (ICRS, no proper motion) of a star at apparent place of
// date `apparent` at `utc`: ApparentPlace undone.
RaDec MeanPlaceOf(RaDec apparent, Utc utc);

// Local apparent sidereal time (hours) at `utc` and east longitude.
double LocalApparentSiderealTime(Utc utc, double longitude_deg);

// The first UTC from `day_start` at which the local apparent sidereal time is
// `last` (hours).
Utc UtcAtSiderealTime(Utc day_start, double longitude_deg, double last);

// Where a star at apparent place `apparent` (for `utc`) is seen at local
// apparent sidereal time `last`: hour angle and declination, topocentric
// (diurnal aberration) and refracted with the site's air.
HaDec Observed(RaDec apparent, Utc utc, double last, const Site& site);

}  // namespace orvan::pointing
