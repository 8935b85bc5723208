#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "observatory/automation.h"
#include "support/error.h"

namespace orvan {

// A stand-in for ACP whose answers and failures come from a scenario. It
// writes one transcript line per access (create, get, put, call) and can make
// an event fall due during an access ("nest").
class ScriptedObservatory final : public AutomationFactory {
 public:
  // Object names as scenarios spell them.
  static constexpr std::string_view kTelescope = "Telescope";
  static constexpr std::string_view kUtil = "Util";

  using LineSink = std::function<void(const std::string&)>;
  using NestSink = std::function<void(const std::string& event)>;

  explicit ScriptedObservatory(LineSink out);
  ~ScriptedObservatory() override;

  // Directives. `object` is kTelescope or kUtil; members match ignoring case.
  void Answer(std::string_view object, std::string_view member, std::vector<Value> answers);
  // Output pairs for Util.MapIdealToRawEqu (RA, Dec), the last one repeating.
  void AnswerMapping(std::vector<std::pair<double, double>> pairs);
  void Raise(std::string_view object, std::string_view member, std::uint32_t number,
             std::string description);
  void NoCreate(std::string_view prog_id);
  void Nest(std::string_view object, std::string_view member, std::string event);
  void OnNest(NestSink sink) { nest_sink_ = std::move(sink); }

  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override;

  struct Member;
  struct Object;

 private:
  Member& Find(std::string_view object, std::string_view member);

  LineSink out_;
  NestSink nest_sink_;
  std::set<std::string> no_create_;
  std::map<std::string, std::shared_ptr<Object>> objects_;  // by scenario name
};

}  // namespace orvan
