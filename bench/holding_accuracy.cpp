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

#include "chart.h"
#include "observatory/program/rate_follower.h"
#include "observatory/sim/simulated_observatory.h"
#include "picture.h"
#include "replay/player.h"
#include "tracking/model_tracking.h"
#include "ui/frmMain.h"

namespace {

using namespace orvan;
using namespace orvan::sim;

constexpr double kTickSeconds = 4.0;
constexpr int kTicks = 2 * 3600 / 4;  // two hours
// 2026-03-20 04:00 UT: a dark spring night at the default site.
const double kStart = program::SecondsSinceJ2000(2026, 3, 20, 4.0);

struct Target {
  const char* name;
  double start_ha;  // hours; the run covers two hours from here
  double dec;       // degrees
};

// At latitude 40 N: "high" passes 80 degrees up, "low" 35 (down to 12).
constexpr Target kTargets[] = {
    {"east-high", -4, 50}, {"meridian-high", -1, 50}, {"west-high", 2, 50},
    {"east-low", -4, -15}, {"meridian-low", -1, -15}, {"west-low", 2, -15},
};
constexpr double kThresholds[] = {0.5, 1.0, 2.0};

// Error on the sky, arc-seconds: right ascension as an angle of right
// ascension (the unit of the program's threshold), declination as is.
struct Sample {
  double ra, dec;
  double total() const { return std::hypot(ra, dec); }
};

struct Run {
  std::vector<Sample> samples;  // every second
  // Per tick, just before it runs (when the error is largest): the error, and
  // how many sky arc-seconds one arc-second of the program's model-mapped
  // error is on each axis there.
  std::vector<Sample> before_tick;
  std::vector<Sample> sky_per_mapped;
  long pulses = 0;
};

constexpr int kSamplesPerTick = 4;

// Sky arc-seconds per mapped arc-second on each axis at the mount's present
// position: the row sums of the model's local Jacobian. The program holds the
// mapped error within the threshold; near the horizon refraction stretches
// that by up to a few tenths of a percent on the sky.
Sample SkyPerMapped(Observatory& observatory) {
  const Mount& m = observatory.mount();
  const RaDec axes{m.TrueRa(), m.Dec()};
  const RaDec at = observatory.TrueSkyAt(axes);
  const double step = 1.0;  // arc-second
  const RaDec ra_step = observatory.TrueSkyAt({axes.ra + step / kArcsecPerHour, axes.dec});
  const RaDec dec_step = observatory.TrueSkyAt({axes.ra, axes.dec + step / kArcsecPerDegree});
  const auto d_ra = [&](RaDec p) { return std::abs(Wrap12(p.ra - at.ra) * kArcsecPerHour) / step; };
  const auto d_dec = [&](RaDec p) { return std::abs(p.dec - at.dec) * kArcsecPerDegree / step; };
  return {d_ra(ra_step) + d_ra(dec_step), d_dec(ra_step) + d_dec(dec_step)};
}

// How the program holds the mount: not at all, by pulses, by rates and pulses.
enum class Mode { None, Pulses, Rates };
constexpr Mode kModes[] = {Mode::None, Mode::Pulses, Mode::Rates};

const char* ModeName(Mode m) {
  return m == Mode::None ? "none" : m == Mode::Pulses ? "pulses" : "rates";
}

Run Simulate(const Target& target, double threshold, Mode mode, bool periodic_error) {
  ObservatoryConfig config = DefaultObservatoryConfig();
  if (periodic_error) {
    config.mount.periodic_error_arcsec = 7;  // typical of a mid-range worm drive
    config.mount.worm_period_s = 480;
  }
  config.start = {Wrap24(LocalSiderealTime(config.site, kStart) - target.start_ha), target.dec};
  auto clock = std::make_shared<program::VirtualClock>(kStart);
  auto observatory = std::make_shared<Observatory>(config, clock);
  auto program = MakeSimulatedProgram(observatory);
  auto factory = program::MakeAcpFactory(program);
  replay::Recorder recorder([](const std::string&) {}, '.');
  program::RateFollower follower(program, {});
  tracking::ModelTracking rates(follower);

  Run run;
  {
    std::unique_ptr<frmMain> main_form;  // it refers to the recorder and the observatory
    frmMain& form = Module1::Main(main_form, recorder, *factory);
    if (mode == Mode::Rates) form.Listen(&rates);
    char text[16];
    std::snprintf(text, sizeof text, "%g", threshold);
    form.Type(ControlId::Text11, text);
    // The star the user sees when pressing the button is the one to hold.
    const RaDec aim = observatory->TrueSky();
    if (mode != Mode::None) form.Click();
    for (int i = 0; i < kTicks; ++i) {
      for (int k = 0; k < kSamplesPerTick; ++k) {
        clock->Advance(kTickSeconds / kSamplesPerTick);
        const RaDec sky = observatory->TrueSky();
        run.samples.push_back(
            {Wrap12(sky.ra - aim.ra) * kArcsecPerHour, (sky.dec - aim.dec) * kArcsecPerDegree});
      }
      run.before_tick.push_back(run.samples.back());
      run.sky_per_mapped.push_back(SkyPerMapped(*observatory));
      form.Tick();
      if (form.ended()) {
        std::fprintf(stderr, "the program ended during %s\n", target.name);
        std::exit(1);
      }
    }
  }
  run.pulses = observatory->pulses();
  return run;
}

struct Row {
  std::string target;
  double threshold;
  Mode mode;
  bool periodic_error;
  double rms_ra, rms_dec, rms, max;
  long pulses;
  double share_within_bound;
  double share_within_plain;  // the same with the threshold not scaled to the sky
};

// RMS and maximum over time (every second). The bound at each tick: the
// program lets an axis stray up to the threshold (mapped to the sky) and then
// one cycle's drift, what the uncorrected mount drifted on that axis over the
// preceding 4 s.
Row Summarise(const Target& t, double threshold, Mode mode, bool pe, const Run& run,
              const Run& drift) {
  Row row{t.name, threshold, mode, pe, 0, 0, 0, 0, run.pulses, 0, 0};
  for (const Sample& s : run.samples) {
    row.rms_ra += s.ra * s.ra;
    row.rms_dec += s.dec * s.dec;
    row.max = std::max(row.max, s.total());
  }
  const double n = static_cast<double>(run.samples.size());
  row.rms = std::sqrt((row.rms_ra + row.rms_dec) / n);
  row.rms_ra = std::sqrt(row.rms_ra / n);
  row.rms_dec = std::sqrt(row.rms_dec / n);

  int within = 0, within_plain = 0;
  for (std::size_t i = 0; i < run.before_tick.size(); ++i) {
    const Sample& e = run.before_tick[i];
    const Sample before = i ? drift.before_tick[i - 1] : Sample{0, 0};
    const Sample step{std::abs(drift.before_tick[i].ra - before.ra),
                      std::abs(drift.before_tick[i].dec - before.dec)};
    const Sample& scale = run.sky_per_mapped[i];
    within += std::abs(e.ra) <= threshold * scale.ra + step.ra &&
              std::abs(e.dec) <= threshold * scale.dec + step.dec;
    within_plain +=
        std::abs(e.ra) <= threshold + step.ra && std::abs(e.dec) <= threshold + step.dec;
  }
  row.share_within_bound = within / static_cast<double>(run.before_tick.size());
  row.share_within_plain = within_plain / static_cast<double>(run.before_tick.size());
  return row;
}

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
  std::string csv_path, plot_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--csv" || arg == "--plot") && i + 1 < argc) {
      (arg == "--csv" ? csv_path : plot_path) = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--csv FILE] [--plot FILE.svg|FILE.png]\n", argv[0]);
      return 2;
    }
  }

  std::vector<Row> rows;
  for (const Target& t : kTargets)
    for (bool pe : {false, true}) {
      const Run drift = Simulate(t, 1.0, Mode::None, pe);
      for (double threshold : kThresholds)
        for (Mode mode : kModes)
          rows.push_back(Summarise(t, threshold, mode, pe,
                                   mode == Mode::None ? drift : Simulate(t, threshold, mode, pe),
                                   drift));
    }

  std::printf("%-14s %5s %6s %3s %8s %8s %8s %8s %6s %8s %8s\n", "target", "thr\"", "mode", "pe",
              "rms_ra\"", "rms_dec\"", "rms\"", "max\"", "pulses", "within", "(plain)");
  for (const Row& r : rows)
    std::printf("%-14s %5.1f %6s %3s %8.3f %8.3f %8.3f %8.3f %6ld %7.2f%% %7.2f%%\n",
                r.target.c_str(), r.threshold, ModeName(r.mode), r.periodic_error ? "yes" : "no",
                r.rms_ra, r.rms_dec, r.rms, r.max, r.pulses, 100 * r.share_within_bound,
                100 * r.share_within_plain);

  if (!csv_path.empty()) {
    std::ofstream csv(csv_path);
    csv << "target,threshold_arcsec,mode,periodic_error,rms_ra_arcsec,rms_dec_arcsec,"
           "rms_arcsec,max_arcsec,pulses,share_within_bound\n";
    char line[256];
    for (const Row& r : rows) {
      std::snprintf(line, sizeof line, "%s,%g,%s,%d,%.4f,%.4f,%.4f,%.4f,%ld,%.5f\n",
                    r.target.c_str(), r.threshold, ModeName(r.mode), r.periodic_error, r.rms_ra,
                    r.rms_dec, r.rms, r.max, r.pulses, r.share_within_bound);
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
