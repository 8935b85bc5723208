// The air read live from a weather device, against the stand-in server
// misbehaving on purpose: readings refused (out of range, not a number, in
// Alert), the server gone, a reading gone stale, and the elements a device
// lacks. The age of a reading is told by a virtual clock.

#include "observatory/indi/indi_weather.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_mount.h"
#include "fake_server.h"
#include "indi_server.h"
#include "observatory/indi/indi_names.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using namespace standin;
using Elements = std::vector<std::pair<std::string, std::string>>;

constexpr auto kEventLimit = 10s;
constexpr auto kStaleLimit = 60s;
const std::string kWeather = "Fake Weather";
const std::string kName = "INDI weather device \"Fake Weather\"";
const std::string kReading = "INDI device \"Fake Weather\" WEATHER_PARAMETERS";
const Elements kGood = {{names::kWeatherTemperature, "3"},
                        {names::kWeatherPressure, "800"},
                        {names::kWeatherHumidity, "40"},
                        {"WEATHER_WIND_SPEED", "2"}};
const std::string kGoodAir = "3 °C, 800 hPa, 40 % humidity";

std::string Parameters(const Elements& elements, const std::string& state = "Ok") {
  return NumberUpdate(kWeather, names::kWeatherParameters, state, elements);
}

// A weather station on the stand-in server: connected, its readings defined
// as `elements`; what the program is told of it is kept in `notices`.
struct Station {
  explicit Station(const Elements& elements)
      : server(ConnectionDefinition(kWeather, true) +
               NumberDefinition(kWeather, names::kWeatherParameters, "Ok", elements)),
        weather(Options(), clock, program::ProgramConfig{}) {}

  IndiOptions Options() {
    IndiOptions options = FakeOptions(server);
    options.weather = kWeather;
    options.weather_stale_limit = kStaleLimit;
    options.air_notice = [this](const std::string& text) { notices.push_back(text); };
    return options;
  }

  // Reads until something is said, as the program reads at each mapping.
  bool ReadUntilSaid(std::size_t count) {
    return WaitFor(kEventLimit, [&] {
      static_cast<void>(weather.ReadAir());
      return notices.size() >= count;
    });
  }

  FakeServer server;
  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(0);
  std::vector<std::string> notices;
  IndiWeather weather;
};

void ExpectAir(const program::AirReading& air, std::optional<double> temperature,
               std::optional<double> pressure, std::optional<double> humidity) {
  EXPECT_EQ(air.temperature_c, temperature);
  EXPECT_EQ(air.pressure_hpa, pressure);
  EXPECT_EQ(air.relative_humidity, humidity);
}

TEST(IndiWeather, AReadingThatCannotBeTrueIsRefusedAndTheLastGoodAirKept) {
  struct Row {
    std::vector<Action> actions;
    std::string said;
  };
  const std::string kept = "; keeping the air as it was: " + kGoodAir;
  const Row rows[] = {
      {{Send(Parameters({{names::kWeatherTemperature, "75"}}))},
       kReading + ".WEATHER_TEMPERATURE = 75: out of range [-60, 60]" + kept},
      {{Send(Parameters({{names::kWeatherTemperature, "-61"}}))},
       kReading + ".WEATHER_TEMPERATURE = -61: out of range [-60, 60]" + kept},
      {{Send(Parameters({{names::kWeatherPressure, "450"}}))},
       kReading + ".WEATHER_PRESSURE = 450: out of range [500, 1100]" + kept},
      {{Send(Parameters({{names::kWeatherHumidity, "101"}}))},
       kReading + ".WEATHER_HUMIDITY = 101: out of range [0, 100]" + kept},
      {{Send(Parameters({{names::kWeatherTemperature, "nan"}}))},
       kReading + ".WEATHER_TEMPERATURE = nan: not a finite number" + kept},
      {{Send(Parameters(kGood, "Alert"))}, kReading + " is in Alert" + kept},
      {{Close()}, "INDI server 127.0.0.1:PORT connection lost" + kept},
  };
  for (const Row& row : rows) {
    Station station(kGood);
    station.weather.Open();
    ExpectAir(station.weather.ReadAir(), 3, 800, 0.4);
    // A close is done when the server has shut the socket (Do says false).
    static_cast<void>(station.server.Do(row.actions));
    ASSERT_TRUE(station.ReadUntilSaid(1)) << row.said;
    std::string said = row.said;
    if (const auto at = said.find("PORT"); at != std::string::npos)
      said.replace(at, 4, std::to_string(station.server.port()));
    EXPECT_EQ(station.notices, std::vector<std::string>{said});
    // Said once while it lasts; the air is the last good one.
    ExpectAir(station.weather.ReadAir(), 3, 800, 0.4);
    EXPECT_EQ(station.notices.size(), 1u);
  }
}

TEST(IndiWeather, AReadingNotUpdatedWithinTheLimitIsSaidOnceUntilTheNextOne) {
  Station station(kGood);
  station.weather.Open();
  ExpectAir(station.weather.ReadAir(), 3, 800, 0.4);
  station.clock->Advance(60);
  static_cast<void>(station.weather.ReadAir());
  EXPECT_TRUE(station.notices.empty());
  station.clock->Advance(1);
  ExpectAir(station.weather.ReadAir(), 3, 800, 0.4);
  ExpectAir(station.weather.ReadAir(), 3, 800, 0.4);
  EXPECT_EQ(station.notices,
            std::vector<std::string>{kName + " WEATHER_PARAMETERS not updated for " +
                                     "60 s; keeping the air as it was: " + kGoodAir});
  // A new reading, even of the same air, ends it.
  ASSERT_TRUE(station.server.Do({Send(Parameters({{names::kWeatherTemperature, "-2.5"}}))}));
  ASSERT_TRUE(station.ReadUntilSaid(2));
  EXPECT_EQ(station.notices[1], kName + " reads again: -2.5 °C, 800 hPa, 40 % humidity");
  ExpectAir(station.weather.ReadAir(), -2.5, 800, 0.4);
}

// What the device does not read is said once, as it opens, with what is used
// instead: here the program's defaults.
TEST(IndiWeather, WhatTheDeviceLacksIsSaidOnceAndLeftToTheConfiguredAir) {
  struct Row {
    Elements elements;
    std::vector<std::string> said;
    std::optional<double> temperature, pressure, humidity;
  };
  const Row rows[] = {
      {{{names::kWeatherBarometer, "905.5"}},
       {kName + " reads no temperature (WEATHER_TEMPERATURE): using 10 °C",
        kName + " reads no humidity (WEATHER_HUMIDITY): using 50 % humidity"},
       std::nullopt,
       905.5,
       std::nullopt},
      {{{names::kWeatherTemperature, "12"}, {names::kWeatherHumidity, "0"}},
       {kName + " reads no pressure (WEATHER_PRESSURE or WEATHER_BAROMETER): using pressure from "
                "the mount's elevation"},
       12,
       std::nullopt,
       0},
      {kGood, {}, 3, 800, 0.4},
  };
  for (const Row& row : rows) {
    Station station(row.elements);
    station.weather.Open();
    ExpectAir(station.weather.ReadAir(), row.temperature, row.pressure, row.humidity);
    ExpectAir(station.weather.ReadAir(), row.temperature, row.pressure, row.humidity);
    EXPECT_EQ(station.notices, row.said);
  }
}

TEST(IndiWeather, ADeviceWithoutReadingsEndsTheStart) {
  FakeServer server(ConnectionDefinition(kWeather, true));
  IndiOptions options = FakeOptions(server);
  options.weather = kWeather;
  IndiWeather weather(options, std::make_shared<program::VirtualClock>(0), {});
  try {
    weather.Open();
    FAIL() << "opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kPropertyMissing);
    EXPECT_EQ(e.description(),
              "INDI property WEATHER_PARAMETERS missing on device \"Fake Weather\"");
  }
}

}  // namespace
}  // namespace orvan::indi
