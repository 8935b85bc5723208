#pragma once

#include <memory>
#include <optional>

#include "observatory/automation.h"
#include "observatory/program/observatory_program.h"
#include "observatory/sim/observatory.h"

namespace orvan::sim {

// The simulated mount as the observatory program drives it.
std::shared_ptr<MountDriver> MakeSimulatedMount(std::shared_ptr<Observatory> observatory);

// The program over a simulated observatory, with the observatory's own
// pointing model and air.
std::shared_ptr<program::ObservatoryProgram> MakeSimulatedProgram(
    std::shared_ptr<Observatory> observatory);

// ACP's telescope and utility objects ("ACP.Telescope", "ACP.Util") answering
// from a simulated observatory. Both objects share it.
std::unique_ptr<orvan::AutomationFactory> MakeObservatoryFactory(
    std::shared_ptr<Observatory> observatory);

// What the command line may set for the simulated world alone.
struct SimOptions {
  // The mount's true terms (--sim-truth), which the program does not know.
  std::optional<PointingTerms> truth = {};
  // A German mount (--sim-german), turning through the pole east of the
  // meridian.
  bool german = false;
};

// The observatory the Linux program runs on: a mid-latitude site with
// refraction, a pointing model and about one arc-minute of polar
// misalignment, on the real clock.
ObservatoryConfig DefaultObservatoryConfig();
// The same with what the command line gave: the air for both the truth and
// the model, and model terms (which the simulated mount then really has,
// unless `sim` gives it terms of its own).
ObservatoryConfig DefaultObservatoryConfig(const program::SkyOptions& options,
                                           const SimOptions& sim = {});
// `program`, where given, receives the observatory program the objects answer from.
std::unique_ptr<orvan::AutomationFactory> MakeDefaultObservatory(
    const program::SkyOptions& options = {},
    std::shared_ptr<program::ObservatoryProgram>* program = nullptr, const SimOptions& sim = {});

}  // namespace orvan::sim
