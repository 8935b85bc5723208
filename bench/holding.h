#pragma once

// The holding benchmark's night, targets and tick loop: the program's own
// window logic run against a simulated observatory in virtual time, and how
// far the mount really strays from the target on the sky.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "observatory/sim/observatory.h"

namespace orvan::bench {

inline constexpr double kTickSeconds = 4.0;
inline constexpr int kTicks = 2 * 3600 / 4;  // two hours
inline constexpr int kSamplesPerTick = 4;
// 2026-03-20 04:00 UT: a dark spring night at the default site.
double NightStart();

struct Target {
  const char* name;
  double start_ha;  // hours; the run covers two hours from here
  double dec;       // degrees
};

// At latitude 40 N: "high" passes 80 degrees up, "low" 35 (down to 12).
inline constexpr Target kTargets[] = {
    {"east-high", -4, 50}, {"meridian-high", -1, 50}, {"west-high", 2, 50},
    {"east-low", -4, -15}, {"meridian-low", -1, -15}, {"west-low", 2, -15},
};
inline constexpr double kThresholds[] = {0.5, 1.0, 2.0};

// Error on the sky, arc-seconds: right ascension as an angle of right
// ascension (the unit of the program's threshold), declination as is.
struct Sample {
  double ra, dec;
  double total() const;
};

// Frames taken while holding, each solved by a stand-in that gives the
// exposure's true mean centre plus Gaussian noise, `solve_s` after it ends.
// One exposure as it truly was: apparent places of date (hours, degrees).
struct TrueFrame {
  double start, exposure_s;
  program::RaDec first, last, mean;  // the centre at its start, its end, on average
};

struct FramePlan {
  double cadence_s = 120;
  double exposure_s = 30;
  double noise_arcsec = 0.2;  // per axis, on the sky
  double solve_s = 2;
  bool center = false;  // --frames-center
  unsigned seed = 1;
  // The first `solved_frames` go to `solve` instead of the stand-in: the
  // centre it finds (apparent), or none.
  int solved_frames = 0;
  std::function<std::optional<program::RaDec>(const TrueFrame&)> solve;
};

struct Run {
  // Every second, from the aim: the star the user saw when pressing Start or,
  // holding by frames, the first frame's true centre.
  std::vector<Sample> samples;
  // Per tick, just before it runs (when the error is largest): the error, and
  // how many sky arc-seconds one arc-second of the program's model-mapped
  // error is on each axis there.
  std::vector<Sample> before_tick;
  std::vector<Sample> sky_per_mapped;
  long pulses = 0;
  // Holding by frames: each frame's true mean centre from the aim (the
  // reference frame's, after it), on the sky (right ascension times cos
  // dec), and what became of the frames.
  std::vector<Sample> frame_centres;
  int frames_used = 0, frames_refused = 0;
};

// How the program holds the mount: not at all, by pulses, by rates and pulses.
enum class Mode { None, Pulses, Rates };
const char* ModeName(Mode m);

// Holds `target` for two hours from NightStart() on an observatory made from
// `config` (its start set to the target).
// With `frames`, the program holds by frames too.
Run Simulate(const Target& target, double threshold, Mode mode, sim::ObservatoryConfig config,
             const FramePlan* frames = nullptr);

struct Holding {
  double rms_ra, rms_dec, rms, max;
  long pulses;
  double share_within_bound;
  double share_within_plain;  // the same with the threshold not scaled to the sky
};

// RMS and maximum over time (every second). The bound at each tick: the
// program lets an axis stray up to the threshold (mapped to the sky) and then
// one cycle's drift, what the uncorrected mount (`drift`) drifted on that
// axis over the preceding 4 s.
Holding Summarise(double threshold, const Run& run, const Run& drift);

// The holding benchmarks' command line: where to write the table and the
// picture (either may be empty); nothing, after the usage on standard error,
// when it names anything else.
struct Outputs {
  std::string csv_path, plot_path;
};
std::optional<Outputs> ParseOutputs(int argc, char** argv);

}  // namespace orvan::bench
