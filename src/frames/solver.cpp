#include "frames/solver.h"

namespace orvan::frames {

Solved Solve(const std::string&, const FrameHeader&, const SolveHint&, const SolverConfig&) {
  return {std::nullopt, "not built yet", 0};
}

}  // namespace orvan::frames
