// A model fitted by orvanacp-model, read by the program through --model on
// Debian's telescope simulator: the program maps its target to the mount by
// the fitted terms. The points (tests/fit/data/north.csv) were made at the
// simulator's site with known terms, which TPOINT's formulas
// (synthetic_points.h) turn into the expected offset. One tick of real time;
// every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "fit/synthetic_points.h"
#include "indi_server.h"
#include "program.h"
#include "testing/temp_dir.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::Program;

// north.csv's mount and site (tests/fit/CMakeLists.txt), the simulator's too.
constexpr model::synthetic::Known kMount{95, -40, 25, 10, 48, 36, 6};
constexpr double kLatitude = 40;
// West of the meridian (the simulator's east side of the pier), where the
// terms act on the mount's own frame.
constexpr double kHourAngle = 1, kDec = 20;
// The target's hour angle moves on by the time of the first tick; the
// terms' offset changes by under 0.05" meanwhile.
constexpr double kToleranceArcsec = 0.2;

TEST(FittedModelOnIndi, TheToolsModelFileMapsTheTargetByItsTerms) {
  IndiServer server;
  server.Start();
  const TempDir dir;
  const std::string file = dir.File("fitted.model");
  standin::RunTool({ORVAN_MODEL_TOOL, "fit", ORVAN_POINTS, "--latitude", "40", "--longitude",
                    "-105", "-o", file});
  ASSERT_TRUE(std::filesystem::exists(file));
  bool ok = false;
  standin::TrackAt(server, kHourAngle, kDec, ok);
  ASSERT_TRUE(ok);

  // No air: the points were made without refraction.
  Program program({ORVAN_PROGRAM, "--headless", "--indi",
                   "127.0.0.1:" + std::to_string(server.port()), "--model", file, "--pressure", "0",
                   "--threshold", "1", "--start", "--trace"});
  ASSERT_TRUE(program.WaitForOutput("status \"Orvan tracking\"", standin::kTickLimit));
  ASSERT_TRUE(program.WaitForError("call Util.MapIdealToRawEqu(", standin::kTickLimit));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(standin::kExitLimit), 0);

  // call Util.MapIdealToRawEqu(&r8:RA, &r8:DEC, ...) -> (&r8:RA, &r8:DEC, &r8:RAW_RA, &r8:RAW_DEC)
  const std::regex mapped(
      R"(call Util\.MapIdealToRawEqu\(.*\) -> \(&r8:([^,]+), &r8:([^,]+), &r8:([^,]+), &r8:([^)]+)\))");
  std::smatch m;
  std::string line;
  for (const std::string& l : program.Errors())
    if (std::regex_search(l, m, mapped)) {
      line = l;
      break;
    }
  ASSERT_FALSE(line.empty());
  std::regex_search(line, m, mapped);
  const double raw_minus_ideal_ra = std::stod(m[3]) - std::stod(m[1]);
  const double raw_minus_ideal_dec = std::stod(m[4]) - std::stod(m[2]);

  const model::Point expected =
      model::synthetic::MakePoint(kMount, kHourAngle, kDec, kLatitude, false, 1);
  // Right ascension counts against hour angle.
  EXPECT_NEAR(raw_minus_ideal_ra * 54000, -(expected.mechanical.ha - kHourAngle) * 54000,
              kToleranceArcsec);
  EXPECT_NEAR(raw_minus_ideal_dec * 3600, (expected.mechanical.dec - kDec) * 3600,
              kToleranceArcsec);
}

}  // namespace
}  // namespace orvan::indi
