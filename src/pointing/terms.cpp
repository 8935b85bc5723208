#include "pointing/terms.h"

#include <cmath>

#include "support/ascii.h"

namespace orvan::pointing {
namespace {

using std::cos;
using std::sin;
using std::tan;

double Sec(double x) {
  return 1.0 / cos(x);
}

// Cosine of the zenith distance at hour angle h, declination d, latitude lat.
double CosZenith(double h, double d, double lat) {
  return sin(d) * sin(lat) + cos(d) * cos(h) * cos(lat);
}

// TPOINT's equatorial and general terms (P. T. Wallace, TPOINT manual,
// "The pointing terms"); the formulas are written out in
// docs/pointing-model.md.
constexpr std::array<TermDef, kTermCount> kTerms{{
    {"IH", "hour-angle index error",
     [](double, double, double) {
       return TermEffect{1, 0};
     }},
    {"ID", "declination index error",
     [](double, double, double) {
       return TermEffect{0, 1};
     }},
    {"CH", "east-west collimation error",
     [](double, double d, double) {
       return TermEffect{Sec(d), 0};
     }},
    {"NP", "non-perpendicularity of the axes",
     [](double, double d, double) {
       return TermEffect{tan(d), 0};
     }},
    {"MA", "polar axis left-right of the pole",
     [](double h, double d, double) {
       return TermEffect{-cos(h) * tan(d), sin(h)};
     }},
    {"ME", "polar axis above or below the pole",
     [](double h, double d, double) {
       return TermEffect{sin(h) * tan(d), cos(h)};
     }},
    {"TF", "tube flexure, sine of the zenith distance",
     [](double h, double d, double lat) {
       return TermEffect{cos(lat) * sin(h) * Sec(d),
                         cos(lat) * cos(h) * sin(d) - sin(lat) * cos(d)};
     }},
    {"FO", "fork or declination-axis flexure",
     [](double h, double, double) {
       return TermEffect{0, cos(h)};
     }},
    {"DAF", "declination-axis flexure",
     [](double h, double d, double lat) {
       return TermEffect{-(cos(lat) * cos(h) + sin(lat) * tan(d)), 0};
     }},
    {"TX", "tube flexure, tangent of the zenith distance",
     [](double h, double d, double lat) {
       const double c = CosZenith(h, d, lat);
       return TermEffect{cos(lat) * sin(h) * Sec(d) / c,
                         (cos(lat) * cos(h) * sin(d) - sin(lat) * cos(d)) / c};
     }},
    {"HCES", "hour-angle centring error, sine",
     [](double h, double, double) {
       return TermEffect{sin(h), 0};
     }},
    {"HCEC", "hour-angle centring error, cosine",
     [](double h, double, double) {
       return TermEffect{cos(h), 0};
     }},
    {"DCES", "declination centring error, sine",
     [](double, double d, double) {
       return TermEffect{0, sin(d)};
     }},
    {"DCEC", "declination centring error, cosine",
     [](double, double d, double) {
       return TermEffect{0, cos(d)};
     }},
}};

}  // namespace

std::span<const TermDef, kTermCount> Terms() {
  return kTerms;
}

std::optional<std::size_t> FindTerm(std::string_view name) {
  const std::string lower = AsciiLower(name);
  for (std::size_t i = 0; i < kTermCount; ++i)
    if (AsciiLower(kTerms[i].name) == lower) return i;
  return std::nullopt;
}

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b) {
  PointingTerms sum;
  for (std::size_t i = 0; i < kTermCount; ++i) sum.value[i] = a.value[i] + b.value[i];
  return sum;
}

TermEffect TermsEffect(const PointingTerms& terms, double h, double dec, double lat) {
  TermEffect sum{0, 0};
  for (std::size_t i = 0; i < kTermCount; ++i) {
    const double v = terms.value[i];
    if (v == 0) continue;
    const TermEffect e = kTerms[i].effect(h, dec, lat);
    sum.dh += v * e.dh;
    sum.ddec += v * e.ddec;
  }
  return sum;
}

}  // namespace orvan::pointing
