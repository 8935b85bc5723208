// The cost of one correction cycle's own work: the program's tick against an
// observatory that answers at once, with pulses alone and with the model's
// tracking rates sent every cycle (--rates).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "rates/rate_follower.h"
#include "simulated_night.h"
#include "tracking/model_tracking.h"

namespace {

using namespace orvan;

void Ticks(benchmark::State& state, bool rates) {
  bench::SimulatedNight night = bench::StartNight();
  program::RateFollower follower(night.program, {});
  tracking::ModelTracking model_tracking(follower);
  bench::TickThroughTheNight(state, night, nullptr, rates ? &model_tracking : nullptr);
  state.counters["pulses_per_tick"] = benchmark::Counter(
      static_cast<double>(night.observatory->pulses()), benchmark::Counter::kAvgIterations);
}

void BM_Tick(benchmark::State& state) {
  Ticks(state, false);
}
BENCHMARK(BM_Tick);

void BM_TickWithRates(benchmark::State& state) {
  Ticks(state, true);
}
BENCHMARK(BM_TickWithRates);

}  // namespace

BENCHMARK_MAIN();
