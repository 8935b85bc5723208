#include "chart.h"
#include "support/units.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace orvan::plot {

namespace {

constexpr double kSecondsPerMinute = 60;
const QColor kGridColour(0xe2, 0xe2, 0xe2);
const QColor kLabelColour(0x40, 0x40, 0x40);
constexpr double kLabelGap = 6;        // pixels between an axis and its labels
constexpr double kSwatchWidth = 20;    // a legend entry's sample
constexpr double kLegendSpacing = 18;  // between legend entries

QString TimeLabel(double t, double step, TimeLabels labels) {
  if (labels == TimeLabels::Minutes) return QString::number(std::round(t / kSecondsPerMinute));
  if (labels == TimeLabels::Plain) return QString::number(t, 'g', 6);
  // Steps of a day or more all fall at midnight: the date tells them apart.
  if (step >= kSecondsPerDay)
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::round(t)), Qt::UTC)
        .toString("MM-dd");
  const auto of_day = static_cast<long>(std::round(std::fmod(t, kSecondsPerDay)));
  const auto hour = static_cast<long>(kSecondsPerHour),
             minute = static_cast<long>(kSecondsPerMinute);
  const long h = of_day / hour, m = of_day / minute % minute, s = of_day % minute;
  const QString hm = QString("%1:%2").arg(h, 2, 10, QChar('0')).arg(m, 2, 10, QChar('0'));
  return step < kSecondsPerMinute ? hm + QString(":%1").arg(s, 2, 10, QChar('0')) : hm;
}

}  // namespace

double Panel::X(double t) const {
  return area_.left() + (t - time_.lo) / time_.span() * area_.width();
}

double Panel::Y(double v) const {
  const double clamped = std::clamp(v, value_.lo, value_.hi);
  return area_.bottom() - (clamped - value_.lo) / value_.span() * area_.height();
}

int Panel::columns() const {
  return std::max(1, static_cast<int>(std::ceil(area_.width())));
}

int Panel::Column(double t) const {
  const double c = std::floor((t - time_.lo) / time_.span() * area_.width());
  return static_cast<int>(std::clamp(c, 0.0, static_cast<double>(columns() - 1)));
}

double NiceStep(double span, int most) {
  const double rough = span / most;
  const double power = std::pow(10, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= rough) return m * power;
  return 10 * power;
}

double TimeStep(double span_seconds, int most) {
  static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                      600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  for (double step : kSteps)
    if (span_seconds / step <= most) return step;
  return kSecondsPerDay * NiceStep(span_seconds / kSecondsPerDay, most);
}

double NiceCeil(double value) {
  const double power = std::pow(10, std::floor(std::log10(value)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= value) return m * power;
  return 10 * power;
}

QFont ChartFont(int pixel_size, bool bold) {
  QFont font("DejaVu Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

void DrawValueGrid(QPainter& p, const Panel& panel, double step) {
  const QRectF& a = panel.area();
  const Range& r = panel.value();
  const QFontMetricsF metrics(p.font());
  for (double k = std::ceil(r.lo / step - 1e-9); k * step <= r.hi + step * 1e-9; ++k) {
    const double v = k * step, y = panel.Y(v);
    p.setPen(QPen(k == 0 ? kLabelColour.lighter(250) : kGridColour, 1));
    p.drawLine(QPointF(a.left(), y), QPointF(a.right(), y));
    p.setPen(kLabelColour);
    const QString text = QString::number(v, 'g', 6);
    const double w = metrics.horizontalAdvance(text);
    p.drawText(QPointF(a.left() - kLabelGap - w, y + metrics.capHeight() / 2), text);
  }
}

void DrawTimeGrid(QPainter& p, const Panel& panel, double step, TimeLabels labels,
                  bool draw_labels) {
  const QRectF& a = panel.area();
  const Range& r = panel.time();
  const QFontMetricsF metrics(p.font());
  for (double k = std::ceil(r.lo / step); k * step <= r.hi; ++k) {
    const double x = panel.X(k * step);
    p.setPen(QPen(kGridColour, 1));
    p.drawLine(QPointF(x, a.top()), QPointF(x, a.bottom()));
    if (!draw_labels) continue;
    p.setPen(kLabelColour);
    const QString text = TimeLabel(k * step, step, labels);
    const double w = metrics.horizontalAdvance(text);
    p.drawText(QPointF(x - w / 2, a.bottom() + kLabelGap + metrics.ascent()), text);
  }
}

void DrawBorder(QPainter& p, const Panel& panel) {
  p.setPen(QPen(kLabelColour, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(panel.area());
}

void ShadeTimes(QPainter& p, const Panel& panel, double t0, double t1, const QColor& colour) {
  ShadeValues(p, panel, t0, t1, panel.value().lo, panel.value().hi, colour);
}

void ShadeValues(QPainter& p, const Panel& panel, double t0, double t1, double v0, double v1,
                 const QColor& colour) {
  const double x0 = std::max(panel.X(t0), panel.area().left());
  const double x1 = std::min(panel.X(t1), panel.area().right());
  if (x1 < x0) return;
  const double y0 = panel.Y(v1), y1 = panel.Y(v0);
  // At least a pixel wide, so that a short wait in a long night still shows.
  p.fillRect(QRectF(x0, y0, std::max(1.0, x1 - x0), y1 - y0), colour);
}

void DrawValueLine(QPainter& p, const Panel& panel, double t0, double t1, double v,
                   const QPen& pen) {
  p.setPen(pen);
  const double x0 = std::max(panel.X(t0), panel.area().left());
  const double x1 = std::min(panel.X(t1), panel.area().right());
  p.drawLine(QPointF(x0, panel.Y(v)), QPointF(x1, panel.Y(v)));
}

void DrawTimeLine(QPainter& p, const Panel& panel, double t, const QPen& pen) {
  p.setPen(pen);
  const double x = panel.X(t);
  p.drawLine(QPointF(x, panel.area().top()), QPointF(x, panel.area().bottom()));
}

double DrawLegendRow(QPainter& p, QPointF at, const std::vector<LegendEntry>& entries) {
  const QFontMetricsF metrics(p.font());
  const double mid = at.y() + metrics.height() / 2;
  double x = at.x();
  for (const LegendEntry& e : entries) {
    switch (e.swatch) {
      case Swatch::Line:
      case Swatch::DashedLine: {
        QPen pen(e.colour, e.swatch == Swatch::Line ? 3 : 1.5);
        if (e.swatch == Swatch::DashedLine) pen.setDashPattern({4, 3});
        p.setPen(pen);
        p.drawLine(QPointF(x, mid), QPointF(x + kSwatchWidth, mid));
        break;
      }
      case Swatch::Box:
        p.setPen(QPen(e.colour.darker(130), 1));
        p.setBrush(e.colour);
        p.drawRect(
            QRectF(x, mid - metrics.capHeight() / 2 - 2, kSwatchWidth, metrics.capHeight() + 4));
        p.setBrush(Qt::NoBrush);
        break;
      case Swatch::Triangle:
        DrawTriangle(p, QPointF(x + kSwatchWidth / 2, mid), 1, e.colour);
        break;
      case Swatch::Dot:
        DrawDot(p, QPointF(x + kSwatchWidth / 2, mid), e.colour);
        break;
      case Swatch::Cross:
        DrawCross(p, QPointF(x + kSwatchWidth / 2, mid), e.colour);
        break;
      case Swatch::Diamond:
        DrawDiamond(p, QPointF(x + kSwatchWidth / 2, mid), e.colour);
        break;
    }
    p.setPen(kLabelColour);
    p.drawText(QPointF(x + kSwatchWidth + kLabelGap, at.y() + metrics.ascent()), e.text);
    x += kSwatchWidth + kLabelGap + metrics.horizontalAdvance(e.text) + kLegendSpacing;
  }
  return x - kLegendSpacing - at.x();
}

}  // namespace orvan::plot
