#include "observatory/program/observatory_program.h"

#include <cmath>

#include "pointing/sides.h"
#include "support/numtext.h"

namespace orvan::program {

using pointing::HaDec;
using pointing::Site;

double PressureAtElevation(double elevation_m, double temperature_c) {
  return 1013.25 * std::exp(-elevation_m / (29.3 * (273.15 + temperature_c)));
}

ProgramConfig WithOptions(ProgramConfig config, const SkyOptions& options) {
  if (options.pressure_hpa) config.pressure_hpa = *options.pressure_hpa;
  if (options.temperature_c) config.temperature_c = *options.temperature_c;
  if (options.relative_humidity) config.relative_humidity = *options.relative_humidity;
  if (options.terms) config.model.terms = *options.terms;
  return config;
}

ObservatoryProgram::ObservatoryProgram(std::shared_ptr<MountDriver> mount,
                                       std::shared_ptr<Clock> clock, ProgramConfig config)
    : mount_(std::move(mount)), clock_(std::move(clock)), config_(config) {}

std::string TemperatureText(const ProgramConfig& config) {
  return ShortestText(config.temperature_c) + " °C";
}

std::string PressureText(const ProgramConfig& config) {
  return config.pressure_hpa ? ShortestText(*config.pressure_hpa) + " hPa"
                             : "pressure from the mount's elevation";
}

std::string HumidityText(const ProgramConfig& config) {
  return ShortestText(HumidityPercent(config.relative_humidity)) + " % humidity";
}

std::string AirText(const ProgramConfig& config) {
  return TemperatureText(config) + ", " + PressureText(config) + ", " + HumidityText(config);
}

Site ObservatoryProgram::CurrentSite() {
  const Location at = mount_->Site();
  const AirReading read = air_source_ ? air_source_->ReadAir() : AirReading{};
  const double temperature = read.temperature_c.value_or(config_.temperature_c);
  const std::optional<double> given = read.pressure_hpa ? read.pressure_hpa : config_.pressure_hpa;
  const double pressure = given ? *given : PressureAtElevation(at.elevation_m, temperature);
  const double humidity = read.relative_humidity.value_or(config_.relative_humidity);
  last_air_ = AirUsed{temperature, pressure, HumidityPercent(humidity)};
  return {at.latitude_deg, at.longitude_deg, pressure, temperature, humidity};
}

double ObservatoryProgram::LocalSiderealTime() {
  return pointing::LocalSiderealTime(CurrentSite(), clock_->Now());
}

// A mount on the side through the pole reads its axes as a position on the
// sky; mechanically they stand 12 h on and past the pole, where the model's
// terms are evaluated (pointing/sides.h).
RaDec ObservatoryProgram::Reported() {
  const RaDec axes = mount_->Axes();
  const bool through_pole = mount_->ThroughPole();
  const Site site = CurrentSite();
  const double lst = pointing::LocalSiderealTime(site, clock_->Now());
  const HaDec mechanical = pointing::InSideFrame({lst - axes.ra, axes.dec}, through_pole);
  const HaDec sky = pointing::MechanicalToSky(config_.model, site, mechanical);
  return {Wrap24(lst - sky.ha), sky.dec};
}

RaDec ObservatoryProgram::MapIdealToRaw(RaDec sky, std::optional<double> time) {
  const Site site = CurrentSite();
  return MapAt(sky, site, pointing::LocalSiderealTime(site, time.value_or(clock_->Now())));
}

// On the mount's present side: a slew that takes it to the other side is
// mapped for this one, and the program holds where the mount then reports.
RaDec ObservatoryProgram::MapAt(RaDec sky, const Site& site, double lst) {
  const bool through_pole = mount_->ThroughPole();
  const HaDec mechanical =
      pointing::SkyToMechanical(config_.model, site, {lst - sky.ra, sky.dec}, through_pole);
  const HaDec axes = pointing::InSideFrame(mechanical, through_pole);
  return {Wrap24(lst - axes.ha), axes.dec};
}

TrackRates ObservatoryProgram::ModelRates(RaDec sky, double ahead) {
  // A central difference over a minute: the mapped motion changes over
  // hours, so its second-order part is far below what a mount can track,
  // while a minute's motion stands well above the arithmetic's rounding.
  constexpr double kHalfStep = 30;  // seconds
  // Sidereal time a step either side, by its rate: over a minute it departs
  // from a straight line by far less than the program can see.
  const Site site = CurrentSite();
  const double lst = pointing::LocalSiderealTime(site, clock_->Now() + ahead);
  const double step = kHalfStep * kSiderealRatio / kSecondsPerHour;
  const RaDec before = MapAt(sky, site, lst - step), after = MapAt(sky, site, lst + step);
  const double ra_motion = Wrap12(after.ra - before.ra) * kArcsecPerHour / (2 * kHalfStep);
  const double dec_motion = (after.dec - before.dec) * kArcsecPerDegree / (2 * kHalfStep);
  // The hour angle of a fixed mechanical right ascension grows at sidereal;
  // where the mapped right ascension moves, the hour angle lags it.
  return {kSiderealArcsecPerSecond - ra_motion, dec_motion};
}

void ObservatoryProgram::SlewTo(RaDec sky) {
  mount_->SlewTo(MapIdealToRaw(sky));
}

}  // namespace orvan::program
