// For every observatory member the click and the tick use, a scenario where
// that member raises: the error is reported unchanged and nothing follows it.
#include <gtest/gtest.h>

#include <algorithm>

#include "replay/player.h"

namespace orvan::replay {
namespace {

struct Fault {
  const char* member;     // Object.Member as scenarios name it
  const char* access;     // how the transcript's failing line begins
  const char* setup;      // directives before load
  bool during_tick;       // raised at the first tick rather than at the click
  int pulses_before = 0;  // pulses sent before the fault in that tick
};

constexpr const char* kPulsing = "answer Util.MapIdealToRawEqu 10.0001 20.001 10 20\n";
constexpr const char* kZeroRate = "answer Telescope.GuideRateRightAscension r8:0\n";

const Fault kFaults[] = {
    {"Telescope.Connected", "get Telescope.Connected", "", false},
    {"Telescope.CanPulseGuide", "get Telescope.CanPulseGuide", "", false},
    {"Telescope.GuideRateRightAscension", "get Telescope.GuideRateRightAscension", "", false},
    {"Telescope.GuideRateDeclination", "get Telescope.GuideRateDeclination", "", false},
    {"Telescope.CanSetGuideRates", "get Telescope.CanSetGuideRates", kZeroRate, false},
    {"Telescope.RightAscension", "get Telescope.RightAscension", "", false},
    {"Telescope.Declination", "get Telescope.Declination", "", false},
    {"Telescope.slewing", "get Telescope.slewing", "", true},
    {"Telescope.tracking", "get Telescope.tracking", "", true},
    {"Telescope.IsPulseGuiding", "get Telescope.IsPulseGuiding", "", true},
    {"Telescope.RightAscension", "get Telescope.RightAscension", "", true},
    {"Telescope.Declination", "get Telescope.Declination", "", true},
    {"Util.MapIdealToRawEqu", "call Util.MapIdealToRawEqu(", "", true},
    {"Telescope.GuideRateRightAscension", "get Telescope.GuideRateRightAscension", kPulsing, true},
    {"Telescope.GuideRateDeclination", "get Telescope.GuideRateDeclination", kPulsing, true, 1},
    {"Telescope.PulseGuide", "call Telescope.PulseGuide(", kPulsing, true},
};

std::string ScenarioFor(const Fault& f) {
  const std::string raise = std::string("raise ") + f.member + " 0x80040401 Mount not responding\n";
  std::string s = f.setup;
  s += "load\n";
  if (!f.during_tick) s += raise;
  s += "click\n";
  if (f.during_tick) s += raise;
  s += "tick\ntick\nclick\ndump\n";
  return s;
}

class FaultMatrix : public testing::TestWithParam<Fault> {};

TEST_P(FaultMatrix, ReportsTheErrorAndRunsNothingAfterIt) {
  const Fault& f = GetParam();
  const auto lines = PlayText(ScenarioFor(f));
  const auto failing = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find(" !! ") != std::string::npos;
  });
  ASSERT_NE(failing, lines.end());
  EXPECT_EQ(failing->rfind(f.access, 0), 0u) << *failing;
  EXPECT_TRUE(failing->ends_with(" !! 0x80040401 \"Mount not responding\"")) << *failing;
  const std::vector<std::string> rest(failing + 1, lines.end());
  EXPECT_EQ(rest, (std::vector<std::string>{"error 0x80040401 \"Mount not responding\"", "end"}));

  // The fault came in the handler it was meant for.
  const auto last_event =
      std::find_if(std::make_reverse_iterator(failing), lines.rend(),
                   [](const std::string& l) { return l.starts_with("event "); });
  ASSERT_NE(last_event, lines.rend());
  EXPECT_EQ(*last_event, f.during_tick ? "event tick" : "event click");
  // Only the pulses due before the failing step went out.
  const auto pulses = std::count_if(lines.begin(), failing, [](const std::string& l) {
    return l.starts_with("call Telescope.PulseGuide(");
  });
  EXPECT_EQ(pulses, f.pulses_before);
}

std::string Name(const testing::TestParamInfo<Fault>& info) {
  std::string n = std::string(info.param.during_tick ? "Tick_" : "Click_") + info.param.member;
  std::replace(n.begin(), n.end(), '.', '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Members, FaultMatrix, testing::ValuesIn(kFaults), Name);

}  // namespace
}  // namespace orvan::replay
