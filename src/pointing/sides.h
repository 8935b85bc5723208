#pragma once

#include "pointing/sky.h"

// The two sides of a German mount. On one side the mount looks at the sky
// the ordinary way; on the other (on INDI: TELESCOPE_PIER_SIDE PIER_WEST,
// the telescope east of the meridian) its declination axis has turned
// through the pole, and its axes read hour angle 12 h on and declination
// beyond ±90°. TPOINT-layout data write that side so, and the terms are
// evaluated there: one set of terms covers both sides.
namespace orvan::pointing {

// On the side through the pole, the observed position as that side's axes
// count it: (h + 12 h, ±180° − δ), the sign of δ's; otherwise unchanged.
// Applied twice it gives the position back (hour angle a turn on).
HaDec InSideFrame(HaDec observed, bool through_pole);

// Whether a mechanical position is on the side through the pole: |δ| > 90°.
bool ThroughPole(HaDec mechanical);

}  // namespace orvan::pointing
