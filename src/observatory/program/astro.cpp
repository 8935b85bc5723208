#include "observatory/program/astro.h"

#include <erfa.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "support/error.h"

namespace orvan::program {
namespace {

constexpr double kRad = kPi / 180.0;
constexpr double kJ2000 = 2451545.0;  // Julian date of J2000.0
constexpr double kHalfTurnHours = 12.0;
constexpr double kHalfTurnDeg = 180.0;
constexpr double kPoleDeg = 90.0;

// A sky position is believed when it maps back to within this of the mount's
// own position (arc-seconds on the sky): far below anything a mount can show,
// far above rounding.
constexpr double kRoundTripArcsec = 1e-6;
// Steps of the plain iteration before it is taken not to converge; it needs
// under ten where it works.
constexpr int kFixedPointSteps = 50;
// Hour angles sampled round the pole when the terms are inverted there (two
// minutes of time apart), and halvings that take one gap down to rounding.
constexpr int kPoleSamples = 720;
constexpr int kBisections = 64;
// The search on the sphere: most steps, the step (radians) for its numerical
// Jacobian, the smallest fraction of a step it tries, and the miss (radians)
// it stops at, near rounding.
constexpr int kNewtonSteps = 30;
constexpr double kJacobianStep = 1e-7;
constexpr double kSmallestStep = 1e-9;
constexpr double kSolvedRadians = 1e-15;

double Hours(double radians) {
  return radians / kRad / kDegreesPerHour;
}

// The terms' shift at an observed position, in arc-seconds of hour angle and
// of declination.
struct Shift {
  double dh, dd;
};

Shift TermsShift(const PointingTerms& t, const Site& site, HaDec observed) {
  const double h = observed.ha * kDegreesPerHour * kRad, d = observed.dec * kRad;
  const double lat = site.latitude_deg * kRad;
  const double sec_d = 1.0 / std::cos(d), tan_d = std::tan(d);
  const double dh = t.ih + t.ch * sec_d + t.np * tan_d - t.ma * std::cos(h) * tan_d +
                    t.me * std::sin(h) * tan_d + t.tf * std::cos(lat) * std::sin(h) * sec_d;
  const double dd =
      t.id + t.ma * std::sin(h) + t.me * std::cos(h) +
      t.tf * (std::cos(lat) * std::cos(h) * std::sin(d) - std::sin(lat) * std::cos(d));
  return {dh, dd};
}

HaDec ApplyTerms(const PointingTerms& t, const Site& site, HaDec observed) {
  const Shift s = TermsShift(t, site, observed);
  return {observed.ha + s.dh / kArcsecPerHour, observed.dec + s.dd / kArcsecPerDegree};
}

// The position as refraction shows it, by ERFA's own routine: eraAtioq on a
// frame whose Earth rotation angle is zero, so its right ascension is minus
// the hour angle, with no polar motion and no diurnal aberration (both belong
// to the star's place, which the caller already has).
HaDec Refract(const Site& site, HaDec sky) {
  const RefractionConstants k = RefractionFor(site);
  if (k.a == 0 && k.b == 0) return sky;  // no air, exactly nothing to do
  eraASTROM frame{};
  frame.phi = site.latitude_deg * kRad;
  frame.sphi = std::sin(frame.phi);
  frame.cphi = std::cos(frame.phi);
  frame.refa = k.a;
  frame.refb = k.b;
  double az, zd, ha, dec, ra;
  eraAtioq(-sky.ha * kDegreesPerHour * kRad, sky.dec * kRad, &frame, &az, &zd, &ha, &dec, &ra);
  return {Hours(ha), dec / kRad};
}

// Solves f(x) = target for x where f is the identity plus a small, smooth
// displacement, by fixed-point iteration; converges to rounding in a few steps.
// Within about an arc-minute of a pole the tan and sec terms, and refraction's
// hour-angle shift, change faster than the hour angle itself and the iteration
// runs away: nothing then, nor for an answer past a pole.
template <typename F>
std::optional<HaDec> FixedPoint(F f, HaDec target) {
  HaDec x = target;
  for (int i = 0; i < kFixedPointSteps; ++i) {
    const HaDec y = f(x);
    const double dha = Wrap12(target.ha - y.ha), ddec = target.dec - y.dec;
    x = {x.ha + dha, x.dec + ddec};
    if (std::abs(dha) < 1e-12 && std::abs(ddec) < 1e-11) {
      if (std::abs(x.dec) <= kPoleDeg) return x;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// The observed declination the terms carry to `mech_dec` at observed hour
// angle h. The declination terms hardly depend on declination, so this
// settles in two or three steps.
double DecMeeting(const PointingTerms& t, const Site& site, double h, double mech_dec) {
  double d = mech_dec;
  for (int i = 0; i < kFixedPointSteps; ++i) {
    const double next = mech_dec - TermsShift(t, site, {h, d}).dd / kArcsecPerDegree;
    const bool settled = std::abs(next - d) < 1e-13;
    d = next;
    if (settled) break;
  }
  return d;
}

// How far (hours, not wrapped) the terms carry observed hour angle h, at the
// declination that meets the mount's, past the mount's hour angle; NaN where
// that declination would lie past a pole.
double HourAngleMiss(const PointingTerms& t, const Site& site, HaDec mech, double h) {
  const double d = DecMeeting(t, site, h, mech.dec);
  if (!(std::abs(d) <= kPoleDeg)) return NAN;
  return h + TermsShift(t, site, {h, d}).dh / kArcsecPerHour - mech.ha;
}

// A zero of g between lo and hi, where g changes sign, to rounding.
template <typename G>
double Bisect(G g, double lo, double hi) {
  const bool lo_negative = g(lo) < 0;
  for (int i = 0; i < kBisections; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (!(mid > lo && mid < hi)) break;
    const double gm = g(mid);
    if (gm == 0) return mid;
    ((gm < 0) == lo_negative ? lo : hi) = mid;
  }
  return std::abs(g(lo)) < std::abs(g(hi)) ? lo : hi;
}

// Near a pole the sec and tan terms wind the hour angle round the pole, so a
// mount position there has many observed positions, all near the pole (and at
// the pole itself, infinitely many). Of these this takes the one the terms
// move least in hour angle, which is the one the fixed point finds further
// out: it samples the observed hour angles all round, picks the pair of
// samples between which that one lies, and bisects for it.
std::optional<HaDec> InvertTermsNearPole(const PointingTerms& t, const Site& site, HaDec mech) {
  const double step = kHoursPerTurn / kPoleSamples, start = mech.ha - kHalfTurnHours;
  double best = INFINITY, lo = 0, turns = 0;
  double u0 = HourAngleMiss(t, site, mech, start);
  for (int i = 0; i < kPoleSamples; ++i) {
    const double h0 = start + i * step;
    const double u1 = HourAngleMiss(t, site, mech, h0 + step);
    // Whole turns k with the miss 24 k somewhere between the two samples; the
    // terms move that solution by about mech.ha + 24 k - h0.
    const double k_lo = std::ceil(std::min(u0, u1) / kHoursPerTurn);
    const double k_hi = std::floor(std::max(u0, u1) / kHoursPerTurn);
    if (std::isfinite(u0) && std::isfinite(u1) && k_lo <= k_hi) {
      const double k = std::clamp(0.0, k_lo, k_hi);
      const double moved = std::abs(mech.ha + k * kHoursPerTurn - h0);
      if (moved < best) {
        best = moved;
        lo = h0;
        turns = k;
      }
    }
    u0 = u1;
  }
  if (!std::isfinite(best)) return std::nullopt;
  const double h =
      Bisect([&](double x) { return HourAngleMiss(t, site, mech, x) - turns * kHoursPerTurn; }, lo,
             lo + step);
  return HaDec{h, DecMeeting(t, site, h, mech.dec)};
}

using Vec = std::array<double, 3>;

Vec ToVector(HaDec p) {
  Vec v;
  eraS2c(p.ha * kDegreesPerHour * kRad, p.dec * kRad, v.data());
  return v;
}

HaDec FromVector(Vec v) {
  double theta, phi;
  eraC2s(v.data(), &theta, &phi);
  return {Hours(theta), phi / kRad};
}

Vec Plus(const Vec& a, double k, const Vec& b) {  // a + k b
  return {a[0] + k * b[0], a[1] + k * b[1], a[2] + k * b[2]};
}

double Norm(Vec a) {
  return eraPm(a.data());
}

// Two unit vectors at right angles to unit vector s and to each other: the
// directions of steps from s, which unlike hour angle and declination have no
// trouble at the poles.
std::pair<Vec, Vec> TangentFrame(Vec s) {
  Vec axis{0, 0, 1}, c, e1, e2;
  if (std::abs(s[2]) > 0.5) axis = {1, 0, 0};
  double norm;
  eraPxp(axis.data(), s.data(), c.data());
  eraPn(c.data(), &norm, e1.data());
  eraPxp(s.data(), e1.data(), e2.data());
  return {e1, e2};
}

// The least-squares step (x, y) along e1 and e2 that the Jacobian columns j1
// and j2 say cancels the miss r.
std::pair<double, double> GaussNewtonStep(Vec j1, Vec j2, Vec r) {
  const double a11 = eraPdp(j1.data(), j1.data()), a12 = eraPdp(j1.data(), j2.data());
  const double a22 = eraPdp(j2.data(), j2.data());
  const double b1 = -eraPdp(j1.data(), r.data()), b2 = -eraPdp(j2.data(), r.data());
  const double det = a11 * a22 - a12 * a12;
  if (!(det > 0)) return {0, 0};
  return {(b1 * a22 - b2 * a12) / det, (a11 * b2 - a12 * b1) / det};
}

// The position f carries to `target`, found on the sphere rather than in hour
// angle and declination: Gauss-Newton steps in a frame tangent at the current
// estimate, with a numerical Jacobian, each step halved until it brings the
// image nearer. The best position found; the caller judges it.
template <typename F>
HaDec InvertOnSphere(F f, HaDec target) {
  const Vec t = ToVector(target);
  const auto miss = [&](const Vec& p) { return Plus(ToVector(f(FromVector(p))), -1, t); };
  Vec s = t, r = miss(s);
  for (int i = 0; i < kNewtonSteps && Norm(r) > kSolvedRadians; ++i) {
    const auto [e1, e2] = TangentFrame(s);
    const Vec j1 = Plus(miss(Plus(s, kJacobianStep, e1)), -1, r);
    const Vec j2 = Plus(miss(Plus(s, kJacobianStep, e2)), -1, r);
    const auto [x, y] = GaussNewtonStep(j1, j2, r);
    bool better = false;
    for (double k = kJacobianStep; !better && k > kJacobianStep * kSmallestStep; k *= 0.5) {
      Vec c = Plus(Plus(s, k * x, e1), k * y, e2), unit;
      double norm;
      eraPn(c.data(), &norm, unit.data());
      const Vec rc = miss(unit);
      if (Norm(rc) < Norm(r)) {
        s = unit;
        r = rc;
        better = true;
      }
    }
    if (!better) break;
  }
  return FromVector(s);
}

// Whether the sky position maps back onto the mount's, measured on the sky so
// that hour angle counts for nothing at the pole.
bool MapsBackTo(const PointingModel& model, const Site& site, HaDec sky, HaDec mech) {
  Vec a = ToVector(SkyToMechanical(model, site, sky)), b = ToVector(mech);
  return eraSepp(a.data(), b.data()) / kRad * kArcsecPerDegree <= kRoundTripArcsec;
}

// A mount past a pole (declination beyond 90 degrees, as a German mount's axis
// can read) points where the axes at the declination mirrored in the pole and
// the hour angle half a turn on do.
HaDec OverThePole(HaDec m) {
  if (std::abs(m.dec) <= kPoleDeg) return m;
  const double d = std::remainder(m.dec, 2 * kHalfTurnDeg);
  if (d > kPoleDeg) return {m.ha + kHalfTurnHours, kHalfTurnDeg - d};
  if (d < -kPoleDeg) return {m.ha + kHalfTurnHours, -kHalfTurnDeg - d};
  return {m.ha, d};
}

Error NoInverseAt(HaDec mech) {
  char text[120];
  std::snprintf(text, sizeof text,
                "Pointing model has no inverse at hour angle %.3f h, declination %.4f\u00b0",
                Wrap12(mech.ha), mech.dec);
  return Error(errors::kNoInverse, text);
}

}  // namespace

double GreenwichMeanSiderealTime(double ut) {
  // The Julian date split as ERFA likes it: the epoch, then the small part.
  const double ut_days = ut / kSecondsPerDay;
  const double tt_days = (ut + kTtMinusUtSeconds) / kSecondsPerDay;
  return Wrap24(Hours(eraGmst06(kJ2000, ut_days, kJ2000, tt_days)));
}

double GreenwichApparentSiderealTime(double ut) {
  // The equation of the equinoxes changes by under 0.1" a day; once a minute
  // is far finer than the program can see.
  struct Cache {
    double minute = NAN;
    double hours = 0;
  };
  thread_local Cache ee;
  const double minute = std::floor(ut / 60.0);
  if (!(minute == ee.minute)) {
    const double tt_days = (minute * 60.0 + kTtMinusUtSeconds) / kSecondsPerDay;
    ee = {minute, Hours(eraEe06a(kJ2000, tt_days))};
  }
  return Wrap24(GreenwichMeanSiderealTime(ut) + ee.hours);
}

double LocalSiderealTime(const Site& site, double ut) {
  return Wrap24(GreenwichApparentSiderealTime(ut) + site.longitude_deg / kDegreesPerHour);
}

RefractionConstants RefractionFor(const Site& site) {
  struct Cache {
    double pressure = NAN, temperature = NAN, humidity = NAN;
    RefractionConstants k{0, 0};
  };
  thread_local Cache c;
  if (!(site.pressure_hpa == c.pressure && site.temperature_c == c.temperature &&
        site.relative_humidity == c.humidity)) {
    c.pressure = site.pressure_hpa;
    c.temperature = site.temperature_c;
    c.humidity = site.relative_humidity;
    eraRefco(site.pressure_hpa, site.temperature_c, site.relative_humidity, kWavelengthMicrons,
             &c.k.a, &c.k.b);
  }
  return c.k;
}

double RefractionArcsec(double altitude_deg, const Site& site) {
  // On the meridian of a site at 45 degrees north, south of the zenith: the
  // lift is all in declination, and every altitude down to -45 degrees has a
  // declination there.
  const Site north{45, 0, site.pressure_hpa, site.temperature_c, site.relative_humidity};
  const double dec = altitude_deg - 45.0;
  return (Refract(north, {0.0, dec}).dec - dec) * kArcsecPerDegree;
}

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b) {
  return {a.ih + b.ih, a.id + b.id, a.ch + b.ch, a.np + b.np,
          a.ma + b.ma, a.me + b.me, a.tf + b.tf};
}

bool operator==(const PointingTerms& a, const PointingTerms& b) {
  return a.ih == b.ih && a.id == b.id && a.ch == b.ch && a.np == b.np && a.ma == b.ma &&
         a.me == b.me && a.tf == b.tf;
}

HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky) {
  const HaDec observed = model.refraction ? Refract(site, sky) : sky;
  return ApplyTerms(model.terms, site, observed);
}

// Tries the plain iteration first, as it is fast and exact wherever it
// converges; near a pole, the search made for it. Either way the answer must
// map back onto the mount's position.
HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical) {
  if (!std::isfinite(mechanical.ha) || !std::isfinite(mechanical.dec)) {
    throw NoInverseAt(mechanical);
  }
  const HaDec mech = OverThePole(mechanical);
  bool plain = mech.dec == mechanical.dec;
  std::optional<HaDec> observed =
      FixedPoint([&](HaDec o) { return ApplyTerms(model.terms, site, o); }, mech);
  if (!observed) {
    plain = false;
    observed = InvertTermsNearPole(model.terms, site, mech);
    if (!observed) throw NoInverseAt(mechanical);
  }
  HaDec sky = *observed;
  if (model.refraction) {
    const auto refract = [&](HaDec s) { return Refract(site, s); };
    const std::optional<HaDec> lifted = FixedPoint(refract, sky);
    plain = plain && lifted;
    sky = lifted ? *lifted : InvertOnSphere(refract, sky);
  }
  if (!MapsBackTo(model, site, sky, mech)) throw NoInverseAt(mechanical);
  // Within half a turn of the mount's hour angle, as the plain iteration leaves it.
  if (!plain) sky.ha = mechanical.ha + Wrap12(sky.ha - mechanical.ha);
  return sky;
}

}  // namespace orvan::program
