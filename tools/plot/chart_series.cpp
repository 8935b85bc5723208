// The series a chart draws, thinned to what its pixels can show.
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart.h"

namespace orvan::plot {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

}  // namespace

void DrawTriangle(QPainter& p, QPointF at, int sign, const QColor& colour) {
  const double size = kMarkerSize, tip = sign > 0 ? -size : size;
  const QPointF points[3] = {QPointF(at.x(), at.y() + tip), QPointF(at.x() - size, at.y() - tip),
                             QPointF(at.x() + size, at.y() - tip)};
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(points, 3);
  p.setBrush(Qt::NoBrush);
}

void DrawDot(QPainter& p, QPointF at, const QColor& colour) {
  p.setPen(QPen(colour.darker(130), 1));
  p.setBrush(colour);
  p.drawEllipse(at, kMarkerSize, kMarkerSize);
  p.setBrush(Qt::NoBrush);
}

void DrawDiamond(QPainter& p, QPointF at, const QColor& colour) {
  const double size = kMarkerSize + 1;
  const QPointF corners[] = {at + QPointF(0, -size), at + QPointF(size, 0), at + QPointF(0, size),
                             at + QPointF(-size, 0)};
  p.setPen(QPen(colour, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawPolygon(corners, 4);
}

void DrawCross(QPainter& p, QPointF at, const QColor& colour) {
  const double size = kMarkerSize;
  p.setPen(QPen(colour, 1.5));
  p.drawLine(QPointF(at.x() - size, at.y() - size), QPointF(at.x() + size, at.y() + size));
  p.drawLine(QPointF(at.x() - size, at.y() + size), QPointF(at.x() + size, at.y() - size));
}

void Trace::Add(double t, double v) {
  const QPointF point(panel_.X(t), panel_.Y(v));
  const int column = panel_.Column(t);
  if (open_ && column == column_) {
    if (point.y() < low_.y()) low_ = point;
    if (point.y() > high_.y()) high_ = point;
    last_ = point;
    return;
  }
  if (open_) {
    Flush();
  } else {
    lines_.emplace_back();
  }
  open_ = true;
  column_ = column;
  first_ = low_ = high_ = last_ = point;
}

void Trace::Break() {
  if (open_) Flush();
  open_ = false;
}

// The column's points in the order they came: the extremes between the first
// and the last, each once.
void Trace::Flush() {
  QPolygonF& line = lines_.back();
  const bool low_first = low_.x() <= high_.x();
  for (const QPointF& point : {first_, low_first ? low_ : high_, low_first ? high_ : low_, last_})
    if (line.isEmpty() || line.back() != point) line.append(point);
}

void Trace::Draw(QPainter& p, const QPen& pen) {
  Break();
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  for (const QPolygonF& line : lines_) {
    if (line.size() == 1) {
      p.drawPoint(line.front());
    } else {
      p.drawPolyline(line);
    }
  }
}

Ticks::Ticks(const Panel& panel)
    : panel_(panel), up_(panel.columns(), 0), down_(panel.columns(), 0) {}

void Ticks::Add(double t, double v) {
  const auto c = static_cast<std::size_t>(panel_.Column(t));
  const auto value = static_cast<float>(v);
  up_[c] = std::max(up_[c], value);
  down_[c] = std::min(down_[c], value);
}

void Ticks::Draw(QPainter& p, const QPen& pen) const {
  p.setPen(pen);
  const double zero = panel_.Y(0);
  for (std::size_t c = 0; c < up_.size(); ++c) {
    const double x = panel_.area().left() + static_cast<double>(c) + 0.5;
    if (up_[c] > 0) p.drawLine(QPointF(x, zero), QPointF(x, panel_.Y(up_[c])));
    if (down_[c] < 0) p.drawLine(QPointF(x, zero), QPointF(x, panel_.Y(down_[c])));
  }
}

Markers::Markers(const Panel& panel)
    : panel_(panel), up_(panel.columns(), kNone), down_(panel.columns(), kNone) {}

void Markers::Add(double t, double v, int sign) {
  if (sign == 0) return;
  float& kept = (sign > 0 ? up_ : down_)[static_cast<std::size_t>(panel_.Column(t))];
  if (std::isnan(kept) || std::abs(v) > std::abs(kept)) kept = static_cast<float>(v);
}

void Markers::Draw(QPainter& p, const QColor& colour) const {
  for (std::size_t c = 0; c < up_.size(); ++c) {
    const double x = panel_.area().left() + static_cast<double>(c) + 0.5;
    if (!std::isnan(up_[c])) DrawTriangle(p, QPointF(x, panel_.Y(up_[c])), 1, colour);
    if (!std::isnan(down_[c])) DrawTriangle(p, QPointF(x, panel_.Y(down_[c])), -1, colour);
  }
}

}  // namespace orvan::plot
