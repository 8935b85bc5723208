#pragma once

#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <initializer_list>
#include <utility>

#include "pointing/angles.h"
#include "pointing/sky.h"
#include "pointing/terms.h"

// What the pointing library's tests check against: ERFA's own routines and
// constants, and terms written out by name.
namespace orvan::pointing {

inline constexpr double kRad = ERFA_DD2R;
inline constexpr double kArcsecPerRadian = ERFA_DR2AS;

// Refraction at observed altitude (degrees) by the model eraRefco's constants
// belong to, dZ = A tan z + B tan^3 z (arc-seconds).
inline double ModelArcsec(double observed_alt_deg, const Site& s) {
  double a = 0, b = 0;
  eraRefco(s.pressure_hpa, s.temperature_c, s.relative_humidity, 0.55, &a, &b);
  const double tz = std::tan((90 - observed_alt_deg) * kRad);
  return (a * tz + b * tz * tz * tz) * kArcsecPerRadian;
}

// Terms by name, the rest zero.
inline PointingTerms With(std::initializer_list<std::pair<Term, double>> terms) {
  PointingTerms t;
  for (const auto& [term, value] : terms) t[term] = value;
  return t;
}

}  // namespace orvan::pointing
