#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pointing/model_file.h"
#include "pointing/terms.h"
#include "support/csv.h"

namespace orvan::model {
namespace {

// Residuals and values are given to a thousandth of an arc-second: far below
// what plate solving measures, enough that the file reads back the fit.
std::string Fixed(double value, int decimals = 3) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Padded(std::string text, std::size_t width, bool right = true) {
  if (text.size() >= width) return text;
  const std::string pad(width - text.size(), ' ');
  return right ? pad + text : text + pad;
}

std::string PointName(const Point& p) {
  return p.source + ", line " + std::to_string(p.line);
}

std::string Joined(std::span<const std::string> parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
  return text;
}

}  // namespace

std::vector<bool> UsedFlags(const FitResult& fit, std::size_t points) {
  std::vector<bool> used(points, false);
  for (std::size_t i : fit.used) used[i] = true;
  return used;
}

std::string FitTable(const FitResult& fit, std::span<const Point> points) {
  constexpr std::size_t kName = 6, kNumber = 12;
  std::string t = Padded("term", kName, false) + Padded("value\"", kNumber) +
                  Padded("std error\"", kNumber) + "  meaning\n";
  for (std::size_t j = 0; j < fit.terms.size(); ++j) {
    const pointing::TermDef& term = pointing::Terms()[fit.terms[j]];
    t += Padded(std::string(term.name), kName, false) + Padded(Fixed(fit.values[j]), kNumber) +
         Padded(Fixed(fit.standard_errors[j]), kNumber) + "  " + std::string(term.meaning) + "\n";
  }
  t += "points used: " + std::to_string(fit.used.size()) + " of " + std::to_string(points.size()) +
       "\n";
  t += "sky RMS: " + Fixed(fit.rms) + "\"\n";
  for (const DroppedPoint& d : fit.dropped)
    t += "dropped: " + PointName(points[d.point]) + ": " + Fixed(d.residual) + "\" off, beyond " +
         Fixed(d.limit) + "\"\n";
  if (const auto& stop = fit.rejection_stopped) {
    std::string names;
    for (std::size_t term : stop->terms)
      names += (names.empty() ? "" : ", ") + std::string(pointing::Terms()[term].name);
    t += "rejection stopped: dropping " + PointName(points[stop->point]) + " would leave " + names +
         (stop->terms.size() == 1 ? " undetermined\n" : " inseparable\n");
  }
  return t;
}

std::string ModelFileText(const FitResult& fit, std::span<const std::string> data,
                          const std::string& utc_date) {
  pointing::ModelFileNotes notes;
  notes.header = {
      "OrvanACP pointing model, fitted " + utc_date + " by orvanacp-model", "data: " + Joined(data),
      "points used: " + std::to_string(fit.used.size()) + ", sky RMS: " + Fixed(fit.rms) + "\""};
  for (std::size_t j = 0; j < fit.terms.size(); ++j)
    notes.sigma[fit.terms[j]] = fit.standard_errors[j];
  return pointing::FormatPointingModel(fit.Model(), notes);
}

std::string CheckTable(const std::string& model_name, std::span<const Point> points,
                       std::span<const SkyResidual> residuals) {
  double xx = 0, yy = 0;
  for (const SkyResidual& r : residuals) {
    xx += r.x * r.x;
    yy += r.y * r.y;
  }
  const double n = double(residuals.size());
  std::string t = "model: " + model_name + "\n";
  t += "points: " + std::to_string(points.size()) + "\n";
  t += "sky RMS: " + Fixed(SkyRms(residuals)) + "\"\n";
  t += "RMS in hour angle (on the sky): " + Fixed(std::sqrt(xx / n)) + "\"\n";
  t += "RMS in declination: " + Fixed(std::sqrt(yy / n)) + "\"\n";
  const auto worst = std::max_element(residuals.begin(), residuals.end(),
                                      [](auto& a, auto& b) { return a.Total() < b.Total(); });
  t += "worst: " + PointName(points[std::size_t(worst - residuals.begin())]) + ": " +
       Fixed(worst->Total()) + "\"\n";
  return t;
}

std::string ResidualsCsv(std::span<const Point> points, std::span<const SkyResidual> residuals,
                         const std::vector<bool>& used) {
  std::string csv = "file,line,pier,ha_h,dec_deg,dx_arcsec,dy_arcsec,residual_arcsec,used\n";
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point& p = points[i];
    const SkyResidual& r = residuals[i];
    const std::string fields[] = {p.source,
                                  std::to_string(p.line),
                                  p.through_pole ? "through_pole" : "normal",
                                  Fixed(p.observed.ha, 6),
                                  Fixed(p.observed.dec, 5),
                                  Fixed(r.x),
                                  Fixed(r.y),
                                  Fixed(r.Total()),
                                  used[i] ? "yes" : "no"};
    csv += CsvRecord(fields) + "\n";
  }
  return csv;
}

}  // namespace orvan::model
