#include "fake_mount.h"
#include "observatory/indi/indi_names.h"
#include "support/units.h"

#include <csignal>

namespace orvan::indi::standin {
namespace {

// Tests write to servers that go away: that must raise, not end the test.
const bool kSigpipeIgnored = [] {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}();

std::string Guide(const std::string& property, const std::string& first,
                  const std::string& second) {
  return NumberDefinition(kFakeDevice, property, "Idle", {{first, "0"}, {second, "0"}}, "0",
                          "60000");
}

}  // namespace

std::vector<std::pair<std::string, std::string>> MountDefinitions(
    const std::vector<std::pair<std::string, std::string>>& replaced) {
  std::vector<std::pair<std::string, std::string>> defs = {
      {names::kConnection, ConnectionDefinition(kFakeDevice, true)},
      {names::kEquatorialEodCoord, NumberDefinition(kFakeDevice, names::kEquatorialEodCoord, "Ok",
                                                    {{names::kRa, "5.5"}, {names::kDec, "20"}})},
      {names::kTelescopeTrackState,
       SwitchDefinition(kFakeDevice, names::kTelescopeTrackState,
                        {{names::kTrackOn, true}, {names::kTrackOff, false}})},
      {names::kGuideRate,
       NumberDefinition(kFakeDevice, names::kGuideRate, "Ok",
                        {{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "0.5"}}, "0", "1")},
      {names::kGeographicCoord,
       NumberDefinition(kFakeDevice, names::kGeographicCoord, "Ok",
                        {{names::kLat, "40"}, {names::kLong, "255"}, {names::kElev, "1600"}})},
      {names::kTelescopeTimedGuideWe,
       Guide(names::kTelescopeTimedGuideWe, names::kTimedGuideW, names::kTimedGuideE)},
      {names::kTelescopeTimedGuideNs,
       Guide(names::kTelescopeTimedGuideNs, names::kTimedGuideN, names::kTimedGuideS)},
  };
  for (const auto& [property, xml] : replaced)
    for (auto& def : defs)
      if (def.first == property) def.second = xml;
  return defs;
}

std::string MountGreeting(const std::vector<std::pair<std::string, std::string>>& replaced,
                          const std::string& before_last) {
  const auto defs = MountDefinitions(replaced);
  std::string xml;
  for (std::size_t i = 0; i < defs.size(); ++i)
    xml += (i + 1 == defs.size() ? before_last : "") + defs[i].second;
  return xml;
}

std::string PositionUpdate(const std::string& state, const std::string& ra,
                           const std::string& dec) {
  return NumberUpdate(kFakeDevice, names::kEquatorialEodCoord, state,
                      {{names::kRa, ra}, {names::kDec, dec}});
}

std::string PulseUpdate(const std::string& property, const std::string& state, double first,
                        double second) {
  const bool ns = property == names::kTelescopeTimedGuideNs;
  return NumberUpdate(kFakeDevice, property, state,
                      {{ns ? names::kTimedGuideN : names::kTimedGuideW, std::to_string(first)},
                       {ns ? names::kTimedGuideS : names::kTimedGuideE, std::to_string(second)}});
}

IndiOptions FakeOptions(const FakeServer& server) {
  IndiOptions options;
  options.port = server.port();
  options.device = kFakeDevice;
  options.answer_limit = kTestAnswerLimit;
  options.device_quiet = kTestDeviceQuiet;
  return options;
}

std::optional<Error> CorrectionStep(IndiMount& mount) {
  try {
    mount.Open();
    static_cast<void>(mount.Slewing());
    static_cast<void>(mount.Tracking());
    static_cast<void>(mount.IsPulseGuiding());
    static_cast<void>(mount.Site());
    static_cast<void>(mount.Axes());
    const double rate = mount.GuideRateDec() * kArcsecPerDegree;
    mount.PulseGuide(GuideDirection::North, kStepErrorArcsec / rate * kMillisecondsPerSecond);
  } catch (const Error& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace orvan::indi::standin
