#pragma once

// The link to ACP on Windows: automation objects created by programmatic
// identifier and reached late-bound through IDispatch.
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "observatory/automation.h"

struct IDispatch;

namespace orvan::com {

// One object, reached by member name at call time. Holds one reference. Each
// member's DISPID is looked up once and kept: an out-of-process ACP answers
// every look-up with a round trip to its process.
class ComObject final : public AutomationObject {
 public:
  explicit ComObject(IDispatch* dispatch);  // takes over the caller's reference
  ~ComObject() override;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  Value Get(std::string_view member) override;
  void Put(std::string_view member, const Value& value) override;
  Value Call(std::string_view member, std::span<Argument> args) override;

  IDispatch* dispatch() const { return dispatch_; }

 private:
  // Member names as the look-up matches them: ignoring letter case.
  struct IgnoringCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  long Id(std::string_view member);  // DISPID

  IDispatch* dispatch_;
  std::map<std::string, long, IgnoringCase> ids_;  // found DISPIDs; failures are not kept
};

// Creates objects through CLSIDFromProgID and CoCreateInstance. COM must have
// been initialised on the calling thread (single-threaded apartment).
class ComFactory final : public AutomationFactory {
 public:
  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override;
};

}  // namespace orvan::com
