#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <vector>

namespace orvan::plot {

struct Range {
  double lo = 0, hi = 1;
  double span() const { return hi - lo; }
};

// A rectangle of the picture and the times (seconds) and values it shows.
class Panel {
 public:
  Panel(QRectF area, Range time, Range value) : area_(area), time_(time), value_(value) {}

  double X(double t) const;
  double Y(double v) const;  // values beyond the range are drawn at its edge
  // The pixel column a time falls in, counted from the panel's left edge.
  int Column(double t) const;
  int columns() const;

  const QRectF& area() const { return area_; }
  const Range& time() const { return time_; }
  const Range& value() const { return value_; }

 private:
  QRectF area_;
  Range time_, value_;
};

// Grid steps: 1, 2 or 5 times a power of ten, the smallest giving at most
// `most` steps over `span`.
double NiceStep(double span, int most);
// The same for times in seconds, in steps a clock reads easily (1, 2, 5, 10,
// 15, 30 s; 1, 2, 5, 10, 15, 30 min; 1, 2, 3, 6, 12, 24 h).
double TimeStep(double span_seconds, int most);
// The smallest 1, 2 or 5 times a power of ten at or above `value` (> 0).
double NiceCeil(double value);

// hh:mm of the day (UTC), minutes from 0, or the value itself (an axis of
// something else than time).
enum class TimeLabels { Clock, Minutes, Plain };

QFont ChartFont(int pixel_size, bool bold = false);

void DrawValueGrid(QPainter& p, const Panel& panel, double step);
void DrawTimeGrid(QPainter& p, const Panel& panel, double step, TimeLabels labels,
                  bool draw_labels);
void DrawBorder(QPainter& p, const Panel& panel);
void ShadeTimes(QPainter& p, const Panel& panel, double t0, double t1, const QColor& colour);
void ShadeValues(QPainter& p, const Panel& panel, double t0, double t1, double v0, double v1,
                 const QColor& colour);
void DrawValueLine(QPainter& p, const Panel& panel, double t0, double t1, double v,
                   const QPen& pen);
void DrawTimeLine(QPainter& p, const Panel& panel, double t, const QPen& pen);

// A series drawn as lines between its points, with at most four points per
// pixel column (the first, lowest, highest and last), so a series of any
// length costs the same to draw and looks the same as drawn whole.
class Trace {
 public:
  explicit Trace(const Panel& panel) : panel_(panel) {}
  void Add(double t, double v);
  void Break();  // the next point starts a new line
  void Draw(QPainter& p, const QPen& pen);

 private:
  void Flush();

  const Panel& panel_;
  std::vector<QPolygonF> lines_;
  bool open_ = false;
  int column_ = 0;
  QPointF first_, low_, high_, last_;
};

// Lines up or down from the panel's zero value, the longest each way per
// pixel column.
class Ticks {
 public:
  explicit Ticks(const Panel& panel);
  void Add(double t, double v);
  void Draw(QPainter& p, const QPen& pen) const;

 private:
  const Panel& panel_;
  std::vector<float> up_, down_;
};

// Triangles pointing up or down at a value, the one furthest from zero each
// way per pixel column.
class Markers {
 public:
  explicit Markers(const Panel& panel);
  void Add(double t, double v, int sign);
  void Draw(QPainter& p, const QColor& colour) const;

 private:
  const Panel& panel_;
  std::vector<float> up_, down_;  // NaN: none in the column
};

// A marker pointing up (sign > 0) or down, centred on `at`.
inline constexpr double kMarkerSize = 4;  // half the width, pixels
void DrawTriangle(QPainter& p, QPointF at, int sign, const QColor& colour);
// A filled disc, a diagonal cross and a diamond's outline, as wide as a
// triangle.
void DrawDot(QPainter& p, QPointF at, const QColor& colour);
void DrawCross(QPainter& p, QPointF at, const QColor& colour);
void DrawDiamond(QPainter& p, QPointF at, const QColor& colour);

enum class Swatch { Line, DashedLine, Box, Triangle, Dot, Cross, Diamond };
struct LegendEntry {
  QString text;
  QColor colour;
  Swatch swatch = Swatch::Line;
};

// Entries left to right from `at` (the top left of the row); returns the
// row's width.
double DrawLegendRow(QPainter& p, QPointF at, const std::vector<LegendEntry>& entries);

}  // namespace orvan::plot
