#pragma once

#include "observatory/scripted/scripted_observatory.h"
#include "replay/scenario.h"

namespace orvan::replay {

// Applies a scenario's directive about the observatory (answer, raise,
// nocreate, a nest on a member) to a scripted observatory. Returns false for
// a step that is none of these (events, decimal, a nest on the message box),
// which the caller handles.
bool ApplyDirective(const Step& step, ScriptedObservatory& observatory);

}  // namespace orvan::replay
