#include "plate_solves.h"

#include <cmath>
#include <memory>

#include "holding.h"
#include "observatory/sim/simulated_observatory.h"
#include "pointing/model.h"
#include "pointing/model_file.h"
#include "pointing/sides.h"
#include "pointing/sky.h"
#include "support/units.h"

namespace orvan::bench {
namespace {

using pointing::HaDec;
using pointing::Term;

// Denser air than the program is told bends more: the model's refraction
// comes out about 3 % short.
constexpr double kPressureOffsetHpa = 10;
constexpr double kTemperatureOffsetC = -5;

constexpr double kEastmostHours = -5, kWestmostHours = 5;
constexpr double kSouthmostDeg = -25, kNorthmostDeg = 80;
constexpr double kLowestDeg = 20;
constexpr double kSecondsApart = 3 * 60;

double AltitudeDeg(HaDec p, double latitude_deg) {
  const double h = p.ha * kDegreesPerHour * kRadiansPerDegree;
  const double d = p.dec * kRadiansPerDegree, lat = latitude_deg * kRadiansPerDegree;
  return std::asin(std::sin(d) * std::sin(lat) + std::cos(d) * std::cos(h) * std::cos(lat)) /
         kRadiansPerDegree;
}

}  // namespace

pointing::PointingTerms TrueTerms() {
  pointing::PointingTerms t;
  t[Term::IH] = 120;
  t[Term::ID] = -75;
  t[Term::CH] = 60;
  t[Term::NP] = 30;
  t[Term::MA] = 180;  // MA and ME together: the polar axis 300" (5') from the pole
  t[Term::ME] = 240;
  t[Term::TF] = 20;
  t[Term::FO] = 10;
  return t;
}

const char* AirName(Air air) {
  return air == Air::Told ? "told" : "measured";
}

pointing::PointingTerms FittedTruth(Air air) {
  const sim::ObservatoryConfig c = TrueObservatory(air);
  pointing::Site true_air = c.site;
  true_air.pressure_hpa += c.true_pressure_offset_hpa;
  true_air.temperature_c += c.true_temperature_offset_c;
  const double told_a = pointing::RefractionFor(c.site).a;
  const double true_a = pointing::RefractionFor(true_air).a;
  pointing::PointingTerms t = TrueTerms();
  t[Term::TX] = -(true_a - told_a) / kRadiansPerDegree * kArcsecPerDegree;
  return t;
}

sim::ObservatoryConfig TrueObservatory(Air air) {
  sim::ObservatoryConfig c = sim::DefaultObservatoryConfig();
  c.true_terms = TrueTerms();
  if (air == Air::Told) {
    c.true_pressure_offset_hpa = kPressureOffsetHpa;
    c.true_temperature_offset_c = kTemperatureOffsetC;
  } else {
    c.site.pressure_hpa += kPressureOffsetHpa;
    c.site.temperature_c += kTemperatureOffsetC;
  }
  c.mount.german = true;
  return c;
}

std::vector<model::Point> PlateSolves(int count, double noise_arcsec, std::mt19937& random,
                                      Air air) {
  const sim::ObservatoryConfig config = TrueObservatory(air);
  const sim::Observatory truth(config, std::make_shared<program::VirtualClock>(NightStart()));
  std::uniform_real_distribution<double> unit(0, 1);
  std::normal_distribution<double> noise(0, noise_arcsec);
  std::vector<model::Point> points;
  while (points.size() < static_cast<std::size_t>(count)) {
    // One point in each slice of hour angle, so that even a few cover the sky.
    const double slice = (static_cast<double>(points.size()) + unit(random)) / count;
    const HaDec aimed{kEastmostHours + (kWestmostHours - kEastmostHours) * slice,
                      kSouthmostDeg + (kNorthmostDeg - kSouthmostDeg) * unit(random)};
    if (AltitudeDeg(aimed, config.site.latitude_deg) < kLowestDeg) continue;
    const double ut = NightStart() - kSecondsApart * static_cast<double>(count - points.size());
    const double lst = pointing::LocalSiderealTime(config.site, ut);
    const bool through_pole = aimed.ha < 0;
    const program::RaDec star =
        truth.TrueSkyAt({Wrap24(lst - aimed.ha), aimed.dec}, through_pole, ut);
    HaDec seen = pointing::Refract(config.site, {Wrap12(lst - star.ra), star.dec});
    seen.ha += noise(random) / std::cos(seen.dec * kRadiansPerDegree) / kArcsecPerHour;
    seen.dec += noise(random) / kArcsecPerDegree;
    model::Point p;
    p.source = "simulated";
    p.line = static_cast<int>(points.size()) + 1;
    p.observed = seen;
    p.mechanical = pointing::InSideFrame(aimed, through_pole);  // |dec| > 90 through the pole
    p.mechanical.ha = Wrap12(p.mechanical.ha);
    p.latitude_deg = config.site.latitude_deg;
    p.through_pole = through_pole;
    points.push_back(p);
  }
  return points;
}

Case FitCase(int points, double noise, Air air) {
  constexpr unsigned kSeed = 20261208;
  std::mt19937 random(kSeed + static_cast<unsigned>(points) * 10 +
                      static_cast<unsigned>(noise * 2));
  const std::vector<model::Point> solves = PlateSolves(points, noise, random, air);
  std::vector<std::size_t> terms;
  const std::size_t count = air == Air::Told ? std::size(kFitTerms) : kTermsWithoutTx;
  for (std::size_t k = 0; k < count; ++k) terms.push_back(*pointing::FindTerm(kFitTerms[k]));
  Case c{points, noise, air, model::Fit(solves, terms), TrueObservatory(air)};
  c.observatory.model.terms =
      pointing::ParsePointingModel(pointing::FormatPointingModel(c.fit.Model()), "fitted model");
  return c;
}

}  // namespace orvan::bench
