#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "observatory/value.h"
#include "ui/controls.h"

namespace orvan::replay {

// The object of a `nest` on the next message box rather than on a member.
inline constexpr std::string_view kMsgBoxNest = "msgbox";

// One line of a scenario: a directive or a user event.
struct Step {
  enum class Type {
    Decimal,
    Answer,
    AnswerMapping,
    Raise,
    NoCreate,
    Nest,
    Load,
    TypeText,
    Click,
    Tick,
    Close,
    Dump
  };
  int line = 0;
  Type type = Type::Load;
  std::string object;  // "Telescope", "Util", or kMsgBoxNest
  std::string member;
  std::vector<Value> values;                     // Answer
  std::vector<std::pair<double, double>> pairs;  // AnswerMapping
  std::uint32_t number = 0;                      // Raise
  std::string text;  // Raise description, NoCreate prog id, Nest event, TypeText text
  ControlId box = controls::kEntryBox;  // TypeText
  char decimal = '.';

  // A user event, as against a directive about the observatory's answers.
  bool IsEvent() const { return type >= Type::Load; }
};

// A scenario that can't be run: where and why.
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(int line, const std::string& message)
      : std::runtime_error(std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Parses and checks a whole scenario; raises ScenarioError for the first fault.
std::vector<Step> ParseScenario(std::string_view text);

}  // namespace orvan::replay
