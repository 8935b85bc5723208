#pragma once

#include <QPainter>
#include <QString>
#include <span>
#include <vector>

#include "fit.h"
#include "model/points.h"

namespace orvan::model {

inline constexpr int kResidualPlotWidth = 1200;
inline constexpr int kResidualPlotHeight = 640;

// The residuals drawn: on the left each point where it was observed (hour
// angle across, west to the right; declination up) with its residual as an
// arrow, magnified; on the right a histogram of their sizes with the RMS.
// Points the fit did not use are drawn grey.
void DrawResiduals(QPainter& p, std::span<const Point> points,
                   std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                   const QString& title);

}  // namespace orvan::model
