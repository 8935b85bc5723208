// Model tracking against Debian's telescope simulator: the program itself,
// headless, holding a target low in the west with a pointing model whose
// polar axis is half a degree out, with and without --rates. Without, the
// model's motion is taken out by pulse after pulse; with, the mount itself
// moves at the model's rates, hardly a pulse is sent, and the mount has its
// own tracking back when the program ends. Ticks come every 4 s of real time;
// every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "indi_server.h"
#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "program.h"
#include "testing/temp_dir.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;
using standin::WaitFor;

using standin::CountLines;
using standin::kSimulator;
const std::string& kPrefix = kSimulator;
const std::string kPulse = " pulse ";  // a headless pulse line
// West of the meridian (the simulator's east side of the pier, where every
// pulse and rate moves as named), low in the south-west.
constexpr double kHourAngle = 2.5, kDec = -10;
// Half a degree of polar misalignment: the mapped target moves about an
// arc-second a minute on each axis.
constexpr const char* kModel = "MA 1800\nME 1800\n";
constexpr std::size_t kTicks = 15;
using standin::kExitLimit;
using standin::kTickLimit;
using standin::kTickLine;

class RatesOnIndi : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Start();
    bool ok = false;
    standin::TrackAt(server, kHourAngle, kDec, ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WaitFor(
        5s, [&] { return server.GetProp(kPrefix + "TELESCOPE_PIER_SIDE.PIER_EAST") == "On"; }));
    std::ofstream(model_) << kModel;
  }

  // The mount's own position (its axes), arc-seconds on each axis.
  std::pair<double, double> Axes() {
    return {server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.RA") * 54000,
            server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC") * 3600};
  }

  // Holds the target for kTicks ticks; the pulses sent and how far the mount
  // moved meanwhile (arc-seconds).
  struct Held {
    std::size_t pulses;
    double moved;
  };
  Held Hold(bool rates) {
    std::vector<std::string> args = {
        ORVAN_PROGRAM, "--headless", "--indi",      "127.0.0.1:" + std::to_string(server.port()),
        "--model",     model_,       "--threshold", "0.5",
        "--start",     "--trace"};
    if (rates) args.emplace_back("--rates");
    Program program(args);
    EXPECT_TRUE(program.WaitForOutput("status \"Orvan tracking\"", kTickLimit));
    const auto [ra0, dec0] = Axes();
    const std::size_t until = CountLines(program.Errors(), kTickLine) + kTicks;
    EXPECT_TRUE(WaitFor(kTickLimit * static_cast<int>(kTicks),
                        [&] { return CountLines(program.Errors(), kTickLine) >= until; }));
    const auto [ra1, dec1] = Axes();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(kExitLimit), 0);
    EXPECT_EQ(CountLines(program.Output(), "Updating target coordinates"), 0u);
    return {CountLines(program.Output(), kPulse), std::hypot(ra1 - ra0, dec1 - dec0)};
  }

  IndiServer server;
  const TempDir dir_;
  const std::string model_ = dir_.File("rates.model");
};

TEST_F(RatesOnIndi, WithoutRatesTheModelsMotionIsPulsedAway) {
  const Held held = Hold(false);
  EXPECT_GE(held.pulses, 6u) << "moved " << held.moved << "\"";
  EXPECT_EQ(server.GetProp(kPrefix + "TELESCOPE_TRACK_MODE.TRACK_SIDEREAL"), "On");
}

TEST_F(RatesOnIndi, WithRatesTheMountFollowsTheModelAndGetsItsTrackingBack) {
  const Held held = Hold(true);
  EXPECT_LE(held.pulses, 1u) << "moved " << held.moved << "\"";
  // Its own axes moved, at the rates, by about the arc-seconds a minute the
  // pulses take out without them.
  EXPECT_GT(held.moved, 0.5) << held.moved << "\"";
  // The program has ended: the mount tracks as it did before.
  EXPECT_EQ(server.GetProp(kPrefix + "TELESCOPE_TRACK_MODE.TRACK_SIDEREAL"), "On");
  EXPECT_EQ(server.GetProp(kPrefix + "TELESCOPE_TRACK_MODE.TRACK_CUSTOM"), "Off");
}

}  // namespace
}  // namespace orvan::indi
