#include "fake_mount.h"

#include <csignal>

namespace orvan::indi::testing {
namespace {

constexpr double kArcsecPerDegree = 3600;
constexpr double kMsPerSecond = 1000;

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
      {"CONNECTION", ConnectionDefinition(kFakeDevice, true)},
      {"EQUATORIAL_EOD_COORD",
       NumberDefinition(kFakeDevice, "EQUATORIAL_EOD_COORD", "Ok", {{"RA", "5.5"}, {"DEC", "20"}})},
      {"TELESCOPE_TRACK_STATE", SwitchDefinition(kFakeDevice, "TELESCOPE_TRACK_STATE",
                                                 {{"TRACK_ON", true}, {"TRACK_OFF", false}})},
      {"GUIDE_RATE",
       NumberDefinition(kFakeDevice, "GUIDE_RATE", "Ok",
                        {{"GUIDE_RATE_WE", "0.5"}, {"GUIDE_RATE_NS", "0.5"}}, "0", "1")},
      {"GEOGRAPHIC_COORD", NumberDefinition(kFakeDevice, "GEOGRAPHIC_COORD", "Ok",
                                            {{"LAT", "40"}, {"LONG", "255"}, {"ELEV", "1600"}})},
      {kGuideWE, Guide(kGuideWE, "TIMED_GUIDE_W", "TIMED_GUIDE_E")},
      {kGuideNS, Guide(kGuideNS, "TIMED_GUIDE_N", "TIMED_GUIDE_S")},
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
  return NumberUpdate(kFakeDevice, "EQUATORIAL_EOD_COORD", state, {{"RA", ra}, {"DEC", dec}});
}

std::string PulseUpdate(const std::string& property, const std::string& state, double first,
                        double second) {
  const bool ns = property == kGuideNS;
  return NumberUpdate(kFakeDevice, property, state,
                      {{ns ? "TIMED_GUIDE_N" : "TIMED_GUIDE_W", std::to_string(first)},
                       {ns ? "TIMED_GUIDE_S" : "TIMED_GUIDE_E", std::to_string(second)}});
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
    mount.PulseGuide(GuideDirection::North, kStepErrorArcsec / rate * kMsPerSecond);
  } catch (const Error& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace orvan::indi::testing
