#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/points.h"
#include "pointing/terms.h"

// The pointing model fitted to plate-solved points: linear least squares over
// a chosen set of terms (TPOINT's convention, pointing/terms.h), each point
// giving one equation in hour angle (weighted by cos δ, so that its residual
// is on the sky) and one in declination.
namespace orvan::model {

// What is left of a point once the model is taken out, arc-seconds on the
// sky: mechanical minus observed minus the model, along the hour-angle circle
// (Δh cos δ, west positive) and in declination (north positive, as seen on
// the sky: on the side through the pole the mount's declination counts the
// other way).
struct SkyResidual {
  double x = 0;
  double y = 0;
  double Total() const;  // the distance on the sky
};

// A point the fit left out, in the order they were dropped: its residual
// and the limit (SIGMA × RMS) it was beyond at the time.
struct DroppedPoint {
  std::size_t point;  // index into the points given
  double residual;
  double limit;
};

// Where rejection stopped short: the point it would have dropped next, and
// the terms (indices into pointing::Terms()) the rest could not have told
// apart.
struct StoppedRejection {
  std::size_t point;
  std::vector<std::size_t> terms;
};

struct FitResult {
  std::vector<std::size_t> terms;       // indices into pointing::Terms(), as asked
  std::vector<double> values;           // arc-seconds, one per term
  std::vector<double> standard_errors;  // arc-seconds, one per term
  std::vector<std::size_t> used;        // the points fitted, in their order
  std::vector<DroppedPoint> dropped;
  std::optional<StoppedRejection> rejection_stopped;
  std::vector<SkyResidual> residuals;  // every point's, dropped ones too, against `values`
  double rms = 0;                      // sky RMS over the points fitted

  pointing::PointingTerms Model() const;  // the values, the other terms 0
};

// The reason a fit can't be made: too few points, or terms the points can't
// tell apart (named in the message, and named as such where no spread of
// points could separate them).
class FitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The terms fitted unless others are asked for.
inline constexpr std::string_view kDefaultTerms[] = {"IH", "ID", "CH", "NP", "MA", "ME", "TF"};

// Fits the terms (indices into pointing::Terms(), each at most once) to the
// points. With `reject_sigma`, the point furthest from the model is dropped
// while it is more than reject_sigma × RMS out, one at a time, refitting each
// time, as long as enough points remain and the rest can still tell the
// terms apart (else rejection_stopped says why it stopped). Throws FitError.
FitResult Fit(std::span<const Point> points, std::span<const std::size_t> term_indices,
              std::optional<double> reject_sigma = std::nullopt);

// A point's residual against a model.
SkyResidual ResidualOf(const Point& point, const pointing::PointingTerms& model);

// The sky RMS of residuals: the root of the mean squared distance.
double SkyRms(std::span<const SkyResidual> residuals);

// The fewest points that fit `terms` terms with a residual left to judge
// them by: two equations a point, one more than there are terms.
std::size_t PointsNeeded(std::size_t terms);

}  // namespace orvan::model
