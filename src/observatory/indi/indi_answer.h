#pragma once

// Telling a device's answer to a write from the updates that merely happen
// to come after it: a position republished while the mount moves, the end
// of an earlier pulse.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "observatory/indi/indi_values.h"

namespace orvan::indi {

using NumberWrite = std::vector<std::pair<std::string, double>>;
using SwitchWrite = std::vector<std::pair<std::string, bool>>;

// What answers a write. In every rule an update in Alert refuses; one in
// Ok, Idle or Busy carrying the values written answers (Busy: the device has
// taken them on and works on them, as a pulse runs or tracking goes on); and
// Busy followed by Ok or Idle answers whatever the values.
enum class AnswerRule {
  kSettled,  // nothing more
  kPulse,    // and Busy without the values is an earlier pulse still running
  kSlew,     // and Busy answers: the mount reports where it is, not the target
};

struct PendingWrite {
  std::string property;
  AnswerRule rule = AnswerRule::kSettled;
  NumberWrite numbers;
  SwitchWrite switches;
  bool busy_seen = false;
  std::optional<PropertyValues> answer;

  // Takes `update` of the property into account; true once it answered.
  bool Consider(const PropertyValues& update);
};

}  // namespace orvan::indi
