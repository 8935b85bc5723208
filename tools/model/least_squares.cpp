#include "least_squares.h"

#include <cmath>

namespace orvan::model {
namespace {

// A column is named as taking part in a near-null direction when its share
// of that (unit) direction is at least this.
constexpr double kNamedShare = 0.05;

}  // namespace

bool SolveLeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, LeastSquares& out,
                       Indistinct& indistinct) {
  const Eigen::Index k = a.cols();
  Eigen::VectorXd scale = a.colwise().norm().transpose();
  const double largest = k > 0 ? scale.maxCoeff() : 0;
  indistinct.columns.clear();
  for (Eigen::Index j = 0; j < k; ++j)
    if (!(scale(j) > largest * kIndistinctRatio)) indistinct.columns.push_back(std::size_t(j));
  indistinct.directions = indistinct.columns.size();
  if (!indistinct.columns.empty()) return false;

  // [A b] = Q [R c; 0 e]: the k × k triangle R has A's singular values and
  // right vectors, and R x = c is the least-squares solution; a tall system
  // costs one QR and a small SVD.
  Eigen::MatrixXd augmented(a.rows(), k + 1);
  augmented << a * scale.cwiseInverse().asDiagonal(), b;
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(augmented);
  const Eigen::MatrixXd r =
      qr.matrixQR().topLeftCorner(k, k).triangularView<Eigen::Upper>().toDenseMatrix();
  const Eigen::VectorXd c = qr.matrixQR().col(k).head(k);
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(r, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::VectorXd& sigma = svd.singularValues();  // decreasing
  const Eigen::MatrixXd& v = svd.matrixV();
  std::vector<bool> named(std::size_t(k), false);
  for (Eigen::Index i = 0; i < k; ++i) {
    if (sigma(i) > sigma(0) * kIndistinctRatio) continue;
    ++indistinct.directions;
    for (Eigen::Index j = 0; j < k; ++j)
      if (std::abs(v(j, i)) >= kNamedShare) named[std::size_t(j)] = true;
  }
  for (Eigen::Index j = 0; j < k; ++j)
    if (named[std::size_t(j)]) indistinct.columns.push_back(std::size_t(j));
  if (!indistinct.columns.empty()) return false;

  const Eigen::VectorXd inverse_sigma = sigma.cwiseInverse();
  const Eigen::VectorXd scaled_x = v * inverse_sigma.asDiagonal() * (svd.matrixU().transpose() * c);
  out.x = scaled_x.cwiseQuotient(scale);
  const Eigen::MatrixXd w = scale.cwiseInverse().asDiagonal() * v * inverse_sigma.asDiagonal();
  out.covariance = w * w.transpose();
  return true;
}

}  // namespace orvan::model
