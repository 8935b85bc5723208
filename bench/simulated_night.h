#pragma once

// The simulated observatory the cycle benchmarks tick against: the default
// site on a virtual clock, the target an hour east of the meridian at
// declination 20.

#include <memory>

#include "observatory/sim/simulated_observatory.h"

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
  config.start = {pointing::Wrap24(pointing::LocalSiderealTime(config.site, start) + 1.0), 20};
  night.observatory = std::make_shared<sim::Observatory>(config, night.clock);
  night.program = sim::MakeSimulatedProgram(night.observatory);
  night.objects = program::MakeAcpFactory(night.program);
  return night;
}

}  // namespace orvan::bench
