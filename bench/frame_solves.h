#pragma once

// The frame chain's real solver, on rendered frames, and its picture.

#include <string>
#include <vector>

namespace orvan::bench {

// The real solver on the first frames of one target: time and centre error
// against the truth.
struct SolverStats {
  int frames = 0;
  double solve_s_median = 0, solve_s_p90 = 0;
  double error_median = 0, error_p90 = 0;  // arc-seconds on the sky
  double bias_ra = 0, bias_dec = 0;        // the errors' mean on each axis
  double noise_per_axis = 0;               // their scatter about it
  int wrong = 0;                           // solutions more than a field off, or none
};

// Renders and solves them; no frames where solve-field or its index files
// are missing (said on standard error).
SolverStats MeasureSolver();
void PrintSolver(const SolverStats& stats);

struct FrameRmsPoint {
  double cadence_s;
  bool rates;
  double threshold;
  double rms;  // frame centres about the reference, both axes
};

// Frame RMS against the cadence, one line for each mode and threshold.
void WriteFrameRmsSvg(const std::string& path, const std::vector<FrameRmsPoint>& points);

}  // namespace orvan::bench
