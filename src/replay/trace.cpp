#include "replay/trace.h"

#include "observatory/access_line.h"

namespace orvan::transcript {
namespace {

using LineSink = std::function<void(const std::string&)>;

class TracedObject final : public AutomationObject {
 public:
  TracedObject(std::shared_ptr<AutomationObject> inner, std::string name, LineSink out)
      : inner_(std::move(inner)), name_(std::move(name)), out_(std::move(out)) {}

  Value Get(std::string_view member) override {
    const Access access = Access::Get(name_, member);
    return Traced(access, [&] {
      Value v = inner_->Get(member);
      out_(access.Answered(v));
      return v;
    });
  }

  void Put(std::string_view member, const Value& value) override {
    const Access access = Access::Put(name_, member, value);
    Traced(access, [&] {
      inner_->Put(member, value);
      out_(access.Done());
      return Value();
    });
  }

  Value Call(std::string_view member, std::span<Argument> args) override {
    const Access access = Access::Call(name_, member, args);
    return Traced(access, [&] {
      Value v = inner_->Call(member, args);
      out_(access.Returned(args));
      return v;
    });
  }

 private:
  template <typename F>
  Value Traced(const Access& access, F&& f) {
    try {
      return f();
    } catch (const Error& e) {
      out_(access.Raised(e));
      throw;
    }
  }

  std::shared_ptr<AutomationObject> inner_;
  std::string name_;
  LineSink out_;
};

class TracedFactory final : public AutomationFactory {
 public:
  TracedFactory(AutomationFactory& inner, LineSink out) : inner_(inner), out_(std::move(out)) {}

  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override {
    const Access access = Access::Create(prog_id);
    std::shared_ptr<AutomationObject> object;
    try {
      object = inner_.Create(prog_id);
    } catch (const Error& e) {
      out_(access.Raised(e));
      throw;
    }
    out_(access.Done());
    // Lines name the objects as scenarios do; one of another name keeps its own.
    std::string name(ObjectName(prog_id));
    if (name.empty()) name = std::string(prog_id);
    return std::make_shared<TracedObject>(std::move(object), std::move(name), out_);
  }

 private:
  AutomationFactory& inner_;
  LineSink out_;
};

}  // namespace

std::unique_ptr<AutomationFactory> Traced(AutomationFactory& observatory,
                                          std::function<void(const std::string&)> out) {
  return std::make_unique<TracedFactory>(observatory, std::move(out));
}

}  // namespace orvan::transcript
