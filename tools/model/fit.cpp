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

std::vector<Offsets> OffsetsOf(std::span<const Point> points) {
  std::vector<Offsets> offsets;
  offsets.reserve(points.size());
  for (const Point& p : points) offsets.push_back(OffsetsOf(p));
  return offsets;
}

std::string TermName(std::size_t term) {
  return std::string(pointing::Terms()[term].name);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// The terms (indices into pointing::Terms()) of the columns named.
std::vector<std::size_t> TermsOf(std::span<const std::size_t> terms, const Indistinct& which) {
  std::vector<std::size_t> named;
  for (std::size_t column : which.columns) named.push_back(terms[column]);
  return named;
}

// The grid the terms' effects are compared on, as functions of the position:
// the sky above the horizon on both sides of the pier.
constexpr double kGridStepHours = 0.5, kGridStepDeg = 5, kGridMostDec = 85;
constexpr double kGridLeastAltitudeDeg = 5;
// The grid is laid at the first few of the points' latitudes: enough to
// show what the latitude separates, without a grid a point.
constexpr std::size_t kGridMostLatitudes = 16;

std::vector<Offsets> GridOffsets(std::span<const Point> points) {
  std::vector<double> latitudes;
  for (const Point& p : points)
    if (latitudes.size() < kGridMostLatitudes &&
        std::find(latitudes.begin(), latitudes.end(), p.latitude_deg) == latitudes.end())
      latitudes.push_back(p.latitude_deg);
  std::vector<Point> grid;
  const double least_altitude = std::sin(kGridLeastAltitudeDeg * kRadiansPerDegree);
  for (double lat : latitudes) {
    const double phi = lat * kRadiansPerDegree;
    for (double h = kGridStepHours / 2 - kHoursPerDay / 2; h < kHoursPerDay / 2;
         h += kGridStepHours)
      for (double dec = -kGridMostDec; dec <= kGridMostDec; dec += kGridStepDeg) {
        const double d = dec * kRadiansPerDegree;
        if (std::sin(phi) * std::sin(d) +
                std::cos(phi) * std::cos(d) * std::cos(h * kRadiansPerHour) <
            least_altitude)
          continue;
        for (const bool through_pole : {false, true}) {
          Point p;
          p.observed = {h, dec};
          p.mechanical = pointing::InSideFrame(p.observed, through_pole);
          p.latitude_deg = lat;
          p.through_pole = through_pole;
          grid.push_back(p);
        }
      }
  }
  return OffsetsOf(grid);
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
// covariance for unit weight; false, naming the terms, where the points
// can't tell them apart.
bool Solve(const Equations& eq, std::span<const std::size_t> used, LeastSquares& solution,
           Indistinct& indistinct) {
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
  return SolveLeastSquares(a, b, solution, indistinct);
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
// False, with `r` as it was, where the points can't tell the terms apart.
bool FitOnce(const Equations& eq, FitResult& r, Indistinct& indistinct) {
  LeastSquares s;
  if (!Solve(eq, r.used, s, indistinct)) return false;
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
  return true;
}

// Drops the point furthest out while it is beyond `sigma` × RMS and enough
// points remain, refitting each time; stops short of a drop that would
// leave the rest unable to tell the terms apart.
void Reject(const Equations& eq, double sigma, std::size_t needed, FitResult& r) {
  while (r.used.size() > needed) {
    const auto worst = std::max_element(r.used.begin(), r.used.end(), [&](auto i, auto j) {
      return r.residuals[i].Total() < r.residuals[j].Total();
    });
    const double limit = sigma * r.rms;
    const double residual = r.residuals[*worst].Total();
    if (!(residual > limit)) return;
    FitResult next = r;
    next.used.erase(next.used.begin() + (worst - r.used.begin()));
    Indistinct indistinct;
    if (!FitOnce(eq, next, indistinct)) {
      r.rejection_stopped = StoppedRejection{*worst, TermsOf(r.terms, indistinct)};
      return;
    }
    next.dropped.push_back(DroppedPoint{*worst, residual, limit});
    r = std::move(next);
  }
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

// The terms no points could tell apart, however spread: their effects are
// dependent as functions of the position on the grid.
Indistinct Inseparable(std::span<const Point> points, std::span<const std::size_t> terms) {
  const Equations grid = EquationsOf(GridOffsets(points), terms);
  LeastSquares unused;
  Indistinct always;
  SolveLeastSquares(grid.a, Eigen::VectorXd::Zero(grid.a.rows()), unused, always);
  return always;
}

std::string Names(std::span<const std::size_t> terms) {
  std::string names;
  for (std::size_t term : terms) names += (names.empty() ? "" : ", ") + TermName(term);
  return names;
}

std::string SpreadAdvice(std::span<const std::size_t> terms) {
  const bool one = terms.size() == 1;
  return "the points " + std::string(one ? "cannot determine " : "cannot tell ") + Names(terms) +
         (one ? "" : " apart") + ": spread them wider in hour angle and declination, or leave " +
         (one ? "it" : "some") + " out of --terms";
}

// Why the points can't give the terms: the terms no points could separate
// named as such, the others with the advice to spread the points.
std::string IndeterminateMessage(std::span<const Point> points, std::span<const std::size_t> terms,
                                 const Indistinct& which) {
  const Indistinct always = Inseparable(points, terms);
  if (always.columns.empty()) return SpreadAdvice(TermsOf(terms, which));
  const std::vector<std::size_t> named = TermsOf(terms, always);
  std::string message =
      named.size() == 1
          ? "no points can determine " + Names(named) +
                ": it moves no position; leave it out of "
                "--terms"
          : "no points can tell " + Names(named) +
                " apart, however spread (their effects are the same functions of the position): "
                "leave " +
                (always.directions == 1 ? std::string("one") : std::to_string(always.directions)) +
                " of them out of --terms";
  // Beyond those, the points themselves mix others in: spreading them helps.
  const bool more = std::any_of(which.columns.begin(), which.columns.end(), [&](std::size_t c) {
    return std::find(always.columns.begin(), always.columns.end(), c) == always.columns.end();
  });
  if (more) message += ", and " + SpreadAdvice(TermsOf(terms, which));
  return message;
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
  const Equations eq = EquationsOf(OffsetsOf(points), term_indices);

  FitResult r;
  r.terms.assign(term_indices.begin(), term_indices.end());
  for (std::size_t i = 0; i < points.size(); ++i) r.used.push_back(i);
  Indistinct indistinct;
  if (!FitOnce(eq, r, indistinct))
    throw FitError(IndeterminateMessage(points, term_indices, indistinct));
  if (reject_sigma) Reject(eq, *reject_sigma, needed, r);
  return r;
}

}  // namespace orvan::model
