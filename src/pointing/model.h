#pragma once

#include "pointing/sky.h"
#include "pointing/terms.h"

namespace orvan::pointing {

struct PointingModel {
  PointingTerms terms;
  bool refraction = true;
};

// Where the axes must be for a true sky position: refraction first, then the
// terms, evaluated on the given side (sides.h); on the side through the pole
// the answer lies beyond the pole, |δ| > 90°.
HaDec SkyToMechanical(const PointingModel& model, const Site& site, HaDec sky,
                      bool through_pole = false);
// The inverse: the true sky position the axes point at, solved to rounding
// and checked by mapping it back, which must land within 1e-6" of the mount's
// position on the sky. Declination comes back in [-90, 90], the hour angle
// within 12 h of the mount's. A mechanical position beyond a pole is the side
// through the pole, and the terms are evaluated there. Near a pole the tan
// and sec terms give one mount position many sky positions; the one the
// terms move least in hour angle is taken. Where there is none (within about
// the terms' size of a pole, where they would put the sky past it),
// orvan::Error errors::kNoInverse naming the mount's position.
HaDec MechanicalToSky(const PointingModel& model, const Site& site, HaDec mechanical);

}  // namespace orvan::pointing
