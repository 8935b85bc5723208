#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_file.h"
#include "frames/frame_reader.h"

// Plate solving by astrometry.net's solve-field, in a process of its own.
namespace orvan::frames {

// What narrows the search: near where the program believes the frame is,
// at about the scale it believes.
// A pixel's size on the sky that a solve found, for frames of one size in
// pixels (which a change of binning changes).
struct LearnedScale {
  int width = 0;
  int height = 0;
  double arcsec = 0;
};

struct SolveHint {
  std::optional<pointing::RaDec> near;  // J2000
  // The solver looks this far around `near`.
  double radius_deg = 2;
  std::optional<double> scale_arcsec;  // per pixel, as the user gave it
  std::vector<LearnedScale> learned;   // the last solve's, for each size
};

// The scale a frame is solved at: the user's, else the header's own pixel
// size, binning and focal length, else the last solve's for frames of its
// size; none, and the solve is blind.
std::optional<double> ScaleFor(const FrameHeader& header, const SolveHint& hint);

// `learned` with `scale` as the last solve's for frames of that size.
void Learn(std::vector<LearnedScale>& learned, const LearnedScale& scale);

struct SolverConfig {
  std::string program = "solve-field";
  // CPU seconds the solver may use, and a wall-clock limit beyond which it is
  // killed; both can be shortened by tests.
  double cpu_limit_s = 30;
  std::chrono::milliseconds wall_limit{60000};
  ReaderLimits reader;  // for its solution's header
};

struct Solved {
  std::optional<FrameSky> sky;
  std::string error;   // why there is no solution: names the cause
  double seconds = 0;  // wall clock spent
};

// Solves the frame open as `frame`. The solver is given a private link to
// it, or a copy, under a name of the program's own in a private temporary
// folder that it writes into and that is removed before this returns: the
// name as found never reaches it, and the frame is never changed. Once
// `stop_fd` (where not -1) turns readable, the solver is killed at once: a
// program that ends does not wait out the solver's limits.
Solved Solve(const FrameFile& frame, const FrameHeader& header, const SolveHint& hint,
             const SolverConfig& config, int stop_fd = -1);

}  // namespace orvan::frames
