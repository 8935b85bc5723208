#pragma once

// A mount of amateur size as it really is, and a night of plate solves
// taken on it: what the model chain benchmark fits its pointing model to.

#include <random>
#include <vector>

#include "model/points.h"
#include "observatory/sim/observatory.h"

namespace orvan::bench {

// The simulated observatory as it really is: the default site, a German
// mount with the true terms (polar axis 5' out, CH 60", NP 30", TF 20",
// FO 10", and index errors) and the night's air, 10 hPa and 5 °C away from
// the site's, which is what the program is told. Its model is for the caller
// to set.
sim::ObservatoryConfig TrueObservatory();
pointing::PointingTerms TrueTerms();
// What a fit should find: the true terms, and TX for the air. The denser air
// lifts a star by (A' - A) tan z + (B' - B) tan^3 z more than the program's
// refraction (ERFA's A and B, the true air's primed); TX, tube flexure
// along the vertical by tan z, has the shape of the first part and the
// opposite sign, so TX = -(A' - A). The second part is under 0.2" down to
// the 12° the low targets reach, and no term has its shape.
pointing::PointingTerms FittedTruth();

// `count` plate solves spread over the sky on both sides of the pier, taken
// 3 minutes apart before NightStart(): the mount read at positions from 5 h
// east to 5 h west of the meridian (east of it through the pole),
// declination -25° to 80°, at least 20° up; the star found there where the
// simulated mount really points, refracted by the site's air (as the
// solver's places are turned into observed ones), with Gaussian noise of
// `noise_arcsec` on the sky on each axis.
std::vector<model::Point> PlateSolves(int count, double noise_arcsec, std::mt19937& random);

}  // namespace orvan::bench
