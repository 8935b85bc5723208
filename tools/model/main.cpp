// orvanacp-model: the pointing model fitted to plate-solved points
// (`fit DATA...`), or an existing model judged by points (`check MODEL DATA...`).
#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fit.h"
#include "model_command_line.h"
#include "pointing/model_file.h"
#include "report.h"
#include "residual_picture.h"
#include "support/replace_file.h"
#include "support/utc_text.h"

namespace {

using namespace orvan::model;

constexpr int kBadInput = 2;
constexpr int kCannotWrite = 1;
constexpr char kName[] = "orvanacp-model: ";
constexpr std::size_t kDateLength = 10;  // YYYY-MM-DD

// A file to write, rendered whole before any is written.
struct Output {
  std::string path;
  std::string text;
};

// One warning for each option given that a file has no use for or
// overrides, however many files do.
void WarnUnused(const ModelOptions& o, std::span<const UnusedSetting> unused) {
  std::vector<ReadSetting> warned;
  for (const UnusedSetting& u : unused) {
    if (std::find(o.given.begin(), o.given.end(), u.setting) == o.given.end() ||
        std::find(warned.begin(), warned.end(), u.setting) != warned.end())
      continue;
    warned.push_back(u.setting);
    std::cerr << kName << "warning: " << OptionOf(u.setting) << " " << u.what << '\n';
  }
}

std::vector<Point> ReadAll(const ModelOptions& o) {
  std::vector<Point> points;
  std::vector<UnusedSetting> unused;
  for (const std::string& file : o.data) {
    std::vector<Point> more = ReadPoints(file, o.read, &unused);
    if (more.empty()) throw PointError(file + ": no points");
    points.insert(points.end(), more.begin(), more.end());
  }
  WarnUnused(o, unused);
  return points;
}

// The residuals CSV and the picture, as asked.
void AddResidualOutputs(const ModelOptions& o, std::span<const Point> points,
                        std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                        const std::string& title, std::vector<Output>& outputs) {
  if (o.residuals) outputs.push_back({*o.residuals, ResidualsCsv(points, residuals, used)});
  if (o.plot)
    outputs.push_back({*o.plot, ResidualPicture(*o.plot, points, residuals, used, title)});
}

std::string Title(const ModelOptions& o) {
  std::string title =
      o.command == Command::Fit ? "Residuals of the fit to" : "Residuals of " + o.model + " on";
  for (const std::string& file : o.data) title += " " + file;
  return title;
}

// Works out everything to print and to write; throws on bad input.
std::string Run(const ModelOptions& o, std::vector<Output>& outputs) {
  const std::vector<Point> points = ReadAll(o);
  if (o.command == Command::Check) {
    const orvan::pointing::PointingTerms model = orvan::pointing::LoadPointingModel(o.model);
    std::vector<SkyResidual> residuals;
    residuals.reserve(points.size());
    for (const Point& p : points) residuals.push_back(ResidualOf(p, model));
    AddResidualOutputs(o, points, residuals, std::vector<bool>(points.size(), true), Title(o),
                       outputs);
    return CheckTable(o.model, points, residuals);
  }
  const FitResult fit = Fit(points, o.terms, o.reject_sigma);
  if (o.output)
    outputs.push_back(
        {*o.output, ModelFileText(fit, o.data, orvan::UtcNowText().substr(0, kDateLength))});
  AddResidualOutputs(o, points, fit.residuals, UsedFlags(fit, points.size()), Title(o), outputs);
  return FitTable(fit, points);
}

// Every output staged, then all put in place together: a failure leaves
// every old file as it was.
bool WriteOutputs(const std::vector<Output>& outputs) {
  orvan::ReplaceFiles files;
  std::string failed, reason;
  for (const Output& out : outputs) {
    if (!files.Stage(out.path, out.text, reason)) {
      failed = out.path;
      break;
    }
  }
  if (failed.empty() && files.Commit(failed, reason)) return true;
  std::cerr << kName << "cannot write " << failed << ": " << reason << '\n';
  return false;
}

int Main(const ModelOptions& o) {
  if (const std::string clash = OutputClash(o); !clash.empty()) {
    std::cerr << kName << clash << '\n';
    return kBadInput;
  }
  std::vector<Output> outputs;
  std::string report;
  try {
    report = Run(o, outputs);
  } catch (const std::exception& e) {
    std::cerr << kName << e.what() << '\n';
    return kBadInput;
  }
  if (!WriteOutputs(outputs)) return kCannotWrite;
  std::cout << report;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const ParsedModelCommand parsed = ParseModelCommand(args);
  if (!parsed.error.empty()) {
    std::cerr << kName << parsed.error << '\n' << ModelUsage();
    return kBadInput;
  }
  if (parsed.options.help) {
    std::cout << ModelUsage();
    return 0;
  }
  if (parsed.options.version) {
    std::cout << "orvanacp-model (OrvanACP " ORVAN_PRODUCT_VERSION ")\n";
    return 0;
  }
  return Main(parsed.options);
}
