// Runs the program's own window logic against the simulated observatory in
// virtual time and measures how far the mount really strays from the target
// on the sky, uncorrected, corrected by pulses alone, and by the model's
// tracking rates with pulses for the rest (--rates).
//
//   holding-accuracy [--csv FILE] [--plot FILE.svg|FILE.png]

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "holding.h"
#include "observatory/sim/simulated_observatory.h"
#include "plot/chart.h"
#include "plot/picture.h"

namespace {

using namespace orvan;
using namespace orvan::bench;

constexpr Mode kModes[] = {Mode::None, Mode::Pulses, Mode::Rates};

sim::ObservatoryConfig Config(bool periodic_error) {
  sim::ObservatoryConfig config = sim::DefaultObservatoryConfig();
  if (periodic_error) {
    config.mount.periodic_error_arcsec = 7;  // typical of a mid-range worm drive
    config.mount.worm_period_s = 480;
  }
  return config;
}

Run Simulate(const Target& target, double threshold, Mode mode, bool periodic_error) {
  return bench::Simulate(target, threshold, mode, Config(periodic_error));
}

struct Row {
  std::string target;
  double threshold;
  Mode mode;
  bool periodic_error;
  Holding h;
};

// ---- plot -------------------------------------------------------------------

constexpr int kPlotWidth = 740, kPlotHeight = 580;
constexpr double kPlotLeft = 70, kPlotPanelWidth = 640, kPlotPanelHeight = 190;
constexpr double kTopPanel = 64, kBottomPanel = 344;
constexpr double kTitleAbove = 30, kLegendAbove = 22, kAxisNameBelow = 24, kAxisNameHeight = 20;
constexpr int kTitlePixels = 13, kTextPixels = 11;
constexpr int kMostTimeSteps = 8, kMostValueSteps = 5;
const QColor kThresholdColour(0x99, 0x99, 0x99);

enum class Axis { Total, Ra, Dec };

struct Series {
  const char* label;
  QColor colour;
  const std::vector<Sample>* samples;
  Axis axis = Axis::Total;

  double At(std::size_t i) const {
    const Sample& s = (*samples)[i];
    return axis == Axis::Total ? s.total() : std::abs(axis == Axis::Ra ? s.ra : s.dec);
  }
};

void DrawPanel(QPainter& p, double top, double y_max, const std::vector<Series>& series,
               double threshold, const QString& title) {
  const double seconds = kTicks * kTickSeconds;
  const plot::Panel panel(QRectF(kPlotLeft, top, kPlotPanelWidth, kPlotPanelHeight), {0, seconds},
                          {0, y_max});
  p.setFont(plot::ChartFont(kTitlePixels));
  p.setPen(Qt::black);
  p.drawText(QPointF(kPlotLeft, top - kTitleAbove), title);
  p.setFont(plot::ChartFont(kTextPixels));
  std::vector<plot::LegendEntry> legend;
  legend.reserve(series.size() + 1);
  for (const Series& s : series) legend.push_back({s.label, s.colour});
  if (threshold > 0) legend.push_back({"threshold", kThresholdColour, plot::Swatch::DashedLine});
  plot::DrawLegendRow(p, QPointF(kPlotLeft, top - kLegendAbove), legend);
  plot::DrawValueGrid(p, panel, plot::NiceStep(y_max, kMostValueSteps));
  plot::DrawTimeGrid(p, panel, plot::TimeStep(seconds, kMostTimeSteps), plot::TimeLabels::Minutes,
                     true);
  if (threshold > 0) {
    QPen dashed(kThresholdColour, 1);
    dashed.setDashPattern({6, 4});
    plot::DrawValueLine(p, panel, 0, seconds, threshold, dashed);
  }
  const double per_sample = kTickSeconds / kSamplesPerTick;
  for (const Series& s : series) {
    plot::Trace trace(panel);
    for (std::size_t i = 0; i < s.samples->size(); ++i)
      trace.Add(static_cast<double>(i + 1) * per_sample, s.At(i));
    trace.Draw(p, QPen(s.colour, 1));
  }
  plot::DrawBorder(p, panel);
}

void WritePlot(const std::string& path, const Target& t, double threshold, const Run& uncorrected,
               const Run& corrected, const Run& corrected_pe) {
  const QString title =
      QString("%1, threshold %2\u2033: total error on the sky (arcsec)").arg(t.name).arg(threshold);
  double most = 0;
  for (const Sample& e : uncorrected.samples) most = std::max(most, e.total());
  const double step = plot::NiceStep(most, kMostValueSteps);
  plot::WritePicture(path, QSize(kPlotWidth, kPlotHeight), title, [&](QPainter& p) {
    DrawPanel(
        p, kTopPanel, step * std::ceil(most / step),
        {{"uncorrected", QColor(0xc0, 0x30, 0x30), &uncorrected.samples},
         {"corrected", QColor(0x20, 0x60, 0xc0), &corrected.samples},
         {"corrected, 7\u2033 periodic error", QColor(0x30, 0xa0, 0x50), &corrected_pe.samples}},
        0, title);
    DrawPanel(p, kBottomPanel, 2 * threshold,
              {{"right ascension", QColor(0x20, 0x60, 0xc0), &corrected.samples, Axis::Ra},
               {"declination", QColor(0xd0, 0x80, 0x00), &corrected.samples, Axis::Dec}},
              threshold, "corrected, each axis (arcsec)");
    p.setFont(plot::ChartFont(kTitlePixels));
    p.drawText(QRectF(kPlotLeft, kPlotHeight - kAxisNameBelow, kPlotPanelWidth, kAxisNameHeight),
               Qt::AlignCenter, "minutes");
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<bench::Outputs> outputs = bench::ParseOutputs(argc, argv);
  if (!outputs) return 2;
  const std::string& csv_path = outputs->csv_path;
  const std::string& plot_path = outputs->plot_path;

  std::vector<Row> rows;
  for (const Target& t : kTargets)
    for (bool pe : {false, true}) {
      const Run drift = Simulate(t, 1.0, Mode::None, pe);
      for (double threshold : kThresholds)
        for (Mode mode : kModes)
          rows.push_back(
              {t.name, threshold, mode, pe,
               Summarise(threshold, mode == Mode::None ? drift : Simulate(t, threshold, mode, pe),
                         drift)});
    }

  std::printf("%-14s %5s %6s %3s %8s %8s %8s %8s %6s %8s %8s\n", "target", "thr\"", "mode", "pe",
              "rms_ra\"", "rms_dec\"", "rms\"", "max\"", "pulses", "within", "(plain)");
  for (const Row& r : rows)
    std::printf("%-14s %5.1f %6s %3s %8.3f %8.3f %8.3f %8.3f %6ld %7.2f%% %7.2f%%\n",
                r.target.c_str(), r.threshold, ModeName(r.mode), r.periodic_error ? "yes" : "no",
                r.h.rms_ra, r.h.rms_dec, r.h.rms, r.h.max, r.h.pulses, 100 * r.h.share_within_bound,
                100 * r.h.share_within_plain);

  if (!csv_path.empty()) {
    std::ofstream csv(csv_path);
    csv << "target,threshold_arcsec,mode,periodic_error,rms_ra_arcsec,rms_dec_arcsec,"
           "rms_arcsec,max_arcsec,pulses,share_within_bound\n";
    char line[256];
    for (const Row& r : rows) {
      std::snprintf(line, sizeof line, "%s,%g,%s,%d,%.4f,%.4f,%.4f,%.4f,%ld,%.5f\n",
                    r.target.c_str(), r.threshold, ModeName(r.mode), r.periodic_error, r.h.rms_ra,
                    r.h.rms_dec, r.h.rms, r.h.max, r.h.pulses, r.h.share_within_bound);
      csv << line;
    }
  }
  if (!plot_path.empty()) {
    // Drawing needs fonts, which need a platform: offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);
    const Target& t = kTargets[3];  // east-low: refraction changes fastest there
    WritePlot(plot_path, t, 1.0, Simulate(t, 1.0, Mode::None, false),
              Simulate(t, 1.0, Mode::Pulses, false), Simulate(t, 1.0, Mode::Pulses, true));
  }
  return 0;
}
