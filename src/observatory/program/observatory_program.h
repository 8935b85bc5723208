#pragma once

#include <memory>
#include <optional>
#include <string>

#include "observatory/air_used.h"
#include "observatory/automation.h"
#include "observatory/program/clock.h"
#include "observatory/program/mount_driver.h"
#include "pointing/model.h"
#include "support/air.h"

namespace orvan::program {

// What the command line may set for any back end (--model, --pressure,
// --temperature, --humidity); what is left out takes the back end's default.
struct SkyOptions {
  std::optional<double> pressure_hpa = {};  // 0 switches refraction off
  std::optional<double> temperature_c = {};
  std::optional<double> relative_humidity = {};       // 0..1
  std::optional<pointing::PointingTerms> terms = {};  // as LoadPointingModel reads them
};

inline constexpr double kDefaultRelativeHumidity = 0.5;

// Air pressure (hPa) at a height above sea level, for a site whose pressure
// nobody gave: the estimate ERFA's documentation suggests for eraApco13,
// 1013.25 exp(-h / (29.3 T)), with T the air temperature in kelvin.
double PressureAtElevation(double elevation_m, double temperature_c);

struct ProgramConfig {
  pointing::PointingModel model;
  // The air at the telescope; no pressure: estimated from the mount's
  // elevation.
  std::optional<double> pressure_hpa;
  double temperature_c = kDefaultTemperatureC;
  double relative_humidity = kDefaultRelativeHumidity;
};

// Options merged into a configuration: given values win.
ProgramConfig WithOptions(ProgramConfig config, const SkyOptions& options);

// The configuration's air as the program tells it: "10 °C", "840 hPa" or
// "pressure from the mount's elevation", "50 % humidity".
std::string TemperatureText(const ProgramConfig& config);
std::string PressureText(const ProgramConfig& config);
std::string HumidityText(const ProgramConfig& config);
// All three: "10 °C, pressure from the mount's elevation, 50 % humidity".
std::string AirText(const ProgramConfig& config);

// The air as a weather station last read it, for what it reads; the rest is
// the configuration's (given on the command line, or the defaults).
struct AirReading {
  std::optional<double> temperature_c;
  std::optional<double> pressure_hpa;
  std::optional<double> relative_humidity;  // 0..1
};

// Where the program reads the air tonight, each time it maps, on the
// user-interface thread. It never raises: a station in trouble says so
// itself and answers with its last good reading.
class AirSource {
 public:
  virtual ~AirSource() = default;
  virtual AirReading ReadAir() noexcept = 0;
};

// The part of the observatory program that ACP's objects answer from, over
// any mount: it reports where the mount points on the sky through the
// inverse of its pointing model, and maps the sky to the mount's axes with
// the model itself.
class ObservatoryProgram final : public AirUsedSource {
 public:
  ObservatoryProgram(std::shared_ptr<MountDriver> mount, std::shared_ptr<Clock> clock,
                     ProgramConfig config);

  MountDriver& mount() { return *mount_; }
  const ProgramConfig& config() const { return config_; }
  const std::shared_ptr<Clock>& clock() const { return clock_; }
  // From now on the air is read from `source` where it reads it.
  void ReadAirFrom(std::shared_ptr<AirSource> source) { air_source_ = std::move(source); }

  // The mount's place on the Earth with the air around it: the air read,
  // where a source reads it, else the configuration's.
  pointing::Site CurrentSite();
  // The air of the last CurrentSite.
  std::optional<AirUsed> LastAirUsed() noexcept override { return last_air_; }
  double LocalSiderealTime();

  // Where the mount points on the sky, by the model.
  RaDec Reported();
  // Where the mount must point, by the model, to be on `sky` now, or at
  // `time` (seconds since J2000.0, as the clock counts): for a place
  // Reported gave then, the mount's own reading then.
  RaDec MapIdealToRaw(RaDec sky, std::optional<double> time = std::nullopt);
  void SlewTo(RaDec sky);
  // The rates at which the mount must track `ahead` seconds from now to stay
  // on `sky` by the model: how fast the mapped position's hour angle grows,
  // and how fast its declination moves, in arc-seconds per second. Rates
  // held for an interval hold best taken at its middle.
  TrackRates ModelRates(RaDec sky, double ahead = 0);

 private:
  RaDec MapAt(RaDec sky, const pointing::Site& site, double lst);

  std::shared_ptr<MountDriver> mount_;
  std::shared_ptr<Clock> clock_;
  ProgramConfig config_;
  std::shared_ptr<AirSource> air_source_;
  std::optional<AirUsed> last_air_;
};

// ACP's telescope and utility objects ("ACP.Telescope", "ACP.Util") over the
// program; both objects share it.
std::unique_ptr<AutomationFactory> MakeAcpFactory(std::shared_ptr<ObservatoryProgram> program);

}  // namespace orvan::program
