#pragma once

#include <span>
#include <string>
#include <vector>

#include "fit.h"
#include "model/points.h"

namespace orvan::model {

// Whether this build draws (it needs Qt GUI; the arm64 build has none).
extern const bool kPlotBuiltIn;

// The residuals drawn (residual_plot.h) as the bytes of a PNG or SVG file,
// as `path`'s ending asks. Throws std::runtime_error for another ending, or
// when this build does not draw.
std::string ResidualPicture(const std::string& path, std::span<const Point> points,
                            std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                            const std::string& title);

}  // namespace orvan::model
