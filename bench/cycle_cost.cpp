// The cost of one correction cycle's own work: the program's tick against an
// observatory that answers at once, with pulses alone and with the model's
// tracking rates sent every cycle (--rates).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "observatory/program/rate_follower.h"
#include "observatory/sim/simulated_observatory.h"
#include "replay/player.h"
#include "tracking/model_tracking.h"
#include "ui/frmMain.h"

namespace {

using namespace orvan;
using namespace orvan::sim;

void Ticks(benchmark::State& state, bool rates) {
  const double start = program::SecondsSinceJ2000(2026, 3, 20, 4.0);
  auto clock = std::make_shared<program::VirtualClock>(start);
  ObservatoryConfig config = DefaultObservatoryConfig();
  config.start = {Wrap24(LocalSiderealTime(config.site, start) + 1.0), 20};
  auto observatory = std::make_shared<Observatory>(config, clock);
  auto program = MakeSimulatedProgram(observatory);
  auto factory = program::MakeAcpFactory(program);
  program::RateFollower follower(program, {});
  tracking::ModelTracking model_tracking(follower);
  replay::Recorder recorder([](const std::string&) {}, '.');
  frmMain& form = Module1::Main(recorder, *factory);
  if (rates) form.Listen(&model_tracking);
  form.Type(ControlId::Text11, "0.5");
  form.Click();
  for (auto _ : state) {
    clock->Advance(4);
    form.Tick();
  }
  if (form.ended()) state.SkipWithError("the program ended");
  state.counters["pulses_per_tick"] = benchmark::Counter(static_cast<double>(observatory->pulses()),
                                                         benchmark::Counter::kAvgIterations);
  Module1::MainForm.reset();
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
