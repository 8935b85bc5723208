#pragma once

#include <span>
#include <string>
#include <vector>

#include "fit.h"
#include "model/points.h"

// What orvanacp-model writes, as text: the fit's table, the check's figures,
// the model file and the residuals CSV.
namespace orvan::model {

// Each term's value and standard error, the points used, the sky RMS, each
// point dropped (file and line), and where rejection stopped short.
std::string FitTable(const FitResult& fit, std::span<const Point> points);

// The model file: the values, each with its standard error as a comment,
// under a header naming the data, the date (`utc_date`, YYYY-MM-DD) and the
// sky RMS.
std::string ModelFileText(const FitResult& fit, std::span<const std::string> data,
                          const std::string& utc_date);

// The points' count and the sky RMS of `model_name`'s residuals, with the
// RMS along each axis and the worst point.
std::string CheckTable(const std::string& model_name, std::span<const Point> points,
                       std::span<const SkyResidual> residuals);

// One line a point: file, line, side, observed hour angle and declination,
// the residual along each axis and in all (arc-seconds), and whether the fit
// used it.
std::string ResidualsCsv(std::span<const Point> points, std::span<const SkyResidual> residuals,
                         const std::vector<bool>& used);

// Which points a fit used, one flag a point.
std::vector<bool> UsedFlags(const FitResult& fit, std::size_t points);

}  // namespace orvan::model
