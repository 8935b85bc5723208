// The Linux program itself, headless on Debian's INDI telescope simulator, as
// an observatory would run it: orvanacp --headless --indi HOST:PORT ...
// --start --trace. Ticks come every 4 s of real time, so each case takes a
// few of them; every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <regex>
#include <string>

#include "indi_server.h"
#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "program.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;
using standin::WaitFor;

using standin::kSimulator;
using standin::NumberText;
const std::string& kPrefix = kSimulator;
using standin::kExitLimit;
using standin::kTickLimit;
constexpr auto kSlewLimit = 40s;

class ProgramOnIndi : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Start();
    // West of the meridian by an hour (the east side of the pier, where the
    // simulator guides north as north), tracking.
    bool ok = false;
    ra0 = standin::TrackAt(server, 1.0, dec0, ok);
    ASSERT_TRUE(ok);
  }

  void Sync(double ra, double dec) {
    server.SetProp(kPrefix + "ON_COORD_SET.SYNC=On");
    server.SetProp(kPrefix + "EQUATORIAL_EOD_COORD.RA;DEC=" + NumberText(ra) + ";" +
                   NumberText(dec));
  }
  double Dec() { return server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC"); }
  double Ra() { return server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.RA"); }

  // orvanacp on this server; no air, so the mapping is the simulator's own
  // geometry.
  Program Run(const std::string& threshold, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {ORVAN_PROGRAM, "--headless",
                                     "--indi",      "127.0.0.1:" + std::to_string(server.port()),
                                     "--device",    "Telescope Simulator",
                                     "--pressure",  "0",
                                     "--threshold", threshold,
                                     "--start",     "--trace"};
    args.insert(args.end(), more.begin(), more.end());
    return Program(args);
  }
  static std::string Status(const std::string& text) { return "status \"" + text + "\""; }

  IndiServer server;
  double ra0 = 0;
  double dec0 = 20;
};

TEST_F(ProgramOnIndi, HoldsTheMountPrintingStatusAndAccessesAndEndsOnSigterm) {
  Program program = Run("0.5");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  EXPECT_TRUE(program.WaitForError("call Util.MapIdealToRawEqu(", 1s));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);

  // Every line time-stamped; the first says the air, the next is the status
  // at the start. (The first tick may re-capture: the simulator's tracking
  // drifts by about a second of arc a second at this hour angle. Where the
  // first tick sees less of it, it pulses instead, and says so on a line of
  // its own.)
  const std::vector<std::string> out = program.Output();
  ASSERT_GE(out.size(), 3u);
  const std::regex stamped(
      R"re(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (air|status|msgbox|error|pulse) (.*))re");
  std::smatch m;
  for (const std::string& line : out) EXPECT_TRUE(std::regex_match(line, m, stamped)) << line;
  ASSERT_TRUE(std::regex_match(out[0], m, stamped));
  EXPECT_EQ(m[1], "air");
  EXPECT_EQ(m[2], "\"air for refraction: 10 °C, 0 hPa, 50 % humidity\"");
  ASSERT_TRUE(std::regex_match(out[1], m, stamped));
  EXPECT_EQ(m[2], "\"Normal Sidereal tracking\"");

  // The trace's own lines: the INDI client library says what it likes on
  // the same stream (a property set before the server defined it comes
  // with the whole XML element), and the air is said there at the start.
  const std::regex traced(R"((create|put|get|call) .*)");
  std::vector<std::string> trace;
  for (const std::string& line : program.Errors())
    if (std::regex_match(line, traced)) trace.push_back(line);
  trace.resize(std::min<std::size_t>(trace.size(), 4));
  EXPECT_EQ(trace, (std::vector<std::string>{"create ACP.Util", "create ACP.Telescope",
                                             "put Telescope.Connected bool:true",
                                             "get Telescope.InterfaceVersion -> i2:3"}));
}

TEST_F(ProgramOnIndi, ZeroGuideRatesAreRepairedAtTheStart) {
  server.SetProp(kPrefix + "GUIDE_RATE.GUIDE_RATE_WE;GUIDE_RATE_NS=0;0");
  Program program = Run("1", {"--trace-indi"});
  ASSERT_TRUE(program.WaitForError("put Telescope.GuideRateDeclination r8:0.0041666666666667004",
                                   kTickLimit));
  EXPECT_TRUE(program.WaitForError("get Telescope.GuideRateRightAscension -> r8:0", 0s));
  // The INDI trace on the same stream: the right-ascension rate written with
  // the other as it was, and the simulator's answer.
  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )";
  const std::regex sent(stamp + R"(sent newNumberVector "Telescope Simulator" GUIDE_RATE )"
                                R"(GUIDE_RATE_WE=0\.997\d+ GUIDE_RATE_NS=0)");
  const std::regex answered(stamp + R"(received setNumberVector "Telescope Simulator" GUIDE_RATE )"
                                    R"(Ok GUIDE_RATE_WE=0\.997\d+ GUIDE_RATE_NS=0)");
  const std::vector<std::string> errors = program.Errors();
  const auto has = [&](const std::regex& r) {
    return std::ranges::any_of(errors,
                               [&](const std::string& l) { return std::regex_match(l, r); });
  };
  EXPECT_TRUE(has(sent));
  EXPECT_TRUE(has(answered));
  // 15"/s as a fraction of the sidereal rate.
  EXPECT_NEAR(server.GetNumber(kPrefix + "GUIDE_RATE.GUIDE_RATE_WE"), 15.0 / 15.0410686, 1e-6);
  EXPECT_NEAR(server.GetNumber(kPrefix + "GUIDE_RATE.GUIDE_RATE_NS"), 15.0 / 15.0410686, 1e-6);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(ProgramOnIndi, ADeclinationOffsetIsPulsedAwaySouthForItsLength) {
  Program program = Run("5");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  // The mount is pushed 12" north of the target, within the re-capture limit
  // of 25": the next tick pulses south, at the simulator's 0.5 × sidereal
  // guide rate, for 12" / 7.52"/s.
  Sync(Ra(), dec0 + 12.0 / 3600);
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking - correcting -DEC"), kTickLimit));
  ASSERT_TRUE(program.WaitForError("call Telescope.PulseGuide(i2:1, &r8:", 1s));
  std::string pulse;
  for (const std::string& line : program.Errors())
    if (line.starts_with("call Telescope.PulseGuide(i2:1, &r8:")) pulse = line;
  const double ms = std::stod(pulse.substr(pulse.find("&r8:") + 4));
  EXPECT_NEAR(ms, 12.0 / (0.5 * 15.0410686) * 1000, 20);  // the mapped offset, not exactly 12"
  // Back on target, to the simulator's 250-ms steps (1.9") and its early end.
  EXPECT_TRUE(WaitFor(5s, [&] { return std::abs(Dec() - dec0) * 3600 < 2.5; }))
      << (Dec() - dec0) * 3600 << "\"";
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(ProgramOnIndi, ASlewWhileHoldingIsWaitedOutThenTheNewPositionHeld) {
  Program program = Run("1");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  server.SetProp(kPrefix + "ON_COORD_SET.TRACK=On");
  // Far enough that the slew outlasts a tick.
  server.SetProp(kPrefix + "EQUATORIAL_EOD_COORD.RA;DEC=" + NumberText(Ra()) + ";" +
                 NumberText(dec0 + 40));
  ASSERT_TRUE(program.WaitForOutput(Status("Waiting for slew to complete"), kTickLimit));
  ASSERT_TRUE(program.WaitForOutput(Status("Updating target coordinates"), kSlewLimit));
  EXPECT_NEAR(Dec(), dec0 + 40, 1.0 / 3600);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(ProgramOnIndi, TrackingSwitchedOffIsWaitedFor) {
  Program program = Run("1");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  server.SetProp(kPrefix + "TELESCOPE_TRACK_STATE.TRACK_OFF=On");
  ASSERT_TRUE(
      program.WaitForOutput(Status("Waiting for mount tracking to be enabled"), kTickLimit));
  server.SetProp(kPrefix + "TELESCOPE_TRACK_STATE.TRACK_ON=On");
  ASSERT_TRUE(program.WaitForOutput(Status("Updating target coordinates"), kTickLimit));
  program.Signal(SIGINT);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(ProgramOnIndi, APulseStartedBySomeoneElseEndsTheRun) {
  Program program = Run("1");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  server.SetProp(kPrefix + "TELESCOPE_TIMED_GUIDE_WE.TIMED_GUIDE_W;TIMED_GUIDE_E=6000;0");
  ASSERT_TRUE(program.WaitForOutput("msgbox \"Aborting Orvan - external pulseguide detected\"",
                                    kTickLimit));
  EXPECT_TRUE(program.WaitForOutput(Status("Normal Sidereal tracking"), 0s));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(ProgramOnIndi, TheServerGoingAwayEndsInTheErrorReport) {
  Program program = Run("1");
  ASSERT_TRUE(program.WaitForOutput(Status("Orvan tracking"), kTickLimit));
  server.Stop();
  ASSERT_TRUE(program.WaitForOutput("error 0x8004050", kTickLimit));
  EXPECT_EQ(program.Wait(kExitLimit), 1);
}

TEST_F(ProgramOnIndi, AnUnknownDeviceEndsTheStartInTheErrorReport) {
  Program program({ORVAN_PROGRAM, "--headless", "--indi",
                   "127.0.0.1:" + std::to_string(server.port()), "--device", "No Such Mount",
                   "--start"});
  EXPECT_EQ(program.Wait(kTickLimit), 1);
  // The air said at the start, the status, the report.
  const std::vector<std::string> out = program.Output();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_NE(out[2].find(" error 0x80040501 \"INDI device \\\"No Such Mount\\\" not found"),
            std::string::npos)
      << out[2];
}

}  // namespace
}  // namespace orvan::indi
