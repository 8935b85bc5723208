#include "night_plot.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "chart.h"
#include "support/units.h"

namespace orvan::plot {

namespace {

constexpr double kSecondsPerMinute = 60;

// Layout, pixels.
constexpr double kLeft = 84, kRight = 24, kLabelGap = 6, kLabelPad = 2;
constexpr double kTitleBaseline = 32, kSubtitleBaseline = 54, kKeyTop = 64, kKeyPitch = 16;
constexpr double kFirstAxisTop = 100, kAxisPitch = 340;
constexpr double kHeaderHeight = 22, kPanelHeight = 220, kLaneGap = 8, kLaneHeight = 70;
constexpr int kTitlePixels = 20, kTextPixels = 13, kSmallPixels = 11;
constexpr int kMostValueSteps = 6, kMostTimeSteps = 12;
// Errors beyond this many thresholds (a slew caught mid-cycle, say) are drawn
// at the edge, so that the held error stays legible; the legend has the true
// maximum.
constexpr double kMostThresholds = 5;
constexpr double kLeastThresholds = 2;

const QColor kAxisColours[2] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xc8, 0x5a, 0x00)};
const QColor kBandColour(0xe2, 0xf2, 0xe2), kBandEdge(0x4f, 0x94, 0x4f);
const QColor kSlewColour(0xfc, 0xe8, 0xa6), kTrackingColour(0xdd, 0xdd, 0xdd);
const QColor kRecaptureColour(0xe4, 0xd4, 0xf4);
const QColor kRecaptureMarkColour = kRecaptureColour.darker(250);
const QColor kStartColour(0x2e, 0x8b, 0x3a), kStopColour(0x55, 0x55, 0x55);
const QColor kAbortColour(0xe0, 0x7b, 0x00), kErrorColour(0xd0, 0x20, 0x20);
const QColor kSideColour(0x00, 0x8b, 0x8b);
const QColor kFrameColour(0xb0, 0x1e, 0x8c);
const QColor kTextColour(0x20, 0x20, 0x20);
const QColor kLabelBackground(255, 255, 255, 210);

const char* const kAxisNames[2] = {"Right ascension", "Declination"};
const char kDirections[2][2] = {{'W', 'E'}, {'S', 'N'}};  // minus, plus

double Seconds(std::int64_t ms) {
  return static_cast<double>(ms) / kMillisecondsPerSecond;
}

QColor WaitColour(Activity activity) {
  switch (activity) {
    case Activity::WaitingForSlew:
      return kSlewColour;
    case Activity::WaitingForTracking:
      return kTrackingColour;
    default:
      return kRecaptureColour;
  }
}

QColor MarkColour(Event event) {
  switch (event) {
    case Event::Start:
      return kStartColour;
    case Event::Stop:
      return kStopColour;
    case Event::Abort:
      return kAbortColour;
    case Event::SideChange:
      return kSideColour;
    default:
      return kErrorColour;
  }
}

QString Arcsec(double value) {
  return QString::number(value, 'f', 2) + QString::fromUtf8("″");
}

QString Duration(double seconds) {
  const auto minutes = static_cast<long>(std::round(seconds / kSecondsPerMinute));
  const long per_hour = static_cast<long>(kSecondsPerHour / kSecondsPerMinute);
  if (minutes < per_hour) return QString("%1 min").arg(minutes);
  return QString("%1 h %2 min").arg(minutes / per_hour).arg(minutes % per_hour);
}

// The errors' scale, ± arc-seconds: all of them, but no further than a few
// thresholds out.
double ErrorLimit(const Night& night) {
  double most = std::max(night.ra().max_abs, night.dec().max_abs);
  const double threshold = night.largest_threshold();
  if (threshold > 0)
    most = std::clamp(most, kLeastThresholds * threshold, kMostThresholds * threshold);
  return most > 0 ? NiceCeil(most) : 1;
}

void DrawTitle(QPainter& p, const Night& night, const QString& title) {
  p.setPen(kTextColour);
  p.setFont(ChartFont(kTitlePixels, true));
  p.drawText(QPointF(kLeft, kTitleBaseline), title);
  const auto at = [](std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString("yyyy-MM-dd hh:mm");
  };
  const QString sub = QString("%1 to %2 UTC  ·  %3  ·  %4 cycles")
                          .arg(at(night.begin_ms()), at(night.end_ms()),
                               Duration(Seconds(night.end_ms() - night.begin_ms())))
                          .arg(night.cycles());
  p.setFont(ChartFont(kTextPixels));
  p.drawText(QPointF(kLeft, kSubtitleBaseline), sub);
}

// Two rows: what is shaded and the pulses; then the lines and the frames.
void DrawKey(QPainter& p) {
  p.setFont(ChartFont(kSmallPixels));
  DrawLegendRow(p, QPointF(kLeft, kKeyTop),
                {{"within threshold", kBandColour, Swatch::Box},
                 {"waiting for slew", kSlewColour, Swatch::Box},
                 {"tracking off", kTrackingColour, Swatch::Box},
                 {"re-capture", kRecaptureColour, Swatch::Box},
                 {"pulse, at the error it corrected", kTextColour, Swatch::Triangle},
                 {"re-capture, at the error it saw", kRecaptureMarkColour, Swatch::Diamond}});
  DrawLegendRow(p, QPointF(kLeft, kKeyTop + kKeyPitch),
                {{"start", kStartColour},
                 {"stop", kStopColour},
                 {"abort", kAbortColour},
                 {"error", kErrorColour},
                 {"pier side", kSideColour},
                 {"frame drift", kFrameColour, Swatch::Dot},
                 {"refused frame", kFrameColour, Swatch::Cross}});
}

void ShadeWaits(QPainter& p, const Panel& panel, const Night& night) {
  for (const Span& s : night.waits())
    ShadeTimes(p, panel, Seconds(s.begin_ms), Seconds(s.end_ms), WaitColour(s.activity));
}

void DrawMarks(QPainter& p, const Panel& panel, const Night& night) {
  for (const Mark& m : night.marks())
    DrawTimeLine(p, panel, Seconds(m.time_ms), QPen(MarkColour(m.event), 1.5));
}

// Each start, stop, abort, error and change of pier side named at the top of
// the first panel, beside its line, where there is room for it.
void LabelMarks(QPainter& p, const Panel& panel, const Night& night) {
  static const char* const kNames[] = {"start", "", "stop", "abort", "error", "pier"};
  p.setFont(ChartFont(kSmallPixels));
  const QFontMetricsF metrics(p.font());
  const QRectF& a = panel.area();
  double free_from = a.left();
  for (const Mark& m : night.marks()) {
    QString text = kNames[static_cast<int>(m.event)];
    if (m.event == Event::Error) text += QString(" 0x%1").arg(m.error_number, 8, 16, QChar('0'));
    if (m.event == Event::SideChange) text += m.side == PierSide::East ? " east" : " west";
    const double width = metrics.horizontalAdvance(text) + 2 * kLabelPad;
    const double line = panel.X(Seconds(m.time_ms));
    // Right of the line, or left of it at the right edge.
    const double x = line + width < a.right() ? line + 1 : line - width;
    if (x < free_from) continue;
    const QRectF box(x, a.top() + 1, width, metrics.height());
    p.fillRect(box, kLabelBackground);
    p.setPen(MarkColour(m.event));
    p.drawText(QPointF(x + kLabelPad, box.top() + metrics.ascent()), text);
    free_from = box.right() + metrics.averageCharWidth();
  }
}

void DrawHeader(QPainter& p, int axis, const AxisStats& s, double top) {
  const char minus = kDirections[axis][0], plus = kDirections[axis][1];
  p.setFont(ChartFont(kTextPixels, true));
  p.setPen(kAxisColours[axis]);
  const QString name = QString("%1 error (%2)").arg(kAxisNames[axis], QString::fromUtf8("″"));
  p.drawText(QPointF(kLeft, top + kTextPixels), name);
  const double after = kLeft + QFontMetricsF(p.font()).horizontalAdvance(name) + kTextPixels;
  p.setFont(ChartFont(kTextPixels));
  p.setPen(kTextColour);
  p.drawText(QPointF(after, top + kTextPixels),
             QString("RMS %1   max %2   %3 pulses (%4 %5, %6 %7)")
                 .arg(Arcsec(s.rms()), Arcsec(s.max_abs))
                 .arg(s.pulses())
                 .arg(s.pulses_plus)
                 .arg(plus)
                 .arg(s.pulses_minus)
                 .arg(minus));
}

void DrawThresholds(QPainter& p, const Panel& panel, const Night& night) {
  QPen edge(kBandEdge, 1);
  edge.setDashPattern({4, 3});
  for (const Span& s : night.thresholds()) {
    const double t0 = Seconds(s.begin_ms), t1 = Seconds(s.end_ms);
    ShadeValues(p, panel, t0, t1, -s.threshold, s.threshold, kBandColour);
    DrawValueLine(p, panel, t0, t1, s.threshold, edge);
    DrawValueLine(p, panel, t0, t1, -s.threshold, edge);
  }
}

void DrawErrors(QPainter& p, const Panel& panel, const Night& night, int axis) {
  Trace trace(panel);
  Markers pulses(panel);
  for (const CycleRecord& c : night.measured()) {
    const double t = Seconds(c.time_ms);
    if (c.run_start) trace.Break();
    trace.Add(t, c.error[axis]);
    pulses.Add(t, c.error[axis], c.pulse_sign[axis]);
  }
  trace.Draw(p, QPen(kAxisColours[axis], 1.2));
  pulses.Draw(p, kAxisColours[axis].darker(140));
  // Beyond five thresholds, a re-capture may lie past the panel's edge: it
  // is drawn on the edge.
  const Range& values = panel.value();
  for (const RecaptureRecord& r : night.recaptures())
    DrawDiamond(p,
                QPointF(panel.X(Seconds(r.time_ms)),
                        panel.Y(std::clamp<double>(r.error[axis], values.lo, values.hi))),
                kRecaptureMarkColour);
}

// Each frame measured against the reference at the middle of its exposure,
// on top of the errors it explains.
void DrawFrames(QPainter& p, const Panel& panel, const Night& night, int axis) {
  for (const FrameRecord& f : night.frames()) {
    const double t = Seconds(f.mid_ms);
    if (t < panel.time().lo || t > panel.time().hi) continue;
    const QPointF at(panel.X(t), panel.Y(f.drift[axis]));
    if (f.refused) {
      DrawCross(p, at, kFrameColour);
    } else {
      DrawDot(p, at, kFrameColour);
    }
  }
}

// The pulses as ticks from a centre line: up for E or N, down for W or S, as
// long as the pulse.
void DrawLane(QPainter& p, const Panel& lane, const Night& night, int axis, bool time_labels) {
  ShadeWaits(p, lane, night);
  p.setFont(ChartFont(kSmallPixels));
  DrawTimeGrid(p, lane, TimeStep(lane.time().span(), kMostTimeSteps), TimeLabels::Clock,
               time_labels);
  DrawValueLine(p, lane, lane.time().lo, lane.time().hi, 0, QPen(kStopColour, 0.5));
  Ticks ticks(lane);
  for (const CycleRecord& c : night.measured())
    if (c.pulse_sign[axis] != 0)
      ticks.Add(Seconds(c.time_ms), static_cast<float>(c.pulse_sign[axis]) * c.pulse_ms[axis]);
  ticks.Draw(p, QPen(kAxisColours[axis], 1));
  DrawMarks(p, lane, night);
  DrawBorder(p, lane);

  const QFontMetricsF metrics(p.font());
  const QRectF& a = lane.area();
  const QString most = QString::number(lane.value().hi, 'g', 6) + " ms";
  p.setPen(kTextColour);
  for (const auto& [y, text] : {std::pair{a.top() + metrics.ascent(), most},
                                {a.bottom() - metrics.descent(), most},
                                {a.center().y() + metrics.capHeight() / 2, QString("pulses")}})
    p.drawText(QPointF(a.left() - kLabelGap - metrics.horizontalAdvance(text), y), text);
  p.setPen(kAxisColours[axis]);
  p.drawText(QPointF(a.left() + 4, a.top() + metrics.ascent() + 1), QString(kDirections[axis][1]));
  p.drawText(QPointF(a.left() + 4, a.bottom() - metrics.descent() - 1),
             QString(kDirections[axis][0]));
}

void DrawAxis(QPainter& p, const Night& night, int axis, double error_limit, double pulse_limit) {
  const double top = kFirstAxisTop + axis * kAxisPitch;
  const AxisStats& stats = axis == 0 ? night.ra() : night.dec();
  DrawHeader(p, axis, stats, top);
  const Range time{Seconds(night.begin_ms()), Seconds(night.end_ms())};
  const double width = kNightWidth - kLeft - kRight;
  const Panel errors(QRectF(kLeft, top + kHeaderHeight, width, kPanelHeight), time,
                     {-error_limit, error_limit});
  ShadeWaits(p, errors, night);
  DrawThresholds(p, errors, night);
  p.setFont(ChartFont(kSmallPixels));
  DrawValueGrid(p, errors, NiceStep(2 * error_limit, kMostValueSteps));
  DrawTimeGrid(p, errors, TimeStep(time.span(), kMostTimeSteps), TimeLabels::Clock, false);
  DrawMarks(p, errors, night);
  DrawErrors(p, errors, night, axis);
  DrawFrames(p, errors, night, axis);
  DrawBorder(p, errors);
  if (axis == 0) LabelMarks(p, errors, night);

  const Panel lane(QRectF(kLeft, errors.area().bottom() + kLaneGap, width, kLaneHeight), time,
                   {-pulse_limit, pulse_limit});
  DrawLane(p, lane, night, axis, axis == 1);
  if (axis == 1) {
    p.setPen(kTextColour);
    const QFontMetricsF metrics(p.font());
    p.drawText(QPointF(kLeft - kLabelGap - metrics.horizontalAdvance("UTC"),
                       lane.area().bottom() + kLabelGap + metrics.ascent()),
               "UTC");
  }
}

}  // namespace

void DrawNight(QPainter& p, const Night& night, const QString& title) {
  p.fillRect(QRectF(0, 0, kNightWidth, kNightHeight), Qt::white);
  DrawTitle(p, night, title);
  DrawKey(p);
  const double longest = std::max(night.ra().longest_pulse_ms, night.dec().longest_pulse_ms);
  const double pulse_limit = longest > 0 ? NiceCeil(longest) : 1;
  for (int axis = 0; axis < 2; ++axis) DrawAxis(p, night, axis, ErrorLimit(night), pulse_limit);
}

}  // namespace orvan::plot
