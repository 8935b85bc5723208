#include "pointing/sides.h"

#include <cmath>

#include "pointing/angles.h"

namespace orvan::pointing {

HaDec InSideFrame(HaDec observed, bool through_pole) {
  if (!through_pole) return observed;
  const double pole = std::copysign(kHalfTurnDeg, observed.dec);
  return {observed.ha + kHalfTurnHours, pole - observed.dec};
}

bool ThroughPole(HaDec mechanical) {
  return std::abs(mechanical.dec) > kPoleDeg;
}

}  // namespace orvan::pointing
