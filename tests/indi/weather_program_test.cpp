// The air read live by the program itself, headless on Debian's telescope
// and weather simulators (orvanacp --weather "Weather Simulator"): the cycle
// log's air follows a change of the station's temperature mid-run, and what
// the simulator does not read (pressure, humidity) is the default, said
// once. Ticks come every 4 s of real time; every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "indi_server.h"
#include "observatory/program/observatory_program.h"
#include "program.h"
#include "testing/temp_dir.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::CountLines;
using standin::IndiServer;
using standin::kExitLimit;
using standin::kTickLimit;
using standin::Program;
using standin::WaitFor;

const std::string kStation = "Weather Simulator.";
constexpr double kElevationM = 1600;  // as TrackAt sets it
constexpr double kFirstC = 15;        // the simulator's own temperature at its start
constexpr double kLaterC = 3;

struct Air {
  double temperature_c, pressure_hpa, humidity_percent;
};

// The air of the last cycle line of the log that has one.
std::optional<Air> LastAir(const std::filesystem::path& log) {
  std::ifstream in(log);
  std::string line;
  std::map<std::string, std::size_t> column;
  std::optional<Air> air;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, ',');) fields.push_back(f);
    if (line.ends_with(',')) fields.emplace_back();
    if (line.starts_with("time,")) {
      for (std::size_t i = 0; i < fields.size(); ++i) column[fields[i]] = i;
      continue;
    }
    if (column.empty() || fields.size() != column.size()) continue;
    const std::string& t = fields[column["air_temperature_c"]];
    if (fields[column["event"]] != "cycle" || t.empty()) continue;
    air = Air{std::stod(t), std::stod(fields[column["air_pressure_hpa"]]),
              std::stod(fields[column["air_humidity_percent"]])};
  }
  return air;
}

TEST(WeatherOnIndi, TheAirFollowsTheStationAndWhatItLacksIsTheDefault) {
  IndiServer server({"indi_simulator_telescope", "indi_simulator_weather"});
  server.Start();
  bool ok = false;
  standin::TrackAt(server, 1.0, 20, ok);
  ASSERT_TRUE(ok);
  const TempDir dir;
  const std::string log = dir.File("weather.csv");
  Program program({ORVAN_PROGRAM, "--headless", "--indi",
                   "127.0.0.1:" + std::to_string(server.port()), "--weather", "Weather Simulator",
                   "--threshold", "1", "--start", "--log", log});
  ASSERT_TRUE(program.WaitForOutput("status \"Orvan tracking", kTickLimit));
  ASSERT_TRUE(WaitFor(kTickLimit, [&] { return LastAir(log).has_value(); }));
  const Air first = *LastAir(log);
  EXPECT_EQ(first.temperature_c, kFirstC);
  EXPECT_EQ(first.pressure_hpa, program::PressureAtElevation(kElevationM, kFirstC));
  EXPECT_EQ(first.humidity_percent, 50);

  server.SetProp(kStation + "WEATHER_CONTROL.Temperature=" + standin::NumberText(kLaterC));
  server.SetProp(kStation + "WEATHER_REFRESH.REFRESH=On");
  ASSERT_TRUE(WaitFor(3 * kTickLimit, [&] { return LastAir(log)->temperature_c == kLaterC; }));
  // The pressure is estimated at the temperature read.
  EXPECT_EQ(LastAir(log)->pressure_hpa, program::PressureAtElevation(kElevationM, kLaterC));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);

  // Said once each, on standard error and as headless lines.
  const std::string station = "INDI weather device \\\"Weather Simulator\\\"";
  const std::vector<std::string> out = program.Output(), errors = program.Errors();
  EXPECT_EQ(CountLines(out, " air \"air for refraction: read from " + station +
                                "; until it reads, and for what it does not: 10 °C, pressure "
                                "from the mount's elevation, 50 % humidity\""),
            1u);
  for (const std::string& lacking :
       {std::string(" reads no pressure (WEATHER_PRESSURE or WEATHER_BAROMETER): using pressure "
                    "from the mount's elevation"),
        std::string(" reads no humidity (WEATHER_HUMIDITY): using 50 % humidity")}) {
    EXPECT_EQ(CountLines(out, " air \"" + station + lacking + "\""), 1u) << lacking;
    EXPECT_EQ(CountLines(errors, "Z INDI weather device \"Weather Simulator\"" + lacking), 1u)
        << lacking;
  }
  EXPECT_EQ(CountLines(errors, " reads no temperature"), 0u);
}

}  // namespace
}  // namespace orvan::indi
