#pragma once

#include <array>
#include <functional>
#include <optional>

#include "pointing/sky.h"
#include "pointing/terms.h"

// The pieces the inverse of the pointing model is built from (model.cpp);
// internal to the pointing library.
namespace orvan::pointing::inverse {

// Steps of a plain iteration before it is taken not to converge; it needs
// under ten where it works.
inline constexpr int kFixedPointSteps = 50;

// The terms on one side of the mount, as they shift an observed position in
// the ordinary frame (|δ| ≤ 90°): on the side through the pole they are
// evaluated in that side's frame and the shift brought back.
struct SidedTerms {
  const PointingTerms& terms;
  double latitude_deg;
  bool through_pole;

  // Arc-seconds of hour angle and of declination.
  TermEffect ShiftAt(HaDec observed) const;
  HaDec Apply(HaDec observed) const;
};

// Near a pole, where the plain iteration runs away: the observed position
// the terms carry to `mech` that they move least in hour angle; nothing
// where there is none.
std::optional<HaDec> InvertTermsNearPole(const SidedTerms& t, HaDec mech);

// The position f carries to `target`, searched for on the sphere; the best
// found, for the caller to judge.
HaDec InvertOnSphere(const std::function<HaDec(HaDec)>& f, HaDec target);

// The angle between two positions, in arc-seconds; hour angle counts for
// nothing at the pole, and a position beyond a pole is where it points.
double SeparationArcsec(HaDec a, HaDec b);

}  // namespace orvan::pointing::inverse
