#pragma once

// A mount of amateur size as it really is, and a night of plate solves
// taken on it: what the model chain benchmark fits its pointing model to.

#include <random>
#include <vector>

#include "model/points.h"
#include "observatory/sim/observatory.h"

namespace orvan::bench {

// The air the program has for the night: told the site's, 10 hPa and 5 °C
// away from the truth, or measured (the truth itself, as a weather station
// reads it).
enum class Air { Told, Measured };
const char* AirName(Air air);

// The simulated observatory as it really is: the default site, a German
// mount with the true terms (polar axis 5' out, CH 60", NP 30", TF 20",
// FO 10", and index errors) and the night's air, 10 hPa and 5 °C denser
// than the site's; `air` says which of the two the program is given. Its
// model is for the caller to set.
sim::ObservatoryConfig TrueObservatory(Air air = Air::Told);
pointing::PointingTerms TrueTerms();
// What a fit should find: the true terms, and TX for the air. The denser air
// lifts a star by (A' - A) tan z + (B' - B) tan^3 z more than the program's
// refraction (ERFA's A and B, the true air's primed); TX, tube flexure
// along the vertical by tan z, has the shape of the first part and the
// opposite sign, so TX = -(A' - A). The second part is under 0.2" down to
// the 12° the low targets reach, and no term has its shape. With the air
// measured there is nothing for TX to take: it is 0.
pointing::PointingTerms FittedTruth(Air air = Air::Told);

// `count` plate solves spread over the sky on both sides of the pier, taken
// 3 minutes apart before NightStart(): the mount read at positions from 5 h
// east to 5 h west of the meridian (east of it through the pole),
// declination -25° to 80°, at least 20° up; the star found there where the
// simulated mount really points, refracted by the air the program has (as
// the solver's places are turned into observed ones), with Gaussian noise of
// `noise_arcsec` on the sky on each axis. The same draw gives the same
// positions and noise whatever the air.
std::vector<model::Point> PlateSolves(int count, double noise_arcsec, std::mt19937& random,
                                      Air air = Air::Told);

}  // namespace orvan::bench
