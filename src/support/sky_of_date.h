#pragma once

// A J2000 place (ICRS) as the sky of a date shows it, to a few tenths of
// an arc-second, without ERFA: for the Windows build, which has none, to set
// a plate solve beside the mount's reading of date. Precession (IAU 1976),
// the four largest terms of nutation (IAU 1980) and annual aberration from
// the Sun's low-precision place and the Earth orbit's eccentricity; light
// deflection, the frame bias and the smaller terms of nutation are left out.
// The Linux program has ERFA's own (pointing/places.h).
namespace orvan {

struct PlaceOfDate {
  double ra_hours;
  double dec_deg;
};

// The apparent place (equinox and equator of date) at `seconds` since
// J2000.0 (UTC as the program's clock counts it; the minute or so to TT
// moves nothing here) of the J2000 place `ra_hours`, `dec_deg`.
PlaceOfDate ApparentOfDate(double ra_hours, double dec_deg, double seconds);

}  // namespace orvan
