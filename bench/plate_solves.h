#pragma once

// A mount of amateur size as it really is, and a night of plate solves
// taken on it: what the model chain benchmark fits its pointing model to.

#include <random>
#include <string_view>
#include <vector>

#include "model/fit.h"
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

// The default terms, FO and TX: everything the points are really made of.
// FO because the true mount has it: left out, its 10" would go into ME,
// which shares its effect in declination. TX because the air is denser than
// the program is told: its refraction comes out short by a share of tan z,
// TX's shape (see FittedTruth); left out, TF takes part of it (2 to 3" off)
// and the rest moves the held star as the target rises or sets. With the air
// measured, refraction is right and TX is left out (the last term).
inline constexpr std::string_view kFitTerms[] = {"IH", "ID", "CH", "NP", "MA",
                                                 "ME", "TF", "FO", "TX"};
inline constexpr std::size_t kTermsWithoutTx = std::size(kFitTerms) - 1;

// A model fitted to `points` plate solves at `noise` arc-seconds, each case
// from a draw of its own, the same on every run and for either air.
struct Case {
  int points;
  double noise;
  Air air;
  model::FitResult fit;
  // The true observatory with the fitted model, as read from its file.
  sim::ObservatoryConfig observatory;
};
Case FitCase(int points, double noise, Air air);

}  // namespace orvan::bench
