#pragma once

#include <QPainter>
#include <QSize>
#include <QString>

#include "night.h"

namespace orvan::plot {

// The picture of a night: its size in pixels (SVG and PNG alike).
inline constexpr int kNightWidth = 1200;
inline constexpr int kNightHeight = 800;

// Draws both axes' errors against time with the threshold band, the pulses,
// the frames' drift, the waits and the start, stop, abort and error lines,
// and each axis' RMS, maximum and pulse count. `title` heads the picture (the log's name).
void DrawNight(QPainter& p, const Night& night, const QString& title);

}  // namespace orvan::plot
