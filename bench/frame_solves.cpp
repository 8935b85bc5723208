#include "frame_solves.h"

#include <cstdio>

namespace orvan::bench {

SolverStats MeasureSolver() {
  std::fprintf(stderr, "the real solver is not measured in this build\n");
  return {};
}

void PrintSolver(const SolverStats& s) {
  std::printf(
      "\nreal solver, %d frames: %.2f s median, %.2f s p90; centre error %.3f\" median, "
      "%.3f\" p90; %d wrong\n",
      s.frames, s.solve_s_median, s.solve_s_p90, s.error_median, s.error_p90, s.wrong);
}

}  // namespace orvan::bench
