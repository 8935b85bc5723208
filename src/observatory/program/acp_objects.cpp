// ACP.Telescope and ACP.Util as the observatory program answers them, over
// whichever mount the program drives.

#include <string>

#include "observatory/program/observatory_program.h"
#include "support/ascii.h"
#include "support/error.h"

namespace orvan::program {
namespace {

[[noreturn]] void UnknownName() {
  throw errors::ErrorOf(errors::kUnknownName);
}

double ArgR8(const Argument& a) {
  return a.by_ref() ? *a.ref : a.value.ToR8();
}

void ExpectArgs(std::span<Argument> args, std::size_t n) {
  if (args.size() != n) throw errors::ErrorOf(errors::kBadParamCount);
}

class Telescope final : public AutomationObject {
 public:
  explicit Telescope(std::shared_ptr<ObservatoryProgram> p) : p_(std::move(p)) {}

  Value Get(std::string_view member) override {
    const std::string m = AsciiLower(member);
    MountDriver& mount = p_->mount();
    if (m == "connected") return Value::Bool(mount.Connected());
    if (m == "interfaceversion") return Value::I2(3);
    if (m == "canpulseguide") return Value::Bool(mount.Capabilities().pulse_guiding);
    if (m == "cansetguiderates" || m == "canslewasync") return Value::Bool(true);
    if (m == "guideraterightascension") return Value::R8(mount.GuideRateRa());
    if (m == "guideratedeclination") return Value::R8(mount.GuideRateDec());
    if (m == "rightascension") return Value::R8(p_->Reported().ra);
    if (m == "declination") return Value::R8(p_->Reported().dec);
    if (m == "siderealtime") return Value::R8(p_->LocalSiderealTime());
    if (m == "slewing") return Value::Bool(mount.Slewing());
    if (m == "tracking") return Value::Bool(mount.Tracking());
    if (m == "ispulseguiding") return Value::Bool(mount.IsPulseGuiding());
    UnknownName();
  }

  void Put(std::string_view member, const Value& value) override {
    const std::string m = AsciiLower(member);
    MountDriver& mount = p_->mount();
    if (m == "connected") {
      mount.SetConnected(value.IsNonZero());
    } else if (m == "tracking") {
      mount.SetTracking(value.IsNonZero());
    } else if (m == "guideraterightascension" || m == "guideratedeclination") {
      const double rate = value.ToR8();
      if (!(rate >= 0)) throw errors::ErrorOf(errors::kInvalidValue);
      if (m == "guideraterightascension")
        mount.SetGuideRateRa(rate);
      else
        mount.SetGuideRateDec(rate);
    } else {
      static_cast<void>(Get(member));  // an unknown name raises; a known one is read-only
      throw errors::ErrorOf(errors::kMemberNotFound);
    }
  }

  Value Call(std::string_view member, std::span<Argument> args) override {
    const std::string m = AsciiLower(member);
    if (m == "pulseguide") {
      ExpectArgs(args, 2);
      const std::int16_t direction =
          args[0].by_ref() ? Value::R8(*args[0].ref).ToI2() : args[0].value.ToI2();
      const double ms = ArgR8(args[1]);
      if (direction < 0 || direction > 3 || !(ms >= 0))
        throw errors::ErrorOf(errors::kInvalidValue);
      p_->mount().PulseGuide(static_cast<GuideDirection>(direction), ms);
      return Value();
    }
    if (m == "slewtocoordinatesasync") {
      ExpectArgs(args, 2);
      p_->SlewTo({ArgR8(args[0]), ArgR8(args[1])});
      return Value();
    }
    UnknownName();
  }

 private:
  std::shared_ptr<ObservatoryProgram> p_;
};

class Util final : public AutomationObject {
 public:
  explicit Util(std::shared_ptr<ObservatoryProgram> p) : p_(std::move(p)) {}

  Value Get(std::string_view) override { UnknownName(); }
  void Put(std::string_view, const Value&) override { UnknownName(); }

  Value Call(std::string_view member, std::span<Argument> args) override {
    if (AsciiLower(member) != "mapidealtorawequ") UnknownName();
    ExpectArgs(args, 4);
    if (!args[2].by_ref() || !args[3].by_ref()) errors::TypeMismatch();
    const RaDec raw = p_->MapIdealToRaw({ArgR8(args[0]), ArgR8(args[1])});
    *args[2].ref = raw.ra;
    *args[3].ref = raw.dec;
    return Value();
  }

 private:
  std::shared_ptr<ObservatoryProgram> p_;
};

class Factory final : public AutomationFactory {
 public:
  explicit Factory(std::shared_ptr<ObservatoryProgram> p) : p_(std::move(p)) {}

  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override {
    const std::string id = AsciiLower(prog_id);
    if (id == "acp.telescope") return std::make_shared<Telescope>(p_);
    if (id == "acp.util") return std::make_shared<Util>(p_);
    throw errors::ErrorOf(errors::kInvalidClassString);
  }

 private:
  std::shared_ptr<ObservatoryProgram> p_;
};

}  // namespace

std::unique_ptr<AutomationFactory> MakeAcpFactory(std::shared_ptr<ObservatoryProgram> program) {
  return std::make_unique<Factory>(std::move(program));
}

}  // namespace orvan::program
