#include "observatory/indi/indi_answer.h"

#include <algorithm>
#include <cmath>

namespace orvan::indi {
namespace {

// Drivers send values with all their digits; a little room for one that
// stores them in single precision.
constexpr double kEchoRelative = 1e-6;
constexpr double kEchoAbsolute = 1e-9;

bool Echoes(const PropertyValues& update, const NumberWrite& numbers, const SwitchWrite& switches) {
  for (const auto& [name, value] : numbers) {
    const auto it = update.numbers.find(name);
    if (it == update.numbers.end()) return false;
    const double tolerance = std::max(kEchoAbsolute, kEchoRelative * std::abs(value));
    if (!(std::abs(it->second.value - value) <= tolerance)) return false;
  }
  for (const auto& [name, on] : switches) {
    const auto it = update.switches.find(name);
    if (it == update.switches.end() || it->second != on) return false;
  }
  return true;
}

}  // namespace

bool PendingWrite::Consider(const PropertyValues& update) {
  if (answer) return true;
  const bool echoes = Echoes(update, numbers, switches);
  bool answered = false;
  switch (update.state) {
    case IPS_ALERT:
      answered = true;
      break;
    case IPS_BUSY:
      answered = echoes || rule == AnswerRule::kSlew;
      // An earlier pulse still running is not this one starting.
      busy_seen = busy_seen || rule != AnswerRule::kPulse || echoes;
      break;
    case IPS_OK:
    case IPS_IDLE:
      answered = echoes || busy_seen;
      break;
  }
  if (answered) answer = update;
  return answered;
}

}  // namespace orvan::indi
