// What a fit of the pointing model costs: 10,000 plate-solved points (both
// sides of the pier, 1" of noise), seven terms; with rejection, which refits
// once per point dropped. The target: under 0.2 s.
#include <benchmark/benchmark.h>

#include <random>

#include "fit/synthetic_points.h"
#include "model/fit.h"
#include "pointing/terms.h"

namespace {

using namespace orvan::model;

constexpr int kPoints = 10000;

std::vector<Point> Night() {
  const synthetic::Known mount{95, -40, 25, 10, 48, 36, 6};
  std::mt19937 random(1);
  std::uniform_real_distribution<double> ha(-6, 6), dec(-30, 85);
  std::vector<Point> points;
  for (int i = 0; i < kPoints; ++i) {
    const double h = ha(random);
    points.push_back(synthetic::MakePoint(mount, h, dec(random), 40, h < 0, i + 1));
  }
  synthetic::AddNoise(points, 1, random);
  // A few bad solves, for the rejection to find.
  for (int i = 0; i < kPoints; i += 1000) points[std::size_t(i)].mechanical.dec += 30.0 / 3600;
  return points;
}

std::vector<std::size_t> SevenTerms() {
  std::vector<std::size_t> terms;
  for (std::string_view name : kDefaultTerms) terms.push_back(*orvan::pointing::FindTerm(name));
  return terms;
}

void BM_Fit(benchmark::State& state) {
  const std::vector<Point> points = Night();
  const std::vector<std::size_t> terms = SevenTerms();
  std::optional<double> reject;
  if (state.range(0) != 0) reject = 3.0;
  for (auto _ : state) {
    FitResult fit = Fit(points, terms, reject);
    benchmark::DoNotOptimize(fit);
    state.counters["dropped"] = double(fit.dropped.size());
  }
}
BENCHMARK(BM_Fit)->ArgName("reject")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
