// The air the observatory program maps with: the configuration's, or what a
// source reads where it reads it, and the air it last used.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "observatory/sim/observatory.h"
#include "observatory/sim/simulated_observatory.h"

namespace orvan::program {
namespace {

constexpr double kStart = 8.5e8;   // seconds since J2000.0, in 2026
constexpr double kElevationM = 0;  // where the simulated mount stands

struct Reads final : AirSource {
  AirReading reading;
  AirReading ReadAir() noexcept override { return reading; }
};

std::shared_ptr<ObservatoryProgram> Program(std::optional<double> pressure_hpa) {
  sim::ObservatoryConfig c;
  c.site = {40, -105, 0, 10, 0.5};
  auto observatory = std::make_shared<sim::Observatory>(c, std::make_shared<VirtualClock>(kStart));
  const ProgramConfig config{c.model, pressure_hpa, 8, 0.3};
  return std::make_shared<ObservatoryProgram>(sim::MakeSimulatedMount(observatory),
                                              observatory->clock(), config);
}

TEST(ProgramAir, WhatASourceReadsWinsAndTheRestIsTheConfigurations) {
  struct Row {
    std::optional<double> configured_pressure;
    std::optional<AirReading> read;  // none: no source
    double temperature, pressure, humidity_percent;
  };
  const double estimated_at_8 = PressureAtElevation(kElevationM, 8);
  const double estimated_at_3 = PressureAtElevation(kElevationM, 3);
  const Row rows[] = {
      {std::nullopt, std::nullopt, 8, estimated_at_8, 30},
      {840, std::nullopt, 8, 840, 30},
      {std::nullopt, AirReading{}, 8, estimated_at_8, 30},
      // The pressure is estimated at the temperature read.
      {std::nullopt, AirReading{3, std::nullopt, std::nullopt}, 3, estimated_at_3, 30},
      {840, AirReading{3, std::nullopt, 0.29}, 3, 840, 29},
      {840, AirReading{std::nullopt, 790.5, std::nullopt}, 8, 790.5, 30},
  };
  for (const Row& row : rows) {
    auto program = Program(row.configured_pressure);
    EXPECT_FALSE(program->LastAirUsed());
    auto source = std::make_shared<Reads>();
    if (row.read) {
      source->reading = *row.read;
      program->ReadAirFrom(source);
    }
    const pointing::Site site = program->CurrentSite();
    EXPECT_EQ(site.temperature_c, row.temperature);
    EXPECT_EQ(site.pressure_hpa, row.pressure);
    EXPECT_DOUBLE_EQ(site.relative_humidity * 100, row.humidity_percent);
    const std::optional<AirUsed> used = program->LastAirUsed();
    ASSERT_TRUE(used);
    EXPECT_EQ(used->temperature_c, row.temperature);
    EXPECT_EQ(used->pressure_hpa, row.pressure);
    EXPECT_EQ(used->humidity_percent, row.humidity_percent);
  }
}

TEST(ProgramAir, TheAirAsTheProgramTellsIt) {
  ProgramConfig config;
  EXPECT_EQ(AirText(config), "10 °C, pressure from the mount's elevation, 50 % humidity");
  config.pressure_hpa = 812.5;
  config.temperature_c = -3.5;
  config.relative_humidity = 0.29;
  EXPECT_EQ(AirText(config), "-3.5 °C, 812.5 hPa, 29 % humidity");
  config.pressure_hpa = 0;
  EXPECT_EQ(PressureText(config), "0 hPa");
}

}  // namespace
}  // namespace orvan::program
