// Syncs another client makes on Debian's telescope simulator, each recorded
// by the program as a point (--points), then fitted by orvanacp-model from
// the file as written: the fit finds the offsets the syncs made. The program
// runs once for each place, so that moving the simulator there (itself a
// sync) is not recorded, and the file is appended to each time. Every wait
// has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "indi_server.h"
#include "program.h"
#include "testing/temp_dir.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;

// What each sync moves the mount by, as TPOINT's terms count it: IH adds to
// the hour angle the mount reads, so the sky is that much further east (a
// larger right ascension); ID adds to the declination it reads.
constexpr double kIhArcsec = 30, kIdArcsec = -20;
// Places west of the meridian (one side of the pier), in hours and degrees.
constexpr double kPlaces[][2] = {{0.5, 10}, {1.5, 35}, {3, 60}};
// The fitted site has no air; diurnal aberration, which the simulator's
// positions lack, is under 0.25" here.
constexpr double kToleranceArcsec = 0.4;

double Term(const std::string& report, const std::string& name) {
  const std::regex line("(^|\\n)" + name + " +(-?[0-9.]+) ");
  std::smatch m;
  if (!std::regex_search(report, m, line)) return NAN;
  return std::stod(m[2]);
}

// The mount's position as the program last received it (its INDI trace);
// NaN before it has any.
std::pair<double, double> LastReceived(Program& program) {
  const std::regex position(R"("Telescope Simulator" EQUATORIAL_EOD_COORD \S+ RA=(\S+) DEC=(\S+))");
  std::pair<double, double> last{NAN, NAN};
  std::smatch m;
  for (const std::string& line : program.Errors())
    if (std::regex_search(line, m, position)) last = {std::stod(m[1]), std::stod(m[2])};
  return last;
}

// Once the mount is still (the simulator's news of a moving mount comes
// four times a second; one still for longer has stopped) and the program has
// its position, syncs beside it.
void SyncBesideTheMount(IndiServer& server, Program& program) {
  constexpr auto kStill = 1500ms;
  const std::string eod = standin::kSimulator + "EQUATORIAL_EOD_COORD.";
  double ra = NAN, dec = NAN;
  auto since = std::chrono::steady_clock::now();
  ASSERT_TRUE(standin::WaitFor(3 * standin::kTickLimit, [&] {
    const double now_ra = server.GetNumber(eod + "RA"), now_dec = server.GetNumber(eod + "DEC");
    if (now_ra != ra || now_dec != dec) since = std::chrono::steady_clock::now();
    ra = now_ra;
    dec = now_dec;
    const auto [seen_ra, seen_dec] = LastReceived(program);
    return std::chrono::steady_clock::now() - since >= kStill && seen_ra == ra && seen_dec == dec;
  }));
  // Both at once, as a plate-solving client sends them: between two runs of
  // the command-line tool the simulator's own news of a moving mount could
  // come first and pass for the sync's.
  server.SetProps({standin::kSimulator + "ON_COORD_SET.SYNC=On",
                   eod + "RA;DEC=" + standin::NumberText(ra + kIhArcsec / 54000) + ";" +
                       standin::NumberText(dec - kIdArcsec / 3600)});
}

TEST(SyncPointsOnIndi, EachSyncIsAPointAndTheFitFindsTheirOffsets) {
  IndiServer server;
  server.Start();
  const TempDir dir;
  const std::string file = dir.File("syncs.csv");
  for (const auto& place : kPlaces) {
    bool ok = false;
    standin::TrackAt(server, place[0], place[1], ok);
    ASSERT_TRUE(ok);
    Program program({ORVAN_PROGRAM, "--headless", "--indi",
                     "127.0.0.1:" + std::to_string(server.port()), "--pressure", "0", "--points",
                     file, "--trace-indi"});
    // The link holds the mount's position (defined, or new): a sync now is seen.
    ASSERT_TRUE(
        program.WaitForError("\"Telescope Simulator\" EQUATORIAL_EOD_COORD ", standin::kTickLimit));
    SyncBesideTheMount(server, program);
    EXPECT_TRUE(program.WaitForError(" recorded in " + file, standin::kTickLimit));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(standin::kExitLimit), 0);
  }

  std::ifstream in(file);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) ++lines;
  EXPECT_EQ(lines, 1 + static_cast<int>(std::size(kPlaces)));  // one header
  const std::string report = standin::RunTool({ORVAN_MODEL_TOOL, "fit", file, "--terms", "IH,ID",
                                               "--latitude", "40", "--longitude", "-105"});
  std::ifstream again(file);
  std::stringstream all;
  all << again.rdbuf();
  EXPECT_NEAR(Term(report, "IH"), kIhArcsec, kToleranceArcsec) << report << all.str();
  EXPECT_NEAR(Term(report, "ID"), kIdArcsec, kToleranceArcsec) << report << all.str();
}

}  // namespace
}  // namespace orvan::indi
