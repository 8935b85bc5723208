#include "pointing/model.h"

#include <erfam.h>

#include <cmath>
#include <cstdio>
#include <optional>

#include "pointing/angles.h"
#include "pointing/inverse.h"
#include "pointing/sides.h"
#include "support/error.h"

namespace orvan::pointing {
namespace {

using inverse::SidedTerms;

constexpr double kRad = ERFA_DPI / kHalfTurnDeg;

// A sky position is believed when it maps back to within this of the mount's
// own position (arc-seconds on the sky): far below anything a mount can show,
// far above rounding.
constexpr double kRoundTripArcsec = 1e-6;

HaDec Shifted(HaDec p, TermEffect e) {
  return {p.ha + e.dh / kArcsecPerHour, p.dec + e.ddec / kArcsecPerDegree};
}

TermEffect EffectAt(const PointingTerms& terms, double latitude_deg, HaDec at) {
  return TermsEffect(terms, at.ha * kDegreesPerHour * kRad, at.dec * kRad, latitude_deg * kRad);
}

// Solves f(x) = target for x where f is the identity plus a small, smooth
// displacement, by fixed-point iteration; converges to rounding in a few steps.
// Within about an arc-minute of a pole the tan and sec terms, and refraction's
// hour-angle shift, change faster than the hour angle itself and the iteration
// runs away: nothing then, nor for an answer past a pole.
template <typename F>
std::optional<HaDec> FixedPoint(F f, HaDec target) {
  HaDec x = target;
  for (int i = 0; i < inverse::kFixedPointSteps; ++i) {
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

// A mechanical position beyond a pole (the side through the pole) in the
// ordinary frame: the declination mirrored in the pole, the hour angle half a
// turn on; the inverse works there, with the terms brought to that frame.
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

namespace inverse {

// On the side through the pole the terms act on that side's axes, whose
// declination runs the other way: the declination shift comes back negated.
TermEffect SidedTerms::ShiftAt(HaDec observed) const {
  const TermEffect e = EffectAt(terms, latitude_deg, InSideFrame(observed, through_pole));
  return through_pole ? TermEffect{e.dh, -e.ddec} : e;
}

HaDec SidedTerms::Apply(HaDec observed) const {
  return Shifted(observed, ShiftAt(observed));
}

}  // namespace inverse

HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky, bool through_pole) {
  const HaDec observed = model.refraction ? Refract(site, sky) : sky;
  const HaDec at = InSideFrame(observed, through_pole);
  return Shifted(at, EffectAt(model.terms, site.latitude_deg, at));
}

// Tries the plain iteration first, as it is fast and exact wherever it
// converges; near a pole, the search made for it. Either way the answer must
// map back onto the mount's position.
HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical) {
  if (!std::isfinite(mechanical.ha) || !std::isfinite(mechanical.dec)) {
    throw NoInverseAt(mechanical);
  }
  const bool through_pole = ThroughPole(mechanical);
  const SidedTerms terms{model.terms, site.latitude_deg, through_pole};
  const HaDec mech = OverThePole(mechanical);
  bool plain = mech.dec == mechanical.dec;
  std::optional<HaDec> observed = FixedPoint([&](HaDec o) { return terms.Apply(o); }, mech);
  if (!observed) {
    plain = false;
    observed = inverse::InvertTermsNearPole(terms, mech);
    if (!observed) throw NoInverseAt(mechanical);
  }
  HaDec sky = *observed;
  if (model.refraction) {
    const auto refract = [&](HaDec s) { return Refract(site, s); };
    const std::optional<HaDec> lifted = FixedPoint(refract, sky);
    plain = plain && lifted;
    sky = lifted ? *lifted : inverse::InvertOnSphere(refract, sky);
  }
  const HaDec back = SkyToMechanical(model, site, sky, through_pole);
  if (!(inverse::SeparationArcsec(back, mechanical) <= kRoundTripArcsec))
    throw NoInverseAt(mechanical);
  // Within half a turn of the mount's hour angle, as the plain iteration leaves it.
  if (!plain) sky.ha = mechanical.ha + Wrap12(sky.ha - mechanical.ha);
  return sky;
}

}  // namespace orvan::pointing
