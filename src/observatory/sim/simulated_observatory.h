#pragma once

#include <memory>

#include "observatory/automation.h"
#include "observatory/sim/observatory.h"

namespace orvan::sim {

// ACP's telescope and utility objects ("ACP.Telescope", "ACP.Util") answering
// from a simulated observatory. Both objects share it.
std::unique_ptr<orvan::AutomationFactory> MakeObservatoryFactory(
    std::shared_ptr<Observatory> observatory);

// The observatory the Linux program runs on: a mid-latitude site with
// refraction, a pointing model and about one arc-minute of polar
// misalignment, on the real clock.
ObservatoryConfig DefaultObservatoryConfig();
std::unique_ptr<orvan::AutomationFactory> MakeDefaultObservatory();

}  // namespace orvan::sim
