#include "chain_plot.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

#include "plot/chart.h"
#include "plot/picture.h"

namespace orvan::bench {
namespace {

constexpr int kWidth = 740, kHeight = 420;
constexpr double kLeft = 70, kTop = 70, kPanelWidth = 640, kPanelHeight = 290;
constexpr double kTitleAbove = 40, kLegendAbove = 24, kAxisNameBelow = 26, kAxisNameHeight = 20;
constexpr int kTitlePixels = 13, kTextPixels = 11;
constexpr int kMostValueSteps = 5;
constexpr double kMostPoints = 90, kPointStep = 10;

QColor NoiseColour(double noise) {
  return noise < 1   ? QColor(0x30, 0xa0, 0x50)
         : noise < 3 ? QColor(0x20, 0x60, 0xc0)
                     : QColor(0xc0, 0x30, 0x30);
}

}  // namespace

void WriteChainPlot(const std::string& path, const std::vector<ChainPoint>& points,
                    double threshold) {
  // One line for each noise, mode and air, through its point counts in order.
  std::map<std::tuple<double, bool, bool>, std::vector<const ChainPoint*>> lines;
  double most = 0;
  for (const ChainPoint& p : points) {
    lines[{p.noise, p.rates, p.measured}].push_back(&p);
    most = std::max(most, p.rms);
  }
  const double step = plot::NiceStep(most, kMostValueSteps);
  const QString title =
      QString("holding RMS on the sky (arcsec) against points fitted, threshold %1\u2033")
          .arg(threshold);
  plot::WritePicture(path, QSize(kWidth, kHeight), title, [&](QPainter& p) {
    const plot::Panel panel(QRectF(kLeft, kTop, kPanelWidth, kPanelHeight), {0, kMostPoints},
                            {0, step * std::ceil(most / step)});
    p.setFont(plot::ChartFont(kTitlePixels));
    p.setPen(Qt::black);
    p.drawText(QPointF(kLeft, kTop - kTitleAbove), title);
    p.setFont(plot::ChartFont(kTextPixels));
    std::vector<plot::LegendEntry> legend;
    std::vector<double> noises;
    for (const auto& [key, line] : lines)
      if (std::find(noises.begin(), noises.end(), std::get<0>(key)) == noises.end())
        noises.push_back(std::get<0>(key));
    legend.reserve(legend.size() + noises.size() + 3);
    for (double noise : noises)
      legend.push_back({QString("points at %1\u2033").arg(noise), NoiseColour(noise)});
    legend.push_back({"rates + pulses", Qt::black});
    legend.push_back({"pulses alone", Qt::black, plot::Swatch::DashedLine});
    legend.push_back({"air measured", Qt::black, plot::Swatch::Triangle});
    plot::DrawLegendRow(p, QPointF(kLeft, kTop - kLegendAbove), legend);
    plot::DrawValueGrid(p, panel, step);
    plot::DrawTimeGrid(p, panel, kPointStep, plot::TimeLabels::Plain, true);
    for (const auto& [key, line] : lines) {
      const auto& [noise, rates, measured] = key;
      plot::Trace trace(panel);
      for (const ChainPoint* c : line) trace.Add(c->points, c->rms);
      QPen pen(NoiseColour(noise), measured ? 1 : 1.5);
      if (!rates) pen.setDashPattern({6, 4});
      trace.Draw(p, pen);
      if (!measured) continue;
      for (const ChainPoint* c : line)
        plot::DrawTriangle(p, QPointF(panel.X(c->points), panel.Y(c->rms)), 1, NoiseColour(noise));
    }
    plot::DrawBorder(p, panel);
    p.setFont(plot::ChartFont(kTitlePixels));
    p.drawText(QRectF(kLeft, kHeight - kAxisNameBelow, kPanelWidth, kAxisNameHeight),
               Qt::AlignCenter, "points fitted");
  });
}

}  // namespace orvan::bench
