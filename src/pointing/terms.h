#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

// The pointing model's terms, each defined once, as data: what the forward
// map, its inverse, the model file and the fitter all read.
namespace orvan::pointing {

// What one arc-second of a term does at a position: arc-seconds of hour
// angle (not scaled by cos δ) and arc-seconds of declination.
struct TermEffect {
  double dh;
  double ddec;
};

struct TermDef {
  std::string_view name;     // TPOINT's name, upper case
  std::string_view meaning;  // what it models, in a few words
  // At hour angle h, declination dec (the position the term is evaluated
  // at) and latitude lat, all in radians.
  TermEffect (*effect)(double h, double dec, double lat);
};

inline constexpr std::size_t kTermCount = 14;

// Positions in Terms(), for code that names a term.
enum class Term : std::size_t { IH, ID, CH, NP, MA, ME, TF, FO, DAF, TX, HCES, HCEC, DCES, DCEC };

// Every term, in Term's order. Each is mechanical minus observed, with
// TPOINT's sign convention: mechanical = observed + Σ value × effect(observed).
std::span<const TermDef, kTermCount> Terms();
// The index of the term named `name`, in any case; nothing for an unknown name.
std::optional<std::size_t> FindTerm(std::string_view name);

// A model's coefficients in arc-seconds, indexed like Terms().
struct PointingTerms {
  std::array<double, kTermCount> value{};

  double& operator[](Term t) { return value[static_cast<std::size_t>(t)]; }
  double operator[](Term t) const { return value[static_cast<std::size_t>(t)]; }
  friend bool operator==(const PointingTerms&, const PointingTerms&) = default;
};

PointingTerms operator+(const PointingTerms& a, const PointingTerms& b);

// The sum of the terms' effects at an observed position (radians, as
// TermDef takes it), in arc-seconds as TermEffect has them. Zero terms are
// skipped, so a model of few terms costs few.
TermEffect TermsEffect(const PointingTerms& terms, double h, double dec, double lat);

}  // namespace orvan::pointing
