#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <utility>

#include "pointing/angles.h"
#include "pointing/inverse.h"

namespace orvan::pointing::inverse {
namespace {

constexpr double kRad = ERFA_DPI / kHalfTurnDeg;
// The search on the sphere: most steps, the step (radians) for its numerical
// Jacobian, the smallest fraction of a step it tries, and the miss (radians)
// it stops at, near rounding.
constexpr int kNewtonSteps = 30;
constexpr double kJacobianStep = 1e-7;
constexpr double kSmallestStep = 1e-9;
constexpr double kSolvedRadians = 1e-15;

using Vec = std::array<double, 3>;

Vec ToVector(HaDec p) {
  Vec v;
  eraS2c(p.ha * kDegreesPerHour * kRad, p.dec * kRad, v.data());
  return v;
}

HaDec FromVector(Vec v) {
  double theta, phi;
  eraC2s(v.data(), &theta, &phi);
  return {theta / kRad / kDegreesPerHour, phi / kRad};
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

}  // namespace

// Gauss-Newton steps in a frame tangent at the current estimate, with a
// numerical Jacobian, each step halved until it brings the image nearer.
HaDec InvertOnSphere(const std::function<HaDec(HaDec)>& f, HaDec target) {
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

double SeparationArcsec(HaDec a, HaDec b) {
  Vec va = ToVector(a), vb = ToVector(b);
  return eraSepp(va.data(), vb.data()) / kRad * kArcsecPerDegree;
}

}  // namespace orvan::pointing::inverse
