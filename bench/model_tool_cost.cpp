// What orvanacp-model costs end to end on a point CSV: the file read, each
// point taken through ERFA to where it was seen, and the seven terms fitted;
// 10,000 and 100,000 points a night, one every three minutes. The targets:
// under 0.3 s of CPU for 10,000, under 3 s for 100,000.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "fit/synthetic_night.h"
#include "model/fit.h"
#include "pointing/terms.h"
#include "support/temp_folder.h"

namespace {

using namespace orvan::model;

// The night's file, written once for each size.
std::string NightFile(int count) {
  static const orvan::TempFolder folder("orvan-model-tool-cost");
  std::string path = folder.File(std::to_string(count) + ".csv");
  std::ofstream(path) << synthetic::NightOfPoints(40, -105, 1, 7, count);
  return path;
}

void BM_ReadAndFit(benchmark::State& state) {
  const std::string path = NightFile(static_cast<int>(state.range(0)));
  ReadOptions options;
  options.latitude_deg = 40;
  options.longitude_deg = -105;
  std::vector<std::size_t> terms;
  for (std::string_view name : kDefaultTerms) terms.push_back(*orvan::pointing::FindTerm(name));
  for (auto _ : state) {
    const std::vector<Point> points = ReadPoints(path, options);
    FitResult fit = Fit(points, terms);
    benchmark::DoNotOptimize(fit);
  }
}
BENCHMARK(BM_ReadAndFit)
    ->ArgName("points")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
