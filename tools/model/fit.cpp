#include "fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "least_squares.h"
#include "pointing/sides.h"
#include "support/units.h"

namespace orvan::model {
namespace {

constexpr double kHoursPerDay = 24;
constexpr double kDegreesPerTurn = 360;
constexpr std::size_t kEquationsPerPoint = 2;

// A point as the terms see it: the observed position in the mount's frame on
// its side of the pier (radians), and what the model has to explain there
// (mechanical minus observed, arc-seconds of hour angle and declination).
struct Offsets {
  double h, dec, lat;
  double dh, ddec;
  double cos_dec;    // of the observed declination: weighs the hour angle onto the sky
  double dec_sense;  // +1, or -1 through the pole, where the mount's declination runs south
};

Offsets OffsetsOf(const Point& p) {
  const pointing::HaDec frame = pointing::InSideFrame(p.observed, p.through_pole);
  return Offsets{frame.ha * kRadiansPerHour, frame.dec * kRadiansPerDegree,
                 p.latitude_deg * kRadiansPerDegree,
                 std::remainder(p.mechanical.ha - frame.ha, kHoursPerDay) * kArcsecPerHour,
                 // A reading through either pole is the same axis angle, a turn apart.
                 std::remainder(p.mechanical.dec - frame.dec, kDegreesPerTurn) * kArcsecPerDegree,
                 std::cos(p.observed.dec * kRadiansPerDegree), p.through_pole ? -1.0 : 1.0};
}

std::string TermName(std::size_t term) {
  return std::string(pointing::Terms()[term].name);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

[[noreturn]] void Indeterminate(std::span<const std::size_t> terms, const Indistinct& which) {
  std::string names;
  for (std::size_t column : which.columns) {
    if (!names.empty()) names += ", ";
    names += TermName(terms[column]);
  }
  const std::string what =
      which.columns.size() == 1 ? "cannot determine " + names : "cannot tell " + names + " apart";
  throw FitError("the points " + what +
                 ": spread them wider in hour angle and declination, or leave " +
                 (which.columns.size() == 1 ? "it" : "some") + " out of --terms");
}

// Every point's two equations, weighted so that each residual is on the sky:
// A x ≈ b, rows 2i (hour angle) and 2i + 1 (declination) for point i. The
// effects don't change as points are dropped, so they are worked out once.
struct Equations {
  Eigen::MatrixXd a;
  Eigen::VectorXd b;
  std::vector<double> dec_sense;
};

Equations EquationsOf(std::span<const Offsets> offsets, std::span<const std::size_t> terms) {
  const auto rows = static_cast<Eigen::Index>(kEquationsPerPoint * offsets.size());
  Equations eq{
      Eigen::MatrixXd(rows, static_cast<Eigen::Index>(terms.size())), Eigen::VectorXd(rows), {}};
  Eigen::Index row = 0;
  for (const Offsets& o : offsets) {
    for (std::size_t j = 0; j < terms.size(); ++j) {
      const pointing::TermEffect e = pointing::Terms()[terms[j]].effect(o.h, o.dec, o.lat);
      eq.a(row, Eigen::Index(j)) = e.dh * o.cos_dec;
      eq.a(row + 1, Eigen::Index(j)) = e.ddec;
    }
    eq.b(row) = o.dh * o.cos_dec;
    eq.b(row + 1) = o.ddec;
    eq.dec_sense.push_back(o.dec_sense);
    row += 2;
  }
  return eq;
}

// The least-squares values of the terms over the points `used`, with their
// covariance for unit weight.
LeastSquares Solve(const Equations& eq, std::span<const std::size_t> used,
                   std::span<const std::size_t> terms) {
  const auto rows = static_cast<Eigen::Index>(kEquationsPerPoint * used.size());
  Eigen::MatrixXd a(rows, eq.a.cols());
  Eigen::VectorXd b(rows);
  Eigen::Index row = 0;
  for (std::size_t i : used) {
    const auto from = static_cast<Eigen::Index>(kEquationsPerPoint * i);
    a.middleRows(row, 2) = eq.a.middleRows(from, 2);
    b.segment(row, 2) = eq.b.segment(from, 2);
    row += 2;
  }
  LeastSquares solution;
  Indistinct indistinct;
  if (!SolveLeastSquares(a, b, solution, indistinct)) Indeterminate(terms, indistinct);
  return solution;
}

SkyResidual ResidualOf(const Offsets& o, const pointing::PointingTerms& model) {
  double dh = o.dh, ddec = o.ddec;
  for (std::size_t t = 0; t < pointing::kTermCount; ++t) {
    if (model.value[t] == 0) continue;
    const pointing::TermEffect e = pointing::Terms()[t].effect(o.h, o.dec, o.lat);
    dh -= model.value[t] * e.dh;
    ddec -= model.value[t] * e.ddec;
  }
  return SkyResidual{dh * o.cos_dec, ddec * o.dec_sense};
}

// One fit over `used`: values, standard errors, every point's residual, RMS.
void FitOnce(const Equations& eq, FitResult& r) {
  const LeastSquares s = Solve(eq, r.used, r.terms);
  r.values.assign(s.x.data(), s.x.data() + s.x.size());
  const Eigen::VectorXd left = eq.b - eq.a * s.x;
  r.residuals.clear();
  for (std::size_t i = 0; i < eq.dec_sense.size(); ++i) {
    const auto row = static_cast<Eigen::Index>(kEquationsPerPoint * i);
    r.residuals.push_back(SkyResidual{left(row), left(row + 1) * eq.dec_sense[i]});
  }
  double squares = 0;
  for (std::size_t i : r.used) squares += std::pow(r.residuals[i].Total(), 2);
  r.rms = std::sqrt(squares / double(r.used.size()));
  // σ² = SSR / (2n − k): the variance of one equation, the fit's freedom taken out.
  const double variance = squares / double(kEquationsPerPoint * r.used.size() - r.terms.size());
  r.standard_errors.clear();
  for (Eigen::Index j = 0; j < s.covariance.rows(); ++j)
    r.standard_errors.push_back(std::sqrt(variance * s.covariance(j, j)));
}

void CheckTerms(std::span<const std::size_t> terms) {
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (terms[i] >= pointing::kTermCount) throw FitError("no such term");
    if (std::find(terms.begin(), terms.begin() + std::ptrdiff_t(i), terms[i]) !=
        terms.begin() + std::ptrdiff_t(i))
      throw FitError(TermName(terms[i]) + " is asked for twice");
  }
  if (terms.empty()) throw FitError("no terms to fit");
}

}  // namespace

double SkyResidual::Total() const {
  return std::hypot(x, y);
}

pointing::PointingTerms FitResult::Model() const {
  pointing::PointingTerms model;
  for (std::size_t j = 0; j < terms.size() && j < values.size(); ++j)
    model.value[terms[j]] = values[j];
  return model;
}

std::size_t PointsNeeded(std::size_t terms) {
  return terms / kEquationsPerPoint + 1;
}

SkyResidual ResidualOf(const Point& point, const pointing::PointingTerms& model) {
  return ResidualOf(OffsetsOf(point), model);
}

double SkyRms(std::span<const SkyResidual> residuals) {
  double squares = 0;
  for (const SkyResidual& r : residuals) squares += r.x * r.x + r.y * r.y;
  return residuals.empty() ? 0 : std::sqrt(squares / double(residuals.size()));
}

FitResult Fit(std::span<const Point> points, std::span<const std::size_t> term_indices,
              std::optional<double> reject_sigma) {
  CheckTerms(term_indices);
  const std::size_t needed = PointsNeeded(term_indices.size());
  if (points.size() < needed)
    throw FitError(Plural(points.size(), "point is", "points are") + " too few to fit " +
                   Plural(term_indices.size(), "term", "terms") + ": it takes at least " +
                   std::to_string(needed));
  std::vector<Offsets> offsets;
  offsets.reserve(points.size());
  for (const Point& p : points) offsets.push_back(OffsetsOf(p));
  const Equations eq = EquationsOf(offsets, term_indices);

  FitResult r;
  r.terms.assign(term_indices.begin(), term_indices.end());
  for (std::size_t i = 0; i < points.size(); ++i) r.used.push_back(i);
  FitOnce(eq, r);
  while (reject_sigma && r.used.size() > needed) {
    const auto worst = std::max_element(r.used.begin(), r.used.end(), [&](auto i, auto j) {
      return r.residuals[i].Total() < r.residuals[j].Total();
    });
    const double limit = *reject_sigma * r.rms;
    const double residual = r.residuals[*worst].Total();
    if (!(residual > limit)) break;
    r.dropped.push_back(DroppedPoint{*worst, residual, limit});
    r.used.erase(worst);
    FitOnce(eq, r);
  }
  return r;
}

}  // namespace orvan::model
