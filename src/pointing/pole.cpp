#include <algorithm>
#include <cmath>

#include "pointing/angles.h"
#include "pointing/inverse.h"

namespace orvan::pointing::inverse {
namespace {

// Hour angles sampled round the pole when the terms are inverted there (two
// minutes of time apart), and halvings that take one gap down to rounding.
constexpr int kPoleSamples = 720;
constexpr int kBisections = 64;

// The observed declination the terms carry to `mech_dec` at observed hour
// angle h. The declination terms hardly depend on declination, so this
// settles in two or three steps.
double DecMeeting(const SidedTerms& t, double h, double mech_dec) {
  double d = mech_dec;
  for (int i = 0; i < kFixedPointSteps; ++i) {
    const double next = mech_dec - t.ShiftAt({h, d}).ddec / kArcsecPerDegree;
    const bool settled = std::abs(next - d) < 1e-13;
    d = next;
    if (settled) break;
  }
  return d;
}

// How far (hours, not wrapped) the terms carry observed hour angle h, at the
// declination that meets the mount's, past the mount's hour angle; NaN where
// that declination would lie past a pole.
double HourAngleMiss(const SidedTerms& t, HaDec mech, double h) {
  const double d = DecMeeting(t, h, mech.dec);
  if (!(std::abs(d) <= kPoleDeg)) return NAN;
  return h + t.ShiftAt({h, d}).dh / kArcsecPerHour - mech.ha;
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

}  // namespace

// Near a pole the sec and tan terms wind the hour angle round the pole, so a
// mount position there has many observed positions, all near the pole (and at
// the pole itself, infinitely many). Of these this takes the one the terms
// move least in hour angle, which is the one the fixed point finds further
// out: it samples the observed hour angles all round, picks the pair of
// samples between which that one lies, and bisects for it.
std::optional<HaDec> InvertTermsNearPole(const SidedTerms& t, HaDec mech) {
  const double step = kHoursPerTurn / kPoleSamples, start = mech.ha - kHalfTurnHours;
  double best = INFINITY, lo = 0, turns = 0;
  double u0 = HourAngleMiss(t, mech, start);
  for (int i = 0; i < kPoleSamples; ++i) {
    const double h0 = start + i * step;
    const double u1 = HourAngleMiss(t, mech, h0 + step);
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
  const double h = Bisect(
      [&](double x) { return HourAngleMiss(t, mech, x) - turns * kHoursPerTurn; }, lo, lo + step);
  return HaDec{h, DecMeeting(t, h, mech.dec)};
}

}  // namespace orvan::pointing::inverse
