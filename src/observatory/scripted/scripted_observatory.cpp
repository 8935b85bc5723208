#include "observatory/scripted/scripted_observatory.h"

#include <cstring>

#include "observatory/access_line.h"
#include "observatory/units.h"
#include "support/ascii.h"

namespace orvan {
namespace {

using transcript::Access;

}  // namespace

struct ScriptedObservatory::Member {
  std::vector<Value> answers;  // each read takes the next; the last repeats
  std::size_t next = 0;
  std::vector<std::pair<double, double>> mapping;  // MapIdealToRawEqu outputs
  bool identity_mapping = false;
  std::optional<Error> raise;
  std::vector<std::string> nests;  // events falling due at the next accesses

  std::optional<Value> Take() {
    if (answers.empty()) return std::nullopt;
    const Value v = answers[next];
    if (next + 1 < answers.size()) ++next;
    return v;
  }
};

struct ScriptedObservatory::Object final : AutomationObject {
  Object(ScriptedObservatory& owner, std::string name) : owner(owner), name(std::move(name)) {}

  Value Get(std::string_view member) override {
    Member& m = Lookup(member);
    const Access access = Access::Get(name, member);
    if (m.raise) Fail(access, m, *m.raise);
    const std::optional<Value> v = m.Take();
    if (!v) Fail(access, m, UnknownName());
    Emit(access.Answered(*v), m);
    return *v;
  }

  void Put(std::string_view member, const Value& value) override {
    Member& m = Lookup(member);
    const Access access = Access::Put(name, member, value);
    if (m.raise) Fail(access, m, *m.raise);
    // A telescope reports back what it was given.
    m.answers = {value};
    m.next = 0;
    Emit(access.Done(), m);
  }

  Value Call(std::string_view member, std::span<Argument> args) override {
    Member& m = Lookup(member);
    const Access access = Access::Call(name, member, args);
    if (m.raise) Fail(access, m, *m.raise);

    Value result;
    if (m.identity_mapping || !m.mapping.empty()) {
      if (args.size() != 4) Fail(access, m, errors::ErrorOf(errors::kBadParamCount));
      if (m.mapping.empty()) {
        *args[2].ref = *args[0].ref;
        *args[3].ref = *args[1].ref;
      } else {
        const auto pair = m.mapping.front();
        if (m.mapping.size() > 1) m.mapping.erase(m.mapping.begin());
        *args[2].ref = pair.first;
        *args[3].ref = pair.second;
      }
    } else if (auto v = m.Take()) {
      result = *v;
    } else {
      Fail(access, m, UnknownName());
    }
    Emit(access.Returned(args), m);
    return result;
  }

  Member& Lookup(std::string_view member) { return members[AsciiLower(member)]; }

  static Error UnknownName() { return errors::ErrorOf(errors::kUnknownName); }

  void Emit(const std::string& line, Member& m) {
    owner.out_(line);
    FireNest(m);
  }

  [[noreturn]] void Fail(const Access& access, Member& m, const Error& e) {
    owner.out_(access.Raised(e));
    FireNest(m);
    throw e;
  }

  // Every event nested on this member falls due during this one access.
  void FireNest(Member& m) {
    const std::vector<std::string> events = std::move(m.nests);
    m.nests.clear();
    for (const std::string& event : events)
      if (owner.nest_sink_) owner.nest_sink_(event);
  }

  ScriptedObservatory& owner;
  std::string name;
  std::map<std::string, Member> members;
};

ScriptedObservatory::ScriptedObservatory(LineSink out) : out_(std::move(out)) {
  objects_[std::string(kTelescope)] = std::make_shared<Object>(*this, std::string(kTelescope));
  objects_[std::string(kUtil)] = std::make_shared<Object>(*this, std::string(kUtil));
  const double rate = DefaultGuideRate;
  Answer(kTelescope, "Connected", {Value::Bool(true)});
  Answer(kTelescope, "InterfaceVersion", {Value::I2(2)});
  Answer(kTelescope, "CanPulseGuide", {Value::Bool(true)});
  Answer(kTelescope, "CanSetGuideRates", {Value::Bool(true)});
  Answer(kTelescope, "GuideRateRightAscension", {Value::R8(rate)});
  Answer(kTelescope, "GuideRateDeclination", {Value::R8(rate)});
  Answer(kTelescope, "RightAscension", {Value::R8(10)});
  Answer(kTelescope, "Declination", {Value::R8(20)});
  Answer(kTelescope, "slewing", {Value::Bool(false)});
  Answer(kTelescope, "IsPulseGuiding", {Value::Bool(false)});
  Answer(kTelescope, "tracking", {Value::Bool(true)});
  Answer(kTelescope, "PulseGuide", {Value()});
  Find(kUtil, "MapIdealToRawEqu").identity_mapping = true;
}

ScriptedObservatory::~ScriptedObservatory() = default;

ScriptedObservatory::Member& ScriptedObservatory::Find(std::string_view object,
                                                       std::string_view member) {
  return objects_.at(std::string(object))->Lookup(member);
}

void ScriptedObservatory::Answer(std::string_view object, std::string_view member,
                                 std::vector<Value> answers) {
  Member& m = Find(object, member);
  m.answers = std::move(answers);
  m.next = 0;
  m.mapping.clear();
  m.identity_mapping = false;
  m.raise.reset();
}

void ScriptedObservatory::AnswerMapping(std::vector<std::pair<double, double>> pairs) {
  Member& m = Find(kUtil, "MapIdealToRawEqu");
  m.answers.clear();
  m.mapping = std::move(pairs);
  m.identity_mapping = m.mapping.empty();
  m.raise.reset();
}

void ScriptedObservatory::Raise(std::string_view object, std::string_view member,
                                std::uint32_t number, std::string description) {
  Find(object, member).raise = Error(number, std::move(description));
}

void ScriptedObservatory::NoCreate(std::string_view prog_id) {
  no_create_.insert(std::string(prog_id));
}

void ScriptedObservatory::Nest(std::string_view object, std::string_view member,
                               std::string event) {
  Find(object, member).nests.push_back(std::move(event));
}

std::shared_ptr<AutomationObject> ScriptedObservatory::Create(std::string_view prog_id) {
  const Access access = Access::Create(prog_id);
  const std::string_view name = transcript::ObjectName(prog_id);
  if (name.empty() || no_create_.count(std::string(prog_id))) {
    const Error e = errors::ErrorOf(errors::kInvalidClassString);
    out_(access.Raised(e));
    throw e;
  }
  out_(access.Done());
  return objects_.at(std::string(name));
}

}  // namespace orvan
