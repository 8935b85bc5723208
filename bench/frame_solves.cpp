#include "frame_solves.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framemaker/catalogue.h"
#include "framemaker/star_field.h"
#include "frames/frame_file.h"
#include "frames/solver.h"
#include "holding.h"
#include "intake/frame_intake.h"
#include "plate_solves.h"
#include "pointing/places.h"
#include "support/temp_folder.h"
#include "support/utc_text.h"

namespace orvan::bench {
namespace {

// The first frames of the first target, every 120 s, 30 s exposures, 80' x
// 55' at 3" per pixel: solved by solve-field as the program would, hinted
// with the place and the scale.
constexpr int kRealFrames = 30;
constexpr double kCadence = 120;
constexpr double kWrongArcsec = 60;  // further off than this: a wrong solution

pointing::Utc UtcAt(double seconds) {
  pointing::Utc utc{};
  pointing::UtcOf(UtcFieldsOf(TimeOfJ2000Seconds(seconds)), utc);
  return utc;
}

pointing::RaDec J2000(const program::RaDec& apparent, double seconds) {
  return pointing::MeanPlaceOf({apparent.ra, apparent.dec}, UtcAt(seconds));
}

double Mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

double Variance(const std::vector<double>& v) {
  const double mean = Mean(v);
  double sum = 0;
  for (double x : v) sum += (x - mean) * (x - mean);
  return v.size() < 2 ? 0 : sum / static_cast<double>(v.size() - 1);
}

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::lround(q * static_cast<double>(v.size() - 1)))];
}

// Renders the true exposure, solves it, and keeps the time and the error.
class RealSolver {
 public:
  explicit RealSolver(std::string dir) : dir_(std::move(dir)) {}

  std::optional<program::RaDec> Solve(const TrueFrame& truth) {
    framemaker::FrameShot shot;
    const double end = truth.start + truth.exposure_s;
    shot.start_center = J2000(truth.first, truth.start);
    shot.end_center = J2000(truth.last, end);
    shot.exposure_s = truth.exposure_s;
    std::string date = UtcTextOfJ2000Seconds(truth.start);
    date.pop_back();  // FITS writes DATE-OBS without the Z
    shot.date_obs = date;
    shot.seed = static_cast<unsigned>(++count_);
    const pointing::RaDec mean = J2000(truth.mean, truth.start + truth.exposure_s / 2);
    std::string error;
    const std::vector<framemaker::Star> stars =
        framemaker::CatalogueStars(mean, framemaker::FieldRadiusDeg(shot) + 0.1, error);
    const std::string path = dir_ + "/frame" + std::to_string(count_) + ".fits";
    if (stars.empty() || !framemaker::WriteFrame(shot, stars, path, error)) return Miss(error);
    const frames::FrameFile file = frames::FrameFile::Open(path, error);
    if (!file) return Miss(error);
    const frames::FrameRead read = frames::ReadFrame(file);
    if (!read.header) return Miss(read.error);
    frames::SolveHint hint;
    hint.near = mean;
    hint.scale_arcsec = shot.scale_arcsec;
    const frames::Solved solved = frames::Solve(file, *read.header, hint, {});
    std::filesystem::remove(path);
    seconds_.push_back(solved.seconds);
    if (!solved.sky) return Miss(solved.error);
    const double cos_dec = std::cos(mean.dec / kDegreesPerRadian);
    const double d_ra = Wrap12(solved.sky->center.ra - mean.ra) * kArcsecPerHour * cos_dec;
    const double d_dec = (solved.sky->center.dec - mean.dec) * kArcsecPerDegree;
    if (std::hypot(d_ra, d_dec) > kWrongArcsec) return Miss("a wrong solution");
    errors_.push_back(std::hypot(d_ra, d_dec));
    ra_.push_back(d_ra);
    dec_.push_back(d_dec);
    // Back to an apparent place at the frame's middle, as the program takes it.
    const std::optional<tracking::FrameMeasurement> input =
        intake::HoldInputOf(path, *read.header, *solved.sky);
    if (!input) return Miss("no such UTC moment");
    return program::RaDec{input->center.ra, input->center.dec};
  }

  SolverStats Stats() const {
    SolverStats s;
    s.frames = count_;
    s.solve_s_median = Quantile(seconds_, 0.5);
    s.solve_s_p90 = Quantile(seconds_, 0.9);
    s.error_median = Quantile(errors_, 0.5);
    s.error_p90 = Quantile(errors_, 0.9);
    // The scatter about the mean: a steady bias moves the reference frame
    // as much as the rest, and the holding never sees it.
    s.bias_ra = Mean(ra_);
    s.bias_dec = Mean(dec_);
    s.noise_per_axis = std::sqrt((Variance(ra_) + Variance(dec_)) / 2);
    s.wrong = wrong_;
    return s;
  }

 private:
  std::optional<program::RaDec> Miss(const std::string& why) {
    std::fprintf(stderr, "frame %d: %s\n", count_, why.c_str());
    ++wrong_;
    return std::nullopt;
  }

  std::string dir_;
  int count_ = 0, wrong_ = 0;
  std::vector<double> seconds_, errors_, ra_, dec_;
};

}  // namespace

SolverStats MeasureSolver() {
  const TempFolder dir("frame-chain");
  if (dir.path().empty()) {
    std::fprintf(stderr, "frame-chain: %s\n", dir.error().c_str());
    return {};
  }
  RealSolver solver(dir.path());
  FramePlan plan;
  plan.cadence_s = kCadence;
  plan.solved_frames = kRealFrames;
  plan.solve = [&solver](const TrueFrame& t) { return solver.Solve(t); };
  // Only the real solves matter here: the run stops mattering after them.
  Simulate(kTargets[0], 2, Mode::Rates, FitCase(20, 2, Air::Told).observatory, &plan);
  return solver.Stats();
}

void PrintSolver(const SolverStats& s) {
  std::printf(
      "\nreal solver, %d frames: %.2f s median, %.2f s p90; centre error %.3f\" median, "
      "%.3f\" p90; %d wrong; steady bias RA %.3f\", Dec %.3f\", scatter %.3f\" per axis\n",
      s.frames, s.solve_s_median, s.solve_s_p90, s.error_median, s.error_p90, s.wrong, s.bias_ra,
      s.bias_dec, s.noise_per_axis);
}

}  // namespace orvan::bench
