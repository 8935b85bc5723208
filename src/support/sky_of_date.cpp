#include "support/sky_of_date.h"

#include <array>
#include <cmath>

#include "support/units.h"

namespace orvan {
namespace {

using Vector = std::array<double, 3>;

constexpr double kSecondsPerCentury = 36525 * kSecondsPerDay;
constexpr double kRadiansPerArcsec = kRadiansPerDegree / kArcsecPerDegree;
// IAU 1976 precession angles: arc-seconds, by powers of T (Julian
// centuries from J2000.0).
constexpr std::array<double, 3> kZeta = {2306.2181, 0.30188, 0.017998};
constexpr std::array<double, 3> kZ = {2306.2181, 1.09468, 0.018203};
constexpr std::array<double, 3> kTheta = {2004.3109, -0.42665, -0.041833};
// Mean obliquity of the ecliptic at J2000.0 and its rate (arc-seconds).
constexpr double kObliquity = 84381.448, kObliquityRate = -46.8150;
// Nutation's four largest terms (IAU 1980), arc-seconds: in longitude and in
// obliquity, for the Moon's node, twice the Sun's and the Moon's mean
// longitudes, and twice the node.
constexpr std::array<double, 4> kPsi = {-17.20, -1.32, -0.23, 0.21};
constexpr std::array<double, 4> kEps = {9.20, 0.57, 0.10, -0.09};
// Mean elements (degrees, and degrees per century).
constexpr double kNode = 125.04452, kNodeRate = -1934.136261;
constexpr double kSunLongitude = 280.4665, kSunLongitudeRate = 36000.7698;
constexpr double kMoonLongitude = 218.3165, kMoonLongitudeRate = 481267.8813;
constexpr double kSunAnomaly = 357.528, kSunAnomalyRate = 35999.050;
// The Sun's equation of the centre (degrees), and the constant of
// aberration (arc-seconds).
constexpr double kCentre1 = 1.915, kCentre2 = 0.020;
constexpr double kAberration = 20.49552;
// The Earth orbit's eccentricity and the longitude of its perihelion
// (degrees), for aberration's e-terms (up to 0.34").
constexpr double kEccentricity = 0.016708634, kEccentricityRate = -0.000042037;
constexpr double kPerihelion = 102.93735, kPerihelionRate = 1.71946;

double Polynomial(const std::array<double, 3>& c, double t) {
  return ((c[2] * t + c[1]) * t + c[0]) * t * kRadiansPerArcsec;
}

// Turned by `angle` about axis `axis` (0 x, 1 y, 2 z), as the frame turns.
Vector Turned(const Vector& v, int axis, double angle) {
  const int a = (axis + 1) % 3, b = (axis + 2) % 3;
  const double c = std::cos(angle), s = std::sin(angle);
  Vector r = v;
  r[a] = c * v[a] + s * v[b];
  r[b] = -s * v[a] + c * v[b];
  return r;
}

}  // namespace

PlaceOfDate ApparentOfDate(double ra_hours, double dec_deg, double seconds) {
  const double t = seconds / kSecondsPerCentury;
  const double ra = ra_hours * kRadiansPerHour, dec = dec_deg * kRadiansPerDegree;
  Vector v = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
  // Precession: R3(-z) R2(theta) R3(-zeta).
  v = Turned(Turned(Turned(v, 2, -Polynomial(kZeta, t)), 1, Polynomial(kTheta, t)), 2,
             -Polynomial(kZ, t));
  // Nutation: R1(-eps) R3(-dpsi) R1(eps0).
  const double node = (kNode + kNodeRate * t) * kRadiansPerDegree;
  const double sun = (kSunLongitude + kSunLongitudeRate * t) * kRadiansPerDegree;
  const double moon = (kMoonLongitude + kMoonLongitudeRate * t) * kRadiansPerDegree;
  const std::array<double, 4> args = {node, 2 * sun, 2 * moon, 2 * node};
  double dpsi = 0, deps = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    dpsi += kPsi[i] * std::sin(args[i]);
    deps += kEps[i] * std::cos(args[i]);
  }
  const double eps0 = (kObliquity + kObliquityRate * t) * kRadiansPerArcsec;
  const double eps = eps0 + deps * kRadiansPerArcsec;
  v = Turned(Turned(Turned(v, 0, eps0), 2, -dpsi * kRadiansPerArcsec), 0, -eps);
  // Annual aberration: the Earth moves at right angles to the Sun's
  // direction, a quarter turn behind it in longitude, and faster near
  // perihelion.
  const double g = (kSunAnomaly + kSunAnomalyRate * t) * kRadiansPerDegree;
  const double lambda =
      sun + (kCentre1 * std::sin(g) + kCentre2 * std::sin(2 * g)) * kRadiansPerDegree;
  const double k = kAberration * kRadiansPerArcsec;
  const double e = kEccentricity + kEccentricityRate * t;
  const double perihelion = (kPerihelion + kPerihelionRate * t) * kRadiansPerDegree;
  const double across = std::sin(lambda) - e * std::sin(perihelion);
  const double along = std::cos(lambda) - e * std::cos(perihelion);
  const Vector earth = {k * across, -k * along * std::cos(eps), -k * along * std::sin(eps)};
  for (std::size_t i = 0; i < 3; ++i) v[i] += earth[i];
  const double norm = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {Wrap24(std::atan2(v[1], v[0]) / kRadiansPerHour),
          std::asin(v[2] / norm) / kRadiansPerDegree};
}

}  // namespace orvan
