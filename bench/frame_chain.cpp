// Holding by the frames: the model chain's true mount and told air, models
// fitted from 20 and 80 plate solves at 2", the holding targets held two
// hours by pulses and by rates, with frames every 60, 120 and 300 s, each
// "solved" by a stand-in that gives the exposure's true centre plus the
// real solver's noise; and the real solver itself on rendered frames
// (frame_solves.cpp), for that noise and its time.
//
//   frame-chain [--csv FILE] [--plot FILE.svg] [--no-solver]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "frame_solves.h"
#include "holding.h"
#include "plate_solves.h"

namespace {

using namespace orvan;
using namespace orvan::bench;

constexpr int kPointCounts[] = {20, 80};
constexpr double kNoise = 2;
constexpr double kCadences[] = {60, 120, 300};
constexpr Mode kModes[] = {Mode::Pulses, Mode::Rates};
constexpr double kFrameThresholds[] = {0.5, 2};
// The targets: 20 points, frames every 120 s (and every 60 s).
constexpr int kCheckedPoints = 20;
constexpr double kCheckedCadence = 120, kFastCadence = 60;
constexpr double kFrameRmsLimit = 0.3, kFastFrameRmsLimit = 0.2;
constexpr double kBoundThreshold = 2;
constexpr double kFewerPulses = 10;
// The stand-in's noise when the real solver is not measured, and the least
// it takes when it is: rendered frames have no clouds, no wind, no changing
// seeing, and the real solver's scatter on them is under a tenth.
constexpr double kDefaultSolveNoise = 0.25;
constexpr double kLeastSolveNoise = 0.1;

struct TargetRun {
  Holding h;
  double frame_rms_ra, frame_rms_dec;
  int used, refused;
};

struct Row {
  int points;
  double cadence;
  Mode mode;
  double threshold;
  std::vector<TargetRun> targets;  // in kTargets' order
  TargetRun pooled;
};

std::pair<double, double> FrameRms(const Run& run) {
  double ra = 0, dec = 0;
  for (const Sample& c : run.frame_centres) {
    ra += c.ra * c.ra;
    dec += c.dec * c.dec;
  }
  const auto n = static_cast<double>(std::max<std::size_t>(1, run.frame_centres.size()));
  return {std::sqrt(ra / n), std::sqrt(dec / n)};
}

Row HoldAll(const Case& c, double cadence, Mode mode, double threshold, double solve_noise,
            const std::vector<Run>& drifts) {
  Row row{c.points, cadence, mode, threshold, {}, {{0, 0, 0, 0, 0, 0, 0}, 0, 0, 0, 0}};
  const double n = static_cast<double>(std::size(kTargets));
  FramePlan plan;
  plan.cadence_s = cadence;
  plan.noise_arcsec = solve_noise;
  for (std::size_t i = 0; i < std::size(kTargets); ++i) {
    plan.seed = static_cast<unsigned>(i + 1);
    const Run run = Simulate(kTargets[i], threshold, mode, c.observatory, &plan);
    const auto [rms_ra, rms_dec] = FrameRms(run);
    const TargetRun t{Summarise(threshold, run, drifts[i]), rms_ra, rms_dec, run.frames_used,
                      run.frames_refused};
    row.targets.push_back(t);
    TargetRun& p = row.pooled;
    p.h.rms_ra += t.h.rms_ra * t.h.rms_ra / n;
    p.h.rms_dec += t.h.rms_dec * t.h.rms_dec / n;
    p.h.pulses += t.h.pulses;
    p.h.share_within_bound += t.h.share_within_bound / n;
    p.frame_rms_ra += rms_ra * rms_ra / n;
    p.frame_rms_dec += rms_dec * rms_dec / n;
    p.used += t.used;
    p.refused += t.refused;
  }
  for (double* v : {&row.pooled.h.rms_ra, &row.pooled.h.rms_dec, &row.pooled.frame_rms_ra,
                    &row.pooled.frame_rms_dec})
    *v = std::sqrt(*v);
  return row;
}

void Say(bool met, const std::string& what) {
  std::printf("  %-6s %s\n", met ? "met" : "MISSED", what.c_str());
}

std::string Text(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

const Row* Find(const std::vector<Row>& rows, int points, double cadence, Mode mode,
                double threshold) {
  for (const Row& r : rows)
    if (r.points == points && r.cadence == cadence && r.mode == mode && r.threshold == threshold)
      return &r;
  return nullptr;
}

// Frame RMS per target and axis within `limit`, at every threshold and mode.
void CheckFrameRms(const std::vector<Row>& rows, double cadence, double limit) {
  for (const Row& r : rows) {
    if (r.points != kCheckedPoints || r.cadence != cadence) continue;
    for (std::size_t i = 0; i < r.targets.size(); ++i) {
      const TargetRun& t = r.targets[i];
      Say(std::max(t.frame_rms_ra, t.frame_rms_dec) <= limit,
          Text("every %g s, %s, %g\", %s: frame RMS RA %.3f, Dec %.3f, limit %.2f", cadence,
               ModeName(r.mode), r.threshold, kTargets[i].name, t.frame_rms_ra, t.frame_rms_dec,
               limit));
    }
  }
}

void Check(const std::vector<Row>& rows) {
  std::printf("\nchecks (%d points at %g\"):\n", kCheckedPoints, kNoise);
  CheckFrameRms(rows, kCheckedCadence, kFrameRmsLimit);
  CheckFrameRms(rows, kFastCadence, kFastFrameRmsLimit);
  for (Mode mode : kModes) {
    const Row* r = Find(rows, kCheckedPoints, kCheckedCadence, mode, kBoundThreshold);
    for (std::size_t i = 0; r && i < r->targets.size(); ++i)
      Say(r->targets[i].h.share_within_bound == 1,
          Text("%g\", %s, %s: within bound %.2f%%", kBoundThreshold, ModeName(mode),
               kTargets[i].name, 100 * r->targets[i].h.share_within_bound));
  }
  for (double threshold : kFrameThresholds) {
    const Row* p = Find(rows, kCheckedPoints, kCheckedCadence, Mode::Pulses, threshold);
    const Row* r = Find(rows, kCheckedPoints, kCheckedCadence, Mode::Rates, threshold);
    for (std::size_t i = 0; p && r && i < p->targets.size(); ++i)
      Say(double(r->targets[i].h.pulses) * kFewerPulses <= double(p->targets[i].h.pulses),
          Text("%g\", %s: pulses %ld by pulses, %ld by rates", threshold, kTargets[i].name,
               p->targets[i].h.pulses, r->targets[i].h.pulses));
  }
}

void WriteCsv(const std::string& path, const std::vector<Row>& rows, const SolverStats* solver) {
  std::ofstream csv(path);
  csv << "points,noise_arcsec,cadence_s,mode,threshold_arcsec,rms_ra_arcsec,rms_dec_arcsec,"
         "share_within_bound,pulses,frame_rms_ra_arcsec,frame_rms_dec_arcsec,frames_used,"
         "frames_refused\n";
  for (const Row& r : rows)
    csv << Text("%d,%g,%g,%s,%g,%.4f,%.4f,%.5f,%ld,%.4f,%.4f,%d,%d\n", r.points, kNoise, r.cadence,
                ModeName(r.mode), r.threshold, r.pooled.h.rms_ra, r.pooled.h.rms_dec,
                r.pooled.h.share_within_bound, r.pooled.h.pulses, r.pooled.frame_rms_ra,
                r.pooled.frame_rms_dec, r.pooled.used, r.pooled.refused);
  if (!solver) return;
  csv << "\nframes,solve_s_median,solve_s_p90,solve_error_arcsec_median,"
         "solve_error_arcsec_p90,wrong_solutions\n";
  csv << Text("%d,%.3f,%.3f,%.3f,%.3f,%d\n", solver->frames, solver->solve_s_median,
              solver->solve_s_p90, solver->error_median, solver->error_p90, solver->wrong);
}

void PrintRows(const std::vector<Row>& rows) {
  std::printf("%6s %7s %6s %5s %8s %8s %8s %7s %9s %9s %5s %5s\n", "points", "every", "mode",
              "thr\"", "rms_ra\"", "rms_dec\"", "within", "pulses", "frame_ra\"", "frame_de\"",
              "used", "refus");
  for (const Row& r : rows)
    std::printf("%6d %6gs %6s %5.1f %8.3f %8.3f %7.2f%% %7ld %9.3f %9.3f %5d %5d\n", r.points,
                r.cadence, ModeName(r.mode), r.threshold, r.pooled.h.rms_ra, r.pooled.h.rms_dec,
                100 * r.pooled.h.share_within_bound, r.pooled.h.pulses, r.pooled.frame_rms_ra,
                r.pooled.frame_rms_dec, r.pooled.used, r.pooled.refused);
}

}  // namespace

int main(int argc, char** argv) {
  bool use_solver = true;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--no-solver")
      use_solver = false;
    else
      rest.push_back(argv[i]);
  }
  const std::optional<Outputs> outputs = ParseOutputs(static_cast<int>(rest.size()), rest.data());
  if (!outputs) return 2;

  std::optional<SolverStats> solver;
  if (use_solver) solver = MeasureSolver();
  const double noise = solver && solver->frames > 0
                           ? std::max(kLeastSolveNoise, solver->noise_per_axis)
                           : kDefaultSolveNoise;
  std::printf("stand-in solver noise: %.3f\" per axis%s\n\n", noise,
              solver ? " (the real solver's scatter, at least 0.1\")" : " (assumed)");

  std::vector<Run> drifts;
  for (const Target& t : kTargets)
    drifts.push_back(Simulate(t, 1.0, Mode::None, TrueObservatory()));
  std::vector<Row> rows;
  for (int points : kPointCounts) {
    const Case c = FitCase(points, kNoise, Air::Told);
    for (double cadence : kCadences)
      for (double threshold : kFrameThresholds)
        for (Mode mode : kModes)
          rows.push_back(HoldAll(c, cadence, mode, threshold, noise, drifts));
  }
  PrintRows(rows);
  Check(rows);
  if (solver) PrintSolver(*solver);
  if (!outputs->csv_path.empty()) WriteCsv(outputs->csv_path, rows, solver ? &*solver : nullptr);
  if (!outputs->plot_path.empty()) {
    std::vector<FrameRmsPoint> plotted;
    for (const Row& r : rows)
      if (r.points == kCheckedPoints)
        plotted.push_back({r.cadence, r.mode == Mode::Rates, r.threshold,
                           std::hypot(r.pooled.frame_rms_ra, r.pooled.frame_rms_dec)});
    WriteFrameRmsSvg(outputs->plot_path, plotted);
  }
  return 0;
}
