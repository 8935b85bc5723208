#pragma once

// The simulated observatory the cycle benchmarks tick against: the default
// site on a virtual clock, the target an hour east of the meridian at
// declination 20; and their loop of ticks.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "observatory/sim/simulated_observatory.h"
#include "replay/player.h"
#include "tracking/cycle_log.h"
#include "ui/frmMain.h"

namespace orvan::bench {

struct SimulatedNight {
  std::shared_ptr<program::VirtualClock> clock;
  std::shared_ptr<sim::Observatory> observatory;
  std::shared_ptr<program::ObservatoryProgram> program;
  std::unique_ptr<AutomationFactory> objects;  // "ACP.Telescope" and "ACP.Util"
};

inline SimulatedNight StartNight() {
  const double start = program::SecondsSinceJ2000(2026, 3, 20, 4.0);
  SimulatedNight night;
  night.clock = std::make_shared<program::VirtualClock>(start);
  sim::ObservatoryConfig config = sim::DefaultObservatoryConfig();
  config.start = {Wrap24(pointing::LocalSiderealTime(config.site, start) + 1.0), 20};
  night.observatory = std::make_shared<sim::Observatory>(config, night.clock);
  night.program = sim::MakeSimulatedProgram(night.observatory);
  night.objects = program::MakeAcpFactory(night.program);
  return night;
}

// The program holding on `night` at a threshold of 0.5", its window on a
// recorder that writes nowhere, `log` and `listener` where given: each
// iteration of `state` is four seconds of the night and one tick.
inline void TickThroughTheNight(benchmark::State& state, SimulatedNight& night,
                                std::unique_ptr<tracking::CycleLog> log = nullptr,
                                tracking::TrackingObserver* listener = nullptr) {
  replay::Recorder recorder([](const std::string&) {}, '.');
  std::unique_ptr<frmMain> main_form;
  frmMain& form = Module1::Main(main_form, recorder, *night.objects, std::move(log));
  form.Listen(listener);
  form.Type(ControlId::Text11, "0.5");
  form.Click();
  for (auto _ : state) {
    night.clock->Advance(4);
    form.Tick();
  }
  if (form.ended()) state.SkipWithError("the program ended");
}

}  // namespace orvan::bench
