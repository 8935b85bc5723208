#include "observatory/indi/indi_observatory.h"

#include "observatory/indi/indi_mount.h"
#include "observatory/indi/indi_weather.h"
#include "observatory/program/clock.h"

namespace orvan::indi {
namespace {

// Connects on the first object asked for, so that start-up reports a server
// or device that is not there: the mount's, then the weather's where given.
class IndiFactory final : public AutomationFactory {
 public:
  IndiFactory(std::shared_ptr<IndiMount> mount, std::shared_ptr<IndiWeather> weather,
              std::unique_ptr<AutomationFactory> objects)
      : mount_(std::move(mount)), weather_(std::move(weather)), objects_(std::move(objects)) {}

  std::shared_ptr<AutomationObject> Create(std::string_view prog_id) override {
    std::shared_ptr<AutomationObject> object = objects_->Create(prog_id);
    mount_->Open();
    if (weather_) weather_->Open();
    return object;
  }

 private:
  std::shared_ptr<IndiMount> mount_;
  std::shared_ptr<IndiWeather> weather_;
  std::unique_ptr<AutomationFactory> objects_;
};

}  // namespace

std::unique_ptr<AutomationFactory> MakeIndiObservatory(
    const IndiOptions& options, std::shared_ptr<program::ObservatoryProgram>* made,
    std::shared_ptr<PierSideSource>* side, std::shared_ptr<PositionNews>* news) {
  auto mount = std::make_shared<IndiMount>(options);
  if (side) *side = mount;
  if (news) *news = mount;
  program::ProgramConfig config;  // refraction on, no terms, air from the defaults
  config = program::WithOptions(config, options.sky);
  auto clock = std::make_shared<program::SystemClock>();
  auto program = std::make_shared<program::ObservatoryProgram>(mount, clock, config);
  std::shared_ptr<IndiWeather> weather;
  if (options.weather) {
    weather = std::make_shared<IndiWeather>(options, clock, config);
    program->ReadAirFrom(weather);
  }
  if (made) *made = program;
  return std::make_unique<IndiFactory>(std::move(mount), std::move(weather),
                                       program::MakeAcpFactory(std::move(program)));
}

}  // namespace orvan::indi
