// A declination drift held on both sides of the pier of Debian's telescope
// simulator, which moves declination the other way west of the pier: the
// program itself, headless, as in program_test.cpp. The drift is the
// simulator's own custom tracking rate in declination. Ticks come every 4 s
// of real time; every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <regex>
#include <string>

#include "indi_server.h"
#include "observatory/indi/indi_names.h"
#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "program.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;
using standin::WaitFor;

using standin::CountLines;
using standin::kSimulator;
using standin::NumberText;
const std::string& kPrefix = kSimulator;
const std::string kRecapture = "status \"Updating target coordinates\"";
const std::string kReversing = "declination pulses move the other way west of the pier";
const std::string kNotice =
    "INDI mount \"Telescope Simulator\": declination pulses move the other way west of the pier; "
    "reversing them from now on";

constexpr double kDec0 = 20;
// Two hours from the meridian: the simulator puts the mount on the west side
// of the pier east of the meridian and the other way round.
constexpr double kHoursFromMeridian = 2;
constexpr double kDriftArcsecPerSecond = 1;
// Pulses once a tick, of about 4" each; a mount 10" (5 × this) off is re-captured.
const std::string kThreshold = "2";
constexpr double kRecaptureArcsec = 10;
// Ticks watched once the program holds the drift: free, it would move 24".
constexpr std::size_t kHeldTicks = 6;

using standin::kExitLimit;
using standin::kTickLimit;
using standin::kTickLine;
constexpr auto kReversalLimit = 60s;

class PierSides : public ::testing::Test {
 protected:
  void SetUp() override { server.Start(); }

  // Tracking at `hour_angle` hours (west positive), drifting north or south
  // in declination; `pier` (PIER_EAST or PIER_WEST) is where the simulator
  // must then have the mount.
  void DriftAt(double hour_angle, const std::string& pier) {
    bool ok = false;
    standin::TrackAt(server, hour_angle, kDec0, ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(standin::Drift(server, kDriftArcsecPerSecond, pier)) << "no drift " << pier;
  }

  double Dec() { return server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC"); }

  Program Run() {
    return Program({ORVAN_PROGRAM, "--headless", "--indi",
                    "127.0.0.1:" + std::to_string(server.port()), "--device", "Telescope Simulator",
                    "--pressure", "0", "--threshold", kThreshold, "--start", "--trace"});
  }

  bool WaitForTicks(Program& program, std::size_t ticks) {
    const auto limit = kTickLimit * static_cast<int>(ticks);
    const std::size_t until = CountLines(program.Errors(), kTickLine) + ticks;
    return WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(limit),
                   [&] { return CountLines(program.Errors(), kTickLine) >= until; });
  }

  // Watches kHeldTicks ticks: no re-capture among them and the declination
  // kept within the re-capture limit of where it was.
  void ExpectHeld(Program& program) {
    const std::size_t recaptures = CountLines(program.Output(), kRecapture);
    const double dec = Dec();
    ASSERT_TRUE(WaitForTicks(program, kHeldTicks));
    EXPECT_EQ(CountLines(program.Output(), kRecapture), recaptures);
    EXPECT_LT(std::abs(Dec() - dec) * 3600, kRecaptureArcsec) << (Dec() - dec) * 3600 << "\"";
  }

  IndiServer server;
};

TEST_F(PierSides, EastOfThePierTheDriftIsHeldWithPulsesAsNamed) {
  DriftAt(kHoursFromMeridian, names::kPierEast);
  Program program = Run();
  ASSERT_TRUE(program.WaitForOutput("status \"Orvan tracking\"", kTickLimit));
  // The first tick may re-capture the drifted mount.
  ASSERT_TRUE(WaitForTicks(program, 2));
  ExpectHeld(program);
  EXPECT_EQ(CountLines(program.Errors(), "pulses move"), 0u);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(PierSides, WestOfThePierDeclinationIsReversedOnceAndTheDriftHeld) {
  DriftAt(-kHoursFromMeridian, names::kPierWest);
  Program program = Run();
  ASSERT_TRUE(program.WaitForOutput("status \"Orvan tracking\"", kTickLimit));
  // One pulse the wrong way is seen, then the program holds the mount.
  ASSERT_TRUE(program.WaitForError(kReversing, kReversalLimit));
  // The tick that found it may still re-capture the mount pushed away.
  ASSERT_TRUE(WaitForTicks(program, 1));
  ExpectHeld(program);
  const std::vector<std::string> errors = program.Errors();
  ASSERT_EQ(CountLines(errors, "pulses move"), 1u);
  const auto notice = std::find_if(errors.begin(), errors.end(), [](const std::string& line) {
    return line.find(kReversing) != std::string::npos;
  });
  // Time-stamped like the headless lines.
  ASSERT_TRUE(notice->ends_with(kNotice)) << *notice;
  const std::string stamp = notice->substr(0, notice->size() - kNotice.size());
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )")))
      << *notice;
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

}  // namespace
}  // namespace orvan::indi
