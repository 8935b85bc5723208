#include "residual_plot.h"

#include <algorithm>
#include <cmath>

#include "plot/chart.h"

namespace orvan::model {
namespace {

using plot::Panel;
using plot::Range;

constexpr double kLeft = 70, kTop = 90, kBottom = 50, kGap = 90, kRight = 30;
constexpr double kSkyShare = 0.6;  // of the width, the rest for the histogram
constexpr double kTitleBaseline = 32, kSubtitleBaseline = 56;
constexpr int kTitlePixels = 20, kTextPixels = 13, kSmallPixels = 11;
constexpr int kMostGridLines = 8;
constexpr double kBins = 20;
constexpr double kLeastBin = 1e-3;  // arc-seconds: a perfect fit still draws
// The RMS drawn as this share of the sky panel's width.
constexpr double kRmsArrowShare = 0.04;
constexpr double kDotRadius = 2.5;
constexpr double kLongestArrow = 5;  // RMS
const QColor kUsedColour(0x1f, 0x5f, 0xa8);
const QColor kDroppedColour(0xa0, 0xa0, 0xa0);
const QColor kRmsColour(0xc0, 0x30, 0x30);

Range Around(double lo, double hi, double pad) {
  if (!(hi > lo)) return Range{lo - 1, hi + 1};
  return Range{lo - pad * (hi - lo), hi + pad * (hi - lo)};
}

void DrawSky(QPainter& p, QRectF area, std::span<const Point> points,
             std::span<const SkyResidual> residuals, const std::vector<bool>& used, double rms) {
  double ha_lo = 1e9, ha_hi = -1e9, dec_lo = 1e9, dec_hi = -1e9;
  for (const Point& pt : points) {
    const double ha = std::remainder(pt.observed.ha, 24.0);
    ha_lo = std::min(ha_lo, ha), ha_hi = std::max(ha_hi, ha);
    dec_lo = std::min(dec_lo, pt.observed.dec), dec_hi = std::max(dec_hi, pt.observed.dec);
  }
  const Panel panel(area, Around(ha_lo, ha_hi, 0.08), Around(dec_lo, dec_hi, 0.08));
  p.setFont(plot::ChartFont(kSmallPixels));
  plot::DrawValueGrid(p, panel, plot::NiceStep(panel.value().span(), kMostGridLines));
  plot::DrawTimeGrid(p, panel, plot::NiceStep(panel.time().span(), kMostGridLines),
                     plot::TimeLabels::Plain, true);
  plot::DrawBorder(p, panel);
  // Pixels per arc-second: the RMS as a fixed share of the panel.
  const double scale = rms > 0 ? kRmsArrowShare * area.width() / rms : 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const QPointF at(panel.X(std::remainder(points[i].observed.ha, 24.0)),
                     panel.Y(points[i].observed.dec));
    const QColor colour = used[i] ? kUsedColour : kDroppedColour;
    p.setPen(QPen(colour, 1.2));
    // A point far out (a bad solve) would cross the picture: its arrow stops
    // at kLongestArrow RMS.
    const double shown =
        std::min(1.0, kLongestArrow * rms / std::max(residuals[i].Total(), 1e-300));
    p.drawLine(at, at + QPointF(residuals[i].x, -residuals[i].y) * scale * shown);
    p.setBrush(colour);
    p.drawEllipse(at, kDotRadius, kDotRadius);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.drawText(QPointF(area.left(), area.bottom() + kBottom - 12),
             "hour angle (h, west +) across, declination (\u00b0) up; arrows: the RMS is " +
                 QString::number(kRmsArrowShare * area.width(), 'f', 0) +
                 " pixels, none longer than " + QString::number(kLongestArrow) + " RMS");
}

void DrawHistogram(QPainter& p, QRectF area, std::span<const SkyResidual> residuals,
                   const std::vector<bool>& used, double rms) {
  double most = 0;
  for (std::size_t i = 0; i < residuals.size(); ++i)
    if (used[i]) most = std::max(most, residuals[i].Total());
  // At most kBins bins of a round width, the last holding the largest.
  const double width = plot::NiceCeil(std::max({most, rms, kLeastBin}) / kBins);
  const auto bins = static_cast<std::size_t>(std::floor(most / width)) + 1;
  std::vector<int> counts(bins, 0);
  for (std::size_t i = 0; i < residuals.size(); ++i)
    if (used[i])
      ++counts[std::min(bins - 1, static_cast<std::size_t>(residuals[i].Total() / width))];
  const int highest = *std::max_element(counts.begin(), counts.end());
  const Panel panel(area, Range{0, width * double(bins)}, Range{0, std::max(1.0, highest * 1.1)});
  p.setFont(plot::ChartFont(kSmallPixels));
  plot::DrawValueGrid(p, panel, std::max(1.0, plot::NiceStep(panel.value().span(), 6)));
  plot::DrawTimeGrid(p, panel, plot::NiceStep(panel.time().span(), 6), plot::TimeLabels::Plain,
                     true);
  for (std::size_t b = 0; b < counts.size(); ++b)
    plot::ShadeValues(p, panel, double(b) * width, double(b + 1) * width, 0, counts[b],
                      kUsedColour);
  plot::DrawTimeLine(p, panel, rms, QPen(kRmsColour, 2));
  plot::DrawBorder(p, panel);
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.drawText(QPointF(area.left(), area.bottom() + kBottom - 12),
             "residual (\u2033) of the points used; red: the sky RMS");
}

}  // namespace

void DrawResiduals(QPainter& p, std::span<const Point> points,
                   std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                   const QString& title) {
  std::vector<SkyResidual> kept;
  for (std::size_t i = 0; i < residuals.size(); ++i)
    if (used[i]) kept.push_back(residuals[i]);
  const double rms = SkyRms(kept);
  p.setPen(Qt::black);
  p.setFont(plot::ChartFont(kTitlePixels, true));
  p.drawText(QPointF(kLeft, kTitleBaseline), title);
  p.setFont(plot::ChartFont(kTextPixels));
  p.drawText(QPointF(kLeft, kSubtitleBaseline), QString("%1 points, %2 used; sky RMS %3\u2033")
                                                    .arg(points.size())
                                                    .arg(kept.size())
                                                    .arg(rms, 0, 'f', 2));
  const double inner = kResidualPlotWidth - kLeft - kGap - kRight;
  const double height = kResidualPlotHeight - kTop - kBottom;
  const QRectF sky(kLeft, kTop, inner * kSkyShare, height);
  const QRectF histogram(sky.right() + kGap, kTop, inner * (1 - kSkyShare), height);
  DrawSky(p, sky, points, residuals, used, rms);
  DrawHistogram(p, histogram, residuals, used, rms);
}

}  // namespace orvan::model
