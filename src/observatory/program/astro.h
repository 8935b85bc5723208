#pragma once

#include "observatory/units.h"

// Sky physics shared by every observatory back end: sidereal time and
// refraction from ERFA, and the pointing model that maps the sky to a mount's
// axes and back.
namespace orvan::program {

// Terrestrial time minus UTC since 2017 (37 leap seconds + 32.184 s). UT1 is
// taken as UTC (within 0.9 s): neither matters at the program's arc-second
// scale beyond a sidereal-time offset of under a second, common to target and
// mount.
inline constexpr double kTtMinusUtSeconds = 69.184;
// Wavelength refraction is computed for (micrometres): visible light.
inline constexpr double kWavelengthMicrons = 0.55;

struct Site {
  double latitude_deg;
  double longitude_deg;  // east positive
  double pressure_hpa;   // 0 switches refraction off (as ERFA has it)
  double temperature_c;
  double relative_humidity = 0;  // 0..1
};

// Sky or axis position in the local equatorial frame.
struct HaDec {
  double ha;   // hours, west positive
  double dec;  // degrees
};

// Sidereal times (hours) at `ut` seconds of universal time since J2000.0.
// Mean: ERFA's eraGmst06. Apparent: the mean plus the equation of the
// equinoxes (eraEe06a), which is recomputed once per minute of `ut` on each
// thread, as the full eraGst06a costs far more than one correction cycle may.
double GreenwichMeanSiderealTime(double ut);
double GreenwichApparentSiderealTime(double ut);
// Local apparent sidereal time.
double LocalSiderealTime(const Site& site, double ut);

// ERFA's refraction constants A and B (radians) for the air at `site`
// (eraRefco), cached per thread for the last conditions asked.
struct RefractionConstants {
  double a, b;
};
RefractionConstants RefractionFor(const Site& site);

// How far (arc-seconds) refraction lifts an object at true (unrefracted)
// altitude `altitude_deg`, by ERFA's A tan z + B tan^3 z model as eraAtioq
// applies it. ERFA's model is meant for altitudes above about 5 degrees;
// below that the figure is ERFA's all the same, and below 2.87 degrees
// (sine 0.05) ERFA holds the zenith distance there, so it stops changing.
double RefractionArcsec(double altitude_deg, const Site& site);

// Pointing-model terms in arc-seconds, mechanical minus observed, named and
// shaped as TPOINT has them for an equatorial mount.
struct PointingTerms {
  double ih = 0;  // hour-angle index error
  double id = 0;  // declination index error
  double ch = 0;  // collimation error (east-west)
  double np = 0;  // non-perpendicularity of the axes
  double ma = 0;  // polar axis misaligned left-right (azimuth)
  double me = 0;  // polar axis misaligned in elevation
  double tf = 0;  // tube flexure, proportional to the sine of the zenith distance
};

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b);
bool operator==(const PointingTerms& a, const PointingTerms& b);

struct PointingModel {
  PointingTerms terms;
  bool refraction = true;
};

// Where the axes must be for a true sky position (refraction first, then the
// terms).
HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky);
// The inverse: the true sky position the axes point at, solved to rounding
// and checked by mapping it back, which must land within 1e-6" of the mount's
// position on the sky. Declination comes back in [-90, 90], the hour angle
// within 12 h of the mount's. A mount past a pole (declination beyond 90, as
// a German mount's axis can read) is taken where it points: declination
// mirrored in the pole, hour angle 12 h on. Near a pole the tan and sec terms
// give one mount position many sky positions; the one the terms move least
// in hour angle is taken. Where there is none (within about the terms' size of
// a pole, where they would put the sky past it), orvan::Error
// errors::kNoInverse naming the mount's position.
HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical);

}  // namespace orvan::program
