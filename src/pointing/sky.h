#pragma once

// Sky physics from ERFA for the pointing model: sidereal time and refraction.
namespace orvan::pointing {

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

// Hours wrapped into [0, 24) and into (-12, 12].
double Wrap24(double hours);
double Wrap12(double hours);

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

// A true topocentric position as refraction shows it (the observed
// position), by ERFA's eraAtioq; with no air, exactly the position given.
HaDec Refract(const Site& site, HaDec sky);

}  // namespace orvan::pointing
