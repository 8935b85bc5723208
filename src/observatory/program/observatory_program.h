#pragma once

#include <memory>
#include <optional>

#include "observatory/automation.h"
#include "observatory/program/clock.h"
#include "observatory/program/mount_driver.h"
#include "pointing/model.h"
#include "support/air.h"

namespace orvan::program {

// What the command line may set for any back end (--model, --pressure,
// --temperature); what is left out takes the back end's default.
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

// The part of the observatory program that ACP's objects answer from, over
// any mount: it reports where the mount points on the sky through the
// inverse of its pointing model, and maps the sky to the mount's axes with
// the model itself.
class ObservatoryProgram {
 public:
  ObservatoryProgram(std::shared_ptr<MountDriver> mount, std::shared_ptr<Clock> clock,
                     ProgramConfig config);

  MountDriver& mount() { return *mount_; }
  const ProgramConfig& config() const { return config_; }

  // The mount's place on the Earth with the air around it.
  pointing::Site CurrentSite();
  double LocalSiderealTime();

  // Where the mount points on the sky, by the model.
  RaDec Reported();
  // Where the mount must point, by the model, to be on `sky` now.
  RaDec MapIdealToRaw(RaDec sky);
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
};

// ACP's telescope and utility objects ("ACP.Telescope", "ACP.Util") over the
// program; both objects share it.
std::unique_ptr<AutomationFactory> MakeAcpFactory(std::shared_ptr<ObservatoryProgram> program);

}  // namespace orvan::program
