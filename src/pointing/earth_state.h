#pragma once

// What ERFA's Earth ephemeris and its IAU 2006/2000A precession-nutation give
// at a moment of terrestrial time: computed whole at the hours of TT and
// interpolated linearly between them. A point read, a sidereal time asked,
// then costs a few multiplications instead of the nutation series, which
// changes so smoothly that the interpolation is off by some 10
// micro-arc-seconds (the fortnightly term's curvature over an hour).
// Internal to the pointing library.
namespace orvan::pointing {

struct EarthState {
  double ebpv[2][3];  // barycentric position (au) and velocity (au/day)
  double ehp[3];      // heliocentric position (au)
  double x, y, s;     // the celestial intermediate pole and the CIO locator (radians)
  double eo;          // the equation of the origins (radians)
  double ee;          // the equation of the equinoxes (radians)
};

// At TT, a two-part Julian date. Each thread keeps the hours it computed
// lately, so that points in any order over a night compute each hour once.
EarthState EarthStateAt(double tt1, double tt2);

}  // namespace orvan::pointing
