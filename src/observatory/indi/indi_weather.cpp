#include "observatory/indi/indi_weather.h"

#include <vector>

#include "observatory/indi/indi_names.h"
#include "support/air.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

using namespace names;

constexpr Range AsRange(Bounds b) {
  return {b.lo, b.hi};
}

// The first of the elements that the property has, if any.
std::optional<std::string> FirstOf(const PropertyValues& p, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (p.numbers.count(name)) return name;
  return std::nullopt;
}

const std::vector<std::string> kPressureElements = {kWeatherPressure, kWeatherBarometer};

}  // namespace

IndiWeather::IndiWeather(const IndiOptions& options, std::shared_ptr<program::Clock> clock,
                         program::ProgramConfig fixed)
    : link_([&options] {
        IndiOptions weather = options;
        weather.device = options.weather.value_or("");
        weather.syncs = nullptr;  // a weather station makes no syncs
        return std::make_unique<IndiLink>(weather);
      }()),
      clock_(std::move(clock)),
      fixed_(fixed),
      stale_limit_s_(static_cast<double>(options.weather_stale_limit.count())),
      notice_(options.air_notice) {}

void IndiWeather::Open() {
  if (opened_) return;
  // A connected driver defines its readings.
  link_->OpenDevice({kWeatherParameters});
  opened_ = true;
  SayMissing(link_->Values(kWeatherParameters));
}

std::string IndiWeather::Name() const {
  return "INDI weather device \"" + link_->device() + "\"";
}

void IndiWeather::SayMissing(const PropertyValues& parameters) const {
  if (!notice_) return;
  if (!parameters.numbers.count(kWeatherTemperature))
    notice_(Name() + " reads no temperature (" + kWeatherTemperature + "): using " +
            program::TemperatureText(fixed_));
  if (!FirstOf(parameters, kPressureElements))
    notice_(Name() + " reads no pressure (" + kWeatherPressure + " or " + kWeatherBarometer +
            "): using " + program::PressureText(fixed_));
  if (!parameters.numbers.count(kWeatherHumidity))
    notice_(Name() + " reads no humidity (" + kWeatherHumidity + "): using " +
            program::HumidityText(fixed_));
}

program::AirReading IndiWeather::ReadAir() noexcept {
  if (!opened_) return good_;
  try {
    Take(link_->Values(kWeatherParameters));
  } catch (const Error& e) {
    Trouble(e.description());
  } catch (...) {
    // Out of memory for a message: the air stays as it was.
  }
  return good_;
}

// A reading is new when the property has been updated since the last read;
// its age counts from then, by the program's clock.
void IndiWeather::Take(const PropertyValues& parameters) {
  const double now = clock_->Now();
  if (seen_updates_ && *seen_updates_ == parameters.updates) {
    if (now - seen_at_ > stale_limit_s_)
      Trouble(Name() + " " + kWeatherParameters + " not updated for " + NumberText(stale_limit_s_) +
              " s");
    return;
  }
  seen_updates_ = parameters.updates;
  seen_at_ = now;
  good_ = Judge(parameters);
  if (trouble_.empty()) return;
  trouble_.clear();
  if (notice_) notice_(Name() + " reads again: " + KeptAir());
}

// The reading, whole, or a raise naming what is wrong with it (kBadReading).
program::AirReading IndiWeather::Judge(const PropertyValues& parameters) {
  CheckNotAlert(parameters);
  program::AirReading r;
  if (parameters.numbers.count(kWeatherTemperature))
    r.temperature_c =
        Checked(parameters, kWeatherTemperature, AsRange(kMeasuredTemperatureBoundsC));
  if (const auto pressure = FirstOf(parameters, kPressureElements))
    r.pressure_hpa = Checked(parameters, *pressure, AsRange(kMeasuredPressureBoundsHpa));
  if (parameters.numbers.count(kWeatherHumidity))
    r.relative_humidity =
        Checked(parameters, kWeatherHumidity, AsRange(kHumidityBoundsPercent)) / kPercent;
  return r;
}

void IndiWeather::Trouble(const std::string& what) {
  if (what == trouble_) return;
  trouble_ = what;
  if (notice_) notice_(what + "; keeping the air as it was: " + KeptAir());
}

// The air the program maps with now: the last good reading, the rest fixed.
std::string IndiWeather::KeptAir() const {
  program::SkyOptions read;
  read.temperature_c = good_.temperature_c;
  read.pressure_hpa = good_.pressure_hpa;
  read.relative_humidity = good_.relative_humidity;
  return program::AirText(program::WithOptions(fixed_, read));
}

}  // namespace orvan::indi
