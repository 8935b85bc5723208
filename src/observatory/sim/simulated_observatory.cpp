#include "observatory/sim/simulated_observatory.h"

#include <string>

#include "support/ascii.h"
#include "support/error.h"

namespace orvan::sim {
namespace {

// Numbers an ASCOM telescope driver raises.
constexpr std::uint32_t kInvalidValue = 0x80040401;
constexpr std::uint32_t kMemberNotFound = 0x80020003;
constexpr std::uint32_t kBadParamCount = 0x8002000E;

[[noreturn]] void UnknownName() {
  throw Error(errors::kUnknownName, "Unknown name");
}

double ArgR8(const Argument& a) {
  return a.by_ref() ? *a.ref : a.value.ToR8();
}

void ExpectArgs(std::span<Argument> args, std::size_t n) {
  if (args.size() != n) throw Error(kBadParamCount, "Invalid number of parameters");
}

class Telescope final : public AutomationObject {
 public:
  explicit Telescope(std::shared_ptr<Observatory> o) : o_(std::move(o)) {}

  Value Get(std::string_view member) override {
    const std::string m = AsciiLower(member);
    if (m == "connected") return Value::Bool(o_->connected);
    if (m == "interfaceversion") return Value::I2(3);
    if (m == "canpulseguide" || m == "cansetguiderates" || m == "canslewasync")
      return Value::Bool(true);
    if (m == "guideraterightascension") return Value::R8(o_->guide_rate_ra);
    if (m == "guideratedeclination") return Value::R8(o_->guide_rate_dec);
    if (m == "rightascension") return Value::R8(o_->Reported().ra);
    if (m == "declination") return Value::R8(o_->Reported().dec);
    if (m == "siderealtime") return Value::R8(o_->LocalSiderealTime());
    if (m == "slewing") return Value::Bool(o_->mount().Slewing());
    if (m == "tracking") return Value::Bool(o_->mount().Tracking());
    if (m == "ispulseguiding") return Value::Bool(o_->mount().IsPulseGuiding());
    UnknownName();
  }

  void Put(std::string_view member, const Value& value) override {
    const std::string m = AsciiLower(member);
    if (m == "connected") {
      o_->connected = value.IsNonZero();
    } else if (m == "tracking") {
      o_->mount().SetTracking(value.IsNonZero());
    } else if (m == "guideraterightascension" || m == "guideratedeclination") {
      const double rate = value.ToR8();
      if (!(rate >= 0)) throw Error(kInvalidValue, "Invalid value");
      (m == "guideraterightascension" ? o_->guide_rate_ra : o_->guide_rate_dec) = rate;
    } else {
      Get(member);  // an unknown name raises; a known one is read-only
      throw Error(kMemberNotFound, "Member not found");
    }
  }

  Value Call(std::string_view member, std::span<Argument> args) override {
    const std::string m = AsciiLower(member);
    if (m == "pulseguide") {
      ExpectArgs(args, 2);
      const std::int16_t direction =
          args[0].by_ref() ? Value::R8(*args[0].ref).ToI2() : args[0].value.ToI2();
      const double ms = ArgR8(args[1]);
      if (direction < 0 || direction > 3 || !(ms >= 0)) throw Error(kInvalidValue, "Invalid value");
      o_->PulseGuide(static_cast<GuideDirection>(direction), ms);
      return Value();
    }
    if (m == "slewtocoordinatesasync") {
      ExpectArgs(args, 2);
      o_->SlewTo({ArgR8(args[0]), ArgR8(args[1])});
      return Value();
    }
    UnknownName();
  }

 private:
  std::shared_ptr<Observatory> o_;
};

class Util final : public AutomationObject {
 public:
  explicit Util(std::shared_ptr<Observatory> o) : o_(std::move(o)) {}

  Value Get(std::string_view) override { UnknownName(); }
  void Put(std::string_view, const Value&) override { UnknownName(); }

  Value Call(std::string_view member, std::span<Argument> args) override {
    if (AsciiLower(member) != "mapidealtorawequ") UnknownName();
    ExpectArgs(args, 4);
    if (!args[2].by_ref() || !args[3].by_ref()) throw Error(errors::kTypeMismatch, "Type mismatch");
    const RaDec raw = o_->MapIdealToRaw({ArgR8(args[0]), ArgR8(args[1])});
    *args[2].ref = raw.ra;
    *args[3].ref = raw.dec;
    return Value();
  }

 private:
  std::shared_ptr<Observatory> o_;
};

class Factory final : public AutomationFactory {
 public:
  explicit Factory(std::shared_ptr<Observatory> o) : o_(std::move(o)) {}

  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override {
    const std::string id = AsciiLower(prog_id);
    if (id == "acp.telescope") return std::make_shared<Telescope>(o_);
    if (id == "acp.util") return std::make_shared<Util>(o_);
    throw Error(errors::kInvalidClassString, "Invalid class string");
  }

 private:
  std::shared_ptr<Observatory> o_;
};

}  // namespace

std::unique_ptr<AutomationFactory> MakeObservatoryFactory(
    std::shared_ptr<Observatory> observatory) {
  return std::make_unique<Factory>(std::move(observatory));
}

ObservatoryConfig DefaultObservatoryConfig() {
  ObservatoryConfig c;
  c.site = {40.0, -105.0, 840.0, 8.0};  // about 1600 m above sea level
  // A typical fitted model; MA and ME together tilt the polar axis by 60".
  c.model.terms = {.ih = 95, .id = -40, .ch = 25, .np = 10, .ma = 48, .me = 36, .tf = 6};
  c.model.refraction = true;
  c.start = {0, 20};
  return c;
}

std::unique_ptr<AutomationFactory> MakeDefaultObservatory() {
  auto clock = std::make_shared<SystemClock>();
  ObservatoryConfig c = DefaultObservatoryConfig();
  // An hour east of the meridian when the program starts.
  c.start.ra = Wrap24(LocalSiderealTime(c.site, clock->Now()) + 1.0);
  return MakeObservatoryFactory(std::make_shared<Observatory>(c, std::move(clock)));
}

}  // namespace orvan::sim
