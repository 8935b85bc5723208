// The whole chain: plate solves on a simulated mount that differs from what
// the program is told, a pointing model fitted to them (orvanacp-model's
// library), written and read back as the program reads --model, then the
// holding benchmark's targets held by it for two hours, by pulses alone and
// by rates plus pulses; with the air told wrong, and with it measured.
//
//   model-chain [--csv FILE] [--plot FILE.svg|FILE.png]

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chain_plot.h"
#include "holding.h"
#include "model/fit.h"
#include "plate_solves.h"
#include "pointing/model_file.h"

namespace {

using namespace orvan;
using namespace orvan::bench;

constexpr int kPointCounts[] = {10, 20, 40, 80};
constexpr double kNoises[] = {0.5, 2, 5};
constexpr Mode kModes[] = {Mode::Pulses, Mode::Rates};
constexpr Air kAirs[] = {Air::Told, Air::Measured};
// The targets the checks below are about: 20 points at 2".
constexpr int kCheckedPoints = 20;
constexpr double kCheckedNoise = 2;
constexpr double kFewerPulses = 10;   // rates send at least this many times fewer
constexpr double kRmsThreshold = 2;   // where each axis' RMS is bounded ...
constexpr double kRmsShare = 0.15;    // ... by this share of the threshold
constexpr double kSigmasAllowed = 3;  // a fitted term's distance from the truth
// With the air measured: per-axis RMS by rates at every threshold, for 20
// and for 80 points at 0.5".
constexpr double kMeasuredNoise = 0.5;
constexpr std::pair<int, double> kMeasuredRmsLimits[] = {{20, 0.15}, {80, 0.075}};

struct Row {
  const Case* c;
  Mode mode;
  double threshold;
  Holding h;  // over every target: RMS pooled, pulses summed, share averaged
};

Row Hold(const Case& c, Mode mode, double threshold, const std::vector<Run>& drifts) {
  Row row{&c, mode, threshold, {0, 0, 0, 0, 0, 0, 0}};
  const double n = static_cast<double>(std::size(kTargets));
  for (std::size_t i = 0; i < std::size(kTargets); ++i) {
    const Run run = Simulate(kTargets[i], threshold, mode, c.observatory);
    const Holding h = Summarise(threshold, run, drifts[i]);
    row.h.rms_ra += h.rms_ra * h.rms_ra / n;
    row.h.rms_dec += h.rms_dec * h.rms_dec / n;
    row.h.max = std::max(row.h.max, h.max);
    row.h.pulses += h.pulses;
    row.h.share_within_bound += h.share_within_bound;
    row.h.share_within_plain += h.share_within_plain;
  }
  // Divided once the sum is made, so that every target within bound is 1 exactly.
  row.h.share_within_bound /= n;
  row.h.share_within_plain /= n;
  row.h.rms = std::sqrt(row.h.rms_ra + row.h.rms_dec);
  row.h.rms_ra = std::sqrt(row.h.rms_ra);
  row.h.rms_dec = std::sqrt(row.h.rms_dec);
  return row;
}

// Fitted minus judged-against for the k-th of kFitTerms; only for a term the
// case fitted.
double TermError(const Case& c, std::size_t k) {
  return c.fit.values[k] - FittedTruth(c.air).value[c.fit.terms[k]];
}

void WriteCsv(const std::string& path, const std::vector<Row>& rows) {
  std::ofstream csv(path);
  csv << "points,noise_arcsec,air,mode,threshold_arcsec,rms_ra_arcsec,rms_dec_arcsec,"
         "share_within_bound,pulses,sky_rms_arcsec";
  for (const char* what : {"fit_error", "sigma"})
    for (std::string_view t : kFitTerms) csv << ',' << what << '_' << t << "_arcsec";
  csv << '\n';
  char field[128];
  for (const Row& r : rows) {
    std::snprintf(field, sizeof field, "%d,%g,%s,%s,%g,%.4f,%.4f,%.5f,%ld,%.4f", r.c->points,
                  r.c->noise, AirName(r.c->air), ModeName(r.mode), r.threshold, r.h.rms_ra,
                  r.h.rms_dec, r.h.share_within_bound, r.h.pulses, r.c->fit.rms);
    csv << field;
    // A term the case did not fit (TX with the air measured) has empty fields.
    const std::size_t fitted = r.c->fit.values.size();
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t k = 0; k < std::size(kFitTerms); ++k) {
        if (k >= fitted) {
          csv << ',';
          continue;
        }
        const double value = pass == 0 ? TermError(*r.c, k) : r.c->fit.standard_errors[k];
        std::snprintf(field, sizeof field, ",%.4f", value);
        csv << field;
      }
    csv << '\n';
  }
}

void PrintRows(const std::vector<Row>& rows) {
  std::printf("%6s %6s %8s %6s %5s %8s %8s %8s %7s %7s\n", "points", "noise\"", "air", "mode",
              "thr\"", "rms_ra\"", "rms_dec\"", "within", "pulses", "sky\"");
  for (const Row& r : rows)
    std::printf("%6d %6.1f %8s %6s %5.1f %8.3f %8.3f %7.2f%% %7ld %7.3f\n", r.c->points, r.c->noise,
                AirName(r.c->air), ModeName(r.mode), r.threshold, r.h.rms_ra, r.h.rms_dec,
                100 * r.h.share_within_bound, r.h.pulses, r.c->fit.rms);
}

void PrintFits(const std::vector<Case>& cases) {
  std::printf("\nfitted minus true (sigma), arc-seconds\n%6s %6s %8s", "points", "noise\"", "air");
  for (std::string_view t : kFitTerms) std::printf(" %15.*s", int(t.size()), t.data());
  std::printf("\n%22s", "true (air told)");
  for (std::string_view t : kFitTerms)
    std::printf(" %15.2f", FittedTruth().value[*pointing::FindTerm(t)]);
  std::printf("\n");
  for (const Case& c : cases) {
    std::printf("%6d %6.1f %8s", c.points, c.noise, AirName(c.air));
    for (std::size_t k = 0; k < c.fit.values.size(); ++k)
      std::printf(" %7.2f (%5.2f)", TermError(c, k), c.fit.standard_errors[k]);
    std::printf("\n");
  }
}

const Row& Find(const std::vector<Row>& rows, int points, double noise, Air air, Mode mode,
                double threshold) {
  for (const Row& r : rows)
    if (r.c->points == points && r.c->noise == noise && r.c->air == air && r.mode == mode &&
        r.threshold == threshold)
      return r;
  std::fprintf(stderr, "no row for a checked case\n");
  std::exit(1);
}

void Say(bool met, const char* what) {
  std::printf("  %-6s %s\n", met ? "met" : "MISSED", what);
}

// At each threshold: rates keep every tick within bound and send at least
// kFewerPulses times fewer pulses than pulses alone; and, where `rms_limit`
// is given, each axis' RMS by rates within it, else no worse than by pulses.
void CheckThresholds(const std::vector<Row>& rows, int points, double noise, Air air,
                     std::optional<double> rms_limit) {
  char text[256];
  for (double threshold : kThresholds) {
    const Row& p = Find(rows, points, noise, air, Mode::Pulses, threshold);
    const Row& r = Find(rows, points, noise, air, Mode::Rates, threshold);
    std::snprintf(text, sizeof text, "%g\": rates within bound %.2f%%", threshold,
                  100 * r.h.share_within_bound);
    Say(r.h.share_within_bound == 1, text);
    std::snprintf(text, sizeof text, "%g\": pulses %ld by pulses, %ld by rates (%.1fx fewer)",
                  threshold, p.h.pulses, r.h.pulses,
                  double(p.h.pulses) / std::max(1.0, double(r.h.pulses)));
    Say(double(r.h.pulses) * kFewerPulses <= double(p.h.pulses), text);
    if (rms_limit) {
      std::snprintf(text, sizeof text,
                    "%g\": RMS RA %.3f, Dec %.3f by rates, limit %.3f (pulses alone %.3f, %.3f)",
                    threshold, r.h.rms_ra, r.h.rms_dec, *rms_limit, p.h.rms_ra, p.h.rms_dec);
      Say(std::max(r.h.rms_ra, r.h.rms_dec) <= *rms_limit, text);
      continue;
    }
    std::snprintf(text, sizeof text, "%g\": RMS RA %.3f by rates vs %.3f, Dec %.3f vs %.3f",
                  threshold, r.h.rms_ra, p.h.rms_ra, r.h.rms_dec, p.h.rms_dec);
    Say(r.h.rms_ra <= p.h.rms_ra && r.h.rms_dec <= p.h.rms_dec, text);
  }
}

// The targets with the air told wrong, each said met or missed with its numbers.
void CheckTold(const std::vector<Row>& rows) {
  std::printf("\nchecks, air told (%d points at %g\"):\n", kCheckedPoints, kCheckedNoise);
  CheckThresholds(rows, kCheckedPoints, kCheckedNoise, Air::Told, std::nullopt);
  // A target for the rates only: pulses alone hold a saw tooth up to the
  // threshold, whose RMS is threshold/sqrt(3) at best.
  const Row& p = Find(rows, kCheckedPoints, kCheckedNoise, Air::Told, Mode::Pulses, kRmsThreshold);
  const Row& r = Find(rows, kCheckedPoints, kCheckedNoise, Air::Told, Mode::Rates, kRmsThreshold);
  char text[256];
  std::snprintf(text, sizeof text,
                "%g\": RMS RA %.3f, Dec %.3f by rates, limit %.3f (pulses alone %.3f, %.3f)",
                kRmsThreshold, r.h.rms_ra, r.h.rms_dec, kRmsShare * kRmsThreshold, p.h.rms_ra,
                p.h.rms_dec);
  Say(std::max(r.h.rms_ra, r.h.rms_dec) <= kRmsShare * kRmsThreshold, text);
}

// Every fitted term within kSigmasAllowed of what it is judged against; only
// those beyond are named.
void CheckTerms(const std::vector<Case>& cases) {
  std::printf("\nchecks, every fit:\n");
  char text[256];
  int beyond = 0;
  for (const Case& c : cases)
    for (std::size_t k = 0; k < c.fit.values.size(); ++k) {
      const double sigmas = std::abs(TermError(c, k)) / c.fit.standard_errors[k];
      if (sigmas <= kSigmasAllowed) continue;
      std::snprintf(text, sizeof text, "%d points at %g\", air %s: %.*s off by %.2f\", %.1f sigma",
                    c.points, c.noise, AirName(c.air), int(kFitTerms[k].size()),
                    kFitTerms[k].data(), TermError(c, k), sigmas);
      Say(false, text);
      ++beyond;
    }
  if (beyond == 0) Say(true, "every fitted term within 3 sigma");
}

// The targets with the air measured: the first limit's case also at every
// threshold within bound and with fewer pulses.
void CheckMeasured(const std::vector<Row>& rows) {
  for (const auto& [points, limit] : kMeasuredRmsLimits) {
    std::printf("\nchecks, air measured (%d points at %g\"):\n", points, kMeasuredNoise);
    CheckThresholds(rows, points, kMeasuredNoise, Air::Measured, limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<bench::Outputs> outputs = bench::ParseOutputs(argc, argv);
  if (!outputs) return 2;
  const std::string& csv_path = outputs->csv_path;
  const std::string& plot_path = outputs->plot_path;

  // The uncorrected mount's drift sets each tick's bound; no model changes it.
  std::vector<Run> drifts;
  for (const Target& t : kTargets)
    drifts.push_back(Simulate(t, 1.0, Mode::None, TrueObservatory()));

  std::vector<Case> cases;
  cases.reserve(std::size(kAirs) * std::size(kPointCounts) * std::size(kNoises));
  for (Air air : kAirs)
    for (double noise : kNoises)
      for (int points : kPointCounts) cases.push_back(FitCase(points, noise, air));
  std::vector<Row> rows;
  for (const Case& c : cases)
    for (double threshold : kThresholds)
      for (Mode mode : kModes) rows.push_back(Hold(c, mode, threshold, drifts));

  PrintRows(rows);
  PrintFits(cases);
  CheckTold(rows);
  CheckMeasured(rows);
  CheckTerms(cases);
  if (!csv_path.empty()) WriteCsv(csv_path, rows);
  if (!plot_path.empty()) {
    // Drawing needs fonts, which need a platform: offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);
    std::vector<ChainPoint> plotted;
    // With the air measured, the rates alone: pulses alone hold much the same.
    for (const Row& r : rows)
      if (r.threshold == kRmsThreshold && (r.c->air == Air::Told || r.mode == Mode::Rates))
        plotted.push_back(
            {r.c->points, r.c->noise, r.mode == Mode::Rates, r.c->air == Air::Measured, r.h.rms});
    WriteChainPlot(plot_path, plotted, kRmsThreshold);
  }
  return 0;
}
