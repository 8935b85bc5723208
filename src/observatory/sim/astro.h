#pragma once

namespace orvan::sim {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kArcsecPerHour = 54000.0;  // of right ascension or hour angle
inline constexpr double kArcsecPerDegree = 3600.0;
// Sidereal seconds per second of universal time.
inline constexpr double kSiderealRatio = 1.00273790935;

struct Site {
  double latitude_deg;
  double longitude_deg;  // east positive
  double pressure_hpa;
  double temperature_c;
};

// Sky or axis position in the local equatorial frame.
struct HaDec {
  double ha;   // hours, west positive
  double dec;  // degrees
};

// Hours wrapped into [0, 24) and into (-12, 12].
double Wrap24(double hours);
double Wrap12(double hours);

// Greenwich mean sidereal time (hours) at `ut` seconds since J2000.0.
double GreenwichMeanSiderealTime(double ut);
double LocalSiderealTime(const Site& site, double ut);

// Refraction (arc-seconds) for an object at true altitude `altitude_deg`:
// Saemundsson's formula, made zero at the zenith, scaled to the pressure
// and temperature of the site.
double RefractionArcsec(double altitude_deg, double pressure_hpa, double temperature_c);

// Pointing-model terms in arc-seconds, mechanical minus observed, named and
// shaped as the usual equatorial mount analysis has them.
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

struct PointingModel {
  PointingTerms terms;
  bool refraction = true;
};

// Where the axes must be for a true sky position, and the inverse.
HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky);
HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical);

}  // namespace orvan::sim
