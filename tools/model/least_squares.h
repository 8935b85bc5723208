#pragma once

#include <Eigen/Dense>
#include <cstddef>
#include <vector>

namespace orvan::model {

// The solution of an overdetermined linear system A x ≈ b in the least-squares
// sense, with the covariance of x for unit variance of b ((AᵀA)⁻¹).
struct LeastSquares {
  Eigen::VectorXd x;
  Eigen::MatrixXd covariance;
};

// A column the system can't determine, alone (all zero) or mixed with
// others (the columns weigh in a direction A nearly maps to nothing).
struct Indistinct {
  std::vector<std::size_t> columns;  // in increasing order
  std::size_t directions = 0;        // how many such directions there are
};

// Solves by the singular value decomposition of A with its columns scaled to
// unit length, so that the columns' units don't matter. A system whose
// scaled columns are dependent, or nearly (a singular value under
// kIndistinctRatio of the largest: the errors of b would reach x magnified
// ten thousand times and more), is not solved: `indistinct` names the
// columns that take part in those near-null directions.
inline constexpr double kIndistinctRatio = 1e-4;
bool SolveLeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, LeastSquares& out,
                       Indistinct& indistinct);

}  // namespace orvan::model
