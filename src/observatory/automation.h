#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "observatory/value.h"

namespace orvan {

// One argument of a method call: a value passed by value, or an 8-byte float
// passed by reference (the callee reads and may write the caller's variable).
struct Argument {
  static Argument ByValue(Value v) { return Argument{std::move(v), nullptr}; }
  static Argument ByRef(double& r8) { return Argument{Value{}, &r8}; }
  bool by_ref() const { return ref != nullptr; }

  Value value;
  double* ref = nullptr;
};

// A late-bound automation object: members are reached by name at call time
// (the lookup ignores letter case). Every operation may raise orvan::Error.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  virtual Value Get(std::string_view member) = 0;
  virtual void Put(std::string_view member, const Value& value) = 0;
  virtual Value Call(std::string_view member, std::span<Argument> args) = 0;
};

// Creates automation objects by programmatic identifier ("ACP.Telescope").
class AutomationFactory {
 public:
  virtual ~AutomationFactory() = default;
  virtual std::shared_ptr<AutomationObject> Create(std::string_view prog_id) = 0;
};

}  // namespace orvan
