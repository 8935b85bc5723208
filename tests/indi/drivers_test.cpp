// The program itself on each of Debian's telescope drivers that tracks in
// simulation (indi-bin, indi-eqmod), each in its own server on a free port
// (docs/indi.md says why the few others are not here):
// the driver switched to simulation, connected, placed at 40 degrees north
// an hour west of the meridian and tracking; then orvanacp --headless holds
// it for four ticks (16 s). It must open the mount, say what the mount lacks
// as the table has it, send no pulse (but where a driver's simulation
// drifts, the pulse that takes the drift out) and see no error report.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "indi_server.h"
#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "program.h"
#include "support/units.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;
using standin::WaitFor;

constexpr auto kSetUpLimit = 30s;  // a driver connecting
// A driver slewing to the place and settling there. Pulsar2's simulation
// ignores the sync and slews from where it starts (1 h) at about half an
// hour of right ascension a second, eastward: up to 24 h, whatever the hour
// puts the place at, is 45 s.
constexpr auto kSettleLimit = 90s;
constexpr auto kStillFor = 3s;     // a position unchanged this long is a tracking mount
constexpr std::size_t kTicks = 4;  // held for this many cycles
constexpr auto kHoldLimit = 40s;   // four ticks on a loaded machine
// At the step INDI drivers report right ascension in (1.5") and above.
constexpr const char* kThreshold = "2";

// What the program says of a mount that lacks each (mount_shape.h).
enum Lack : unsigned {
  kNone = 0,
  kNoGuideRate = 1,
  kOneRate = 2,
  kRateSwitch = 4,
  kNoTrackState = 8,
  kNoPierSide = 16,
};

struct Driver {
  std::string program;
  std::string device;
  unsigned lacks;
  // Drivers of the LX200 family track in simulation only after a goto.
  bool goto_after_sync = false;
  // The pulses a driver's simulated drift may call for ("pulse E"): PMC8's
  // tracking runs slow in simulation, by one report step (1.5") every 6 to
  // 20 s. None by any other.
  std::string drift_pulse = {};
};

void PrintTo(const Driver& d, std::ostream* os) {
  *os << d.program;
}

std::vector<Driver> Drivers() {
  const unsigned lx200 = kNoGuideRate | kNoTrackState | kNoPierSide;
  return {
      {"indi_simulator_telescope", "Telescope Simulator", kNone},
      {"indi_eqmod_telescope", "EQMod Mount", kNone},
      {"indi_azgti_telescope", "AZ-GTi", kNone},
      {"indi_skyadventurergti_telescope", "SkyAdventurer GTi", kNone},
      {"indi_staradventurer2i_telescope", "Star Adventurer 2i", kNone},
      {"indi_ieqlegacy_telescope", "iEQ", kNoPierSide},
      {"indi_lx200ap", "AstroPhysics", kNoGuideRate | kNoPierSide},
      {"indi_lx200ap_gtocp2", "AstroPhysics GTOCP2", kNoGuideRate},
      {"indi_pmc8_telescope", "PMC8", kNoGuideRate | kNoPierSide, false, " pulse E "},
      {"indi_temma_telescope", "Temma Takahashi", kNoGuideRate},
      {"indi_lx200zeq25", "ZEQ25", kOneRate | kNoTrackState},
      {"indi_lx200gotonova", "GotoNova", kRateSwitch | kNoTrackState | kNoPierSide},
      {"indi_eq500x_telescope", "Standard LX200", kNoGuideRate | kNoTrackState},
      {"indi_lx200_10micron", "10micron", kNoGuideRate, true},
      {"indi_lx200gemini", "Losmandy Gemini", kNoGuideRate, true},
      {"indi_lx200generic", "Standard LX200", lx200, true},
      {"indi_lx200_16", "LX200 16", lx200, true},
      {"indi_lx200gps", "LX200 GPS", lx200, true},
      {"indi_lx200autostar", "LX200 Autostar", lx200, true},
      {"indi_lx200classic", "LX200 Classic", lx200, true},
      {"indi_lx200_OpenAstroTech", "LX200 OpenAstroTech", lx200, true},
      {"indi_lx200fs2", "Astro-Electronic FS-2", lx200, true},
      {"indi_lx200ss2000pc", "SkySensor2000PC", lx200, true},
      {"indi_lx200pulsar2", "Pulsar2", kNoGuideRate | kNoTrackState, true},
  };
}

// The lines the program says at the start, in order, for a mount with `lacks`.
std::vector<std::string> Notices(const std::string& device, unsigned lacks) {
  const std::string mount = "INDI mount \"" + device + "\" ";
  std::vector<std::string> lines;
  if (lacks & kNoGuideRate)
    lines.push_back(mount +
                    "has no GUIDE_RATE: pulses timed for 15\"/s, the program's default rate "
                    "(--guide-rate gives the mount's, in times sidereal)");
  if (lacks & kOneRate)
    lines.push_back(mount + "GUIDE_RATE has one element, GUIDE_RATE: taken for both axes");
  if (lacks & kRateSwitch)
    lines.push_back(mount +
                    "GUIDE_RATE is a switch of fixed rates: the rate is read from the label of "
                    "the one on");
  if (lacks & kNoTrackState)
    lines.push_back(mount +
                    "has no TELESCOPE_TRACK_STATE: tracking judged from its readings (a right "
                    "ascension growing at the sidereal rate is a mount not tracking)");
  if (lacks & kNoPierSide)
    lines.push_back(mount +
                    "has no TELESCOPE_PIER_SIDE: taken as on one side of the pier throughout, "
                    "not through the pole");
  lines.push_back(mount +
                  "reports a new position only once it has moved 0.1 s in right ascension or "
                  "0.1\" in declination: a threshold below 1.5\" is finer than right ascension "
                  "is reported, and a reading unchanged since a pulse is not taken for a new "
                  "error");
  return lines;
}

// The text after the time stamp of each line on standard error that speaks
// of the mount.
std::vector<std::string> MountLines(const std::vector<std::string>& errors) {
  std::vector<std::string> lines;
  for (const std::string& line : errors)
    if (const auto at = line.find(" INDI mount \""); at != std::string::npos)
      lines.push_back(line.substr(at + 1));
  return lines;
}

// Switched to simulation, connected, at the site, tracking at hour angle
// +1 h and declination 20: synced there, and where a driver tracks only
// after a goto, sent a little north. True once its position has stayed put.
bool Place(const IndiServer& server, const Driver& d) {
  const std::string p = d.device + ".";
  server.SetProp(p + "SIMULATION.ENABLE=On");
  server.SetProp(p + "CONNECTION.CONNECT=On");
  if (!WaitFor(kSetUpLimit, [&] { return server.GetProp(p + "CONNECTION.CONNECT") == "On"; }))
    return false;
  server.SetProp(p + "GEOGRAPHIC_COORD.LAT;LONG;ELEV=40;255;1600");
  const double lst =
      pointing::LocalSiderealTime({40, -105, 0, 10, 0.5}, program::SystemClock().Now());
  const std::string ra = standin::NumberText(Wrap24(lst - 1));
  server.SetProp(p + "TELESCOPE_TRACK_STATE.TRACK_ON=On");
  server.SetProps({p + "ON_COORD_SET.SYNC=On", p + "EQUATORIAL_EOD_COORD.RA;DEC=" + ra + ";20"});
  if (d.goto_after_sync)
    server.SetProps(
        {p + "ON_COORD_SET.TRACK=On", p + "EQUATORIAL_EOD_COORD.RA;DEC=" + ra + ";20.01"});
  std::string last;
  auto since = std::chrono::steady_clock::now();
  return WaitFor(kSettleLimit, [&] {
    const std::string now = server.GetProp(p + "EQUATORIAL_EOD_COORD.RA") + ";" +
                            server.GetProp(p + "EQUATORIAL_EOD_COORD.DEC");
    if (now != last) {
      last = now;
      since = std::chrono::steady_clock::now();
    }
    return std::chrono::steady_clock::now() - since >= kStillFor;
  });
}

class DriverTable : public ::testing::TestWithParam<Driver> {};

TEST_P(DriverTable, OpensTheMountSaysWhatItLacksAndHoldsItWithoutAPulse) {
  const Driver& d = GetParam();
  IndiServer server({d.program});
  server.Start();
  ASSERT_TRUE(Place(server, d)) << d.program << " did not settle tracking";

  Program program({ORVAN_PROGRAM, "--headless", "--indi",
                   "127.0.0.1:" + std::to_string(server.port()), "--device", d.device,
                   "--threshold", kThreshold, "--start", "--trace"});
  const bool held = program.WaitForErrors(standin::kTickLine, kTicks + 1, kHoldLimit);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(standin::kExitLimit), 0);
  const std::vector<std::string> output = program.Output();
  std::string told;  // what the program printed, for a failure's message
  for (const std::string& line : output) told += "\n" + line;
  ASSERT_TRUE(held) << "the program did not hold the mount for " << kTicks << " ticks:" << told;

  EXPECT_EQ(MountLines(program.Errors()), Notices(d.device, d.lacks));
  const std::size_t drift_pulses =
      d.drift_pulse.empty() ? 0 : standin::CountLines(output, d.drift_pulse);
  EXPECT_EQ(standin::CountLines(output, " pulse "), drift_pulses) << told;
  // The run-time error report's line: a pulse's line names its axis' error.
  EXPECT_EQ(standin::CountLines(output, "Z error "), 0u) << told;
  EXPECT_GE(standin::CountLines(output, "status \"Orvan tracking\""), 1u) << told;
}

INSTANTIATE_TEST_SUITE_P(Debian, DriverTable, ::testing::ValuesIn(Drivers()),
                         [](const auto& info) { return info.param.program; });

// EQMod's simulation does not move on a timed pulse. Made to drift at
// 0.15"/s in right ascension (a custom tracking rate), it is what a mount
// with its guide port unplugged looks like: the program must say so once,
// within the 5 pulses and the minute its rule takes and the drift's first
// steps, and never turn the axis for it.
TEST(DriftingMount, PulsesThatDoNotMoveItAreSaidOnceAndTurnNothing) {
  const Driver eqmod{"indi_eqmod_telescope", "EQMod Mount", kNone};
  IndiServer server({eqmod.program});
  server.Start();
  ASSERT_TRUE(Place(server, eqmod)) << "did not settle tracking";
  const std::string p = eqmod.device + ".";
  server.SetProp(p + "TELESCOPE_TRACK_MODE.TRACK_CUSTOM=On");
  server.SetProp(p + "TELESCOPE_TRACK_RATE.TRACK_RATE_RA;TRACK_RATE_DE=15.19;0");

  Program program({ORVAN_PROGRAM, "--headless", "--indi",
                   "127.0.0.1:" + std::to_string(server.port()), "--device", eqmod.device,
                   "--threshold", "1", "--start"});
  const std::string none = "INDI mount \"EQMod Mount\": right ascension pulses have no effect";
  const bool said = program.WaitForError(none, 150s);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(standin::kExitLimit), 0);
  std::string told;
  for (const std::string& line : program.Errors()) told += "\n" + line;
  ASSERT_TRUE(said) << told;
  EXPECT_EQ(standin::CountLines(program.Errors(), none), 1u) << told;
  EXPECT_EQ(standin::CountLines(program.Errors(), "reversing"), 0u) << told;
  EXPECT_EQ(standin::CountLines(program.Errors(), "move the mount again"), 0u) << told;
}

}  // namespace
}  // namespace orvan::indi
