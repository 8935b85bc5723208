// The INDI trace against the stand-in server: both ways, time-stamped, and
// long vectors and texts cut with a note of what was left out.

#include "observatory/indi/indi_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "fake_mount.h"

namespace orvan::indi {
namespace {

using namespace std::chrono;
using namespace standin;

// 2026-12-08T21:04:08.123Z, as every line of these tests is stamped.
system_clock::time_point FixedTime() {
  return sys_days{year{2026} / December / 8} + 21h + 4min + 8s + 123ms;
}

class Lines {
 public:
  IndiTrace::LineSink Sink() {
    return [this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    };
  }
  std::vector<std::string> All() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A number vector of `count` elements E0=0, E1=1...
std::string LongVector(int count) {
  std::vector<std::pair<std::string, std::string>> elements;
  elements.reserve(count);
  for (int i = 0; i < count; ++i) elements.emplace_back("E" + std::to_string(i), std::to_string(i));
  return NumberDefinition(kFakeDevice, "LONG_VECTOR", "Idle", elements);
}

std::string TextDefinition(const std::string& property, const std::string& text) {
  return "<defTextVector device=\"" + kFakeDevice + "\" name=\"" + property +
         "\" label=\"x\" group=\"Main\" state=\"Ok\" perm=\"ro\" timeout=\"0\">\n"
         "<defText name=\"TEXT\" label=\"x\">" +
         text + "</defText>\n</defTextVector>\n";
}

TEST(IndiTrace, TracesWhatIsSentAndReceivedAndCutsLongVectors) {
  const std::string long_text(130, 'x');
  FakeServer server(
      MountGreeting({}, LongVector(20) + TextDefinition("LONG_TEXT", long_text) +
                            "<message device=\"Fake Mount\" timestamp=\"2026-12-08T21:00:00\" "
                            "message=\"Mount parked\"/>\n"));
  server.On(std::string("name='") + names::kTelescopeTimedGuideNs + "'",
            {Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Busy", 1500, 0))});
  Lines lines;
  IndiOptions options = FakeOptions(server);
  options.trace = std::make_shared<IndiTrace>(lines.Sink(), FixedTime);
  IndiMount mount(options);
  mount.Open();
  mount.PulseGuide(GuideDirection::North, 1500);

  const std::string at = "2026-12-08T21:04:08.123Z ";
  std::string e15 = " E0=0";
  for (int i = 1; i < 16; ++i) e15 += " E" + std::to_string(i) + "=" + std::to_string(i);
  const std::vector<std::string> expected = {
      at + "sent getProperties",
      at + "received defSwitchVector \"Fake Mount\" CONNECTION Ok CONNECT=On DISCONNECT=Off",
      at + "received defNumberVector \"Fake Mount\" EQUATORIAL_EOD_COORD Ok RA=5.5 DEC=20",
      at + "received defNumberVector \"Fake Mount\" LONG_VECTOR Idle" + e15 +
          " (4 more elements left out)",
      at + "received defTextVector \"Fake Mount\" LONG_TEXT Ok TEXT=\"" + long_text.substr(0, 120) +
          "\" (10 more bytes left out)",
      // The client library hands a message over with its time stamp, as here.
      at + "received message \"Fake Mount\" \"2026-12-08T21:00:00: Mount parked \"",
      at + "sent newNumberVector \"Fake Mount\" TELESCOPE_TIMED_GUIDE_NS TIMED_GUIDE_N=1500 "
           "TIMED_GUIDE_S=0",
      at + "received setNumberVector \"Fake Mount\" TELESCOPE_TIMED_GUIDE_NS Busy "
           "TIMED_GUIDE_N=1500 TIMED_GUIDE_S=0",
  };
  const std::vector<std::string> traced = lines.All();
  for (const std::string& line : expected)
    EXPECT_NE(std::ranges::find(traced, line), traced.end()) << line;
  // The definitions come in the order the server sent them, the answer after the pulse.
  const auto index = [&](std::size_t e) { return std::ranges::find(traced, expected[e]); };
  EXPECT_LT(index(2), index(3));
  EXPECT_LT(index(6), index(7));
  const std::regex shape(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (sent|received) \w+( .*)?)");
  for (const std::string& line : traced) EXPECT_TRUE(std::regex_match(line, shape)) << line;
}

}  // namespace
}  // namespace orvan::indi
