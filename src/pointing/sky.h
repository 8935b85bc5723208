#pragma once

// Sky physics from ERFA for the pointing model: sidereal time and refraction.
namespace orvan::pointing {

// Wavelength refraction is computed for (micrometres): visible light.
inline constexpr double kWavelengthMicrons = 0.55;

// Where the observer is, and the air refraction is computed for.
struct Site {
  double latitude_deg;
  double longitude_deg;  // east positive
  double pressure_hpa;   // 0 switches refraction off (as ERFA has it)
  double temperature_c;
  double relative_humidity = 0;  // 0..1
  double height_m = 0;
  double wavelength_um = kWavelengthMicrons;
};

// Sky or axis position in the local equatorial frame.
struct HaDec {
  double ha;   // hours, west positive
  double dec;  // degrees
};

// A sky or axis position in some equatorial frame: right ascension in hours,
// declination in degrees.
struct RaDec {
  double ra;
  double dec;
};

// The angle between two places (hours, degrees), in degrees: ERFA's eraSeps,
// well conditioned at every size.
double SeparationDeg(RaDec a, RaDec b);

// Terrestrial time minus UTC (seconds) on the UTC day of `ut` (seconds since
// J2000.0): 32.184 s and the leap seconds of ERFA's table. UT1 is taken as
// UTC (within 0.9 s), which moves nothing at the program's arc-second scale
// but a sidereal-time offset common to target and mount.
double TtMinusUtcSeconds(double ut);
// Whether the civil day ended with a leap second, by ERFA's table: the one
// day on which UTC's 23:59:60 exists. False outside ERFA's years.
bool EndsWithLeapSecond(int year, int month, int day);

// Sidereal times (hours) at `ut` seconds of universal time since J2000.0.
// Mean: ERFA's eraGmst06. Apparent: the mean plus the equation of the
// equinoxes (eraEe06a), computed at the hours and interpolated between them,
// as the full eraGst06a costs far more than one correction cycle may.
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
