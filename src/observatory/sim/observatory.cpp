#include "observatory/sim/observatory.h"

namespace orvan::sim {
namespace {

Mount StartMount(const ObservatoryConfig& c, PointingModel truth, double now) {
  const double lst = LocalSiderealTime(c.site, now);
  const HaDec axes = SkyToMechanical(truth, c.site, {lst - c.start.ra, c.start.dec});
  return Mount(c.mount, now, Wrap24(lst - axes.ha), axes.dec);
}

}  // namespace

Observatory::Observatory(const ObservatoryConfig& config, std::shared_ptr<Clock> clock)
    : guide_rate_ra(config.guide_rate_deg_s),
      guide_rate_dec(config.guide_rate_deg_s),
      config_(config),
      truth_{config.model.terms + config.model_error, config.model.refraction},
      clock_(std::move(clock)),
      mount_(StartMount(config_, truth_, clock_->Now())) {}

double Observatory::LocalSiderealTime() {
  return pointing::LocalSiderealTime(config_.site, clock_->Now());
}

Mount& Observatory::mount() {
  mount_.Advance(clock_->Now());
  return mount_;
}

RaDec Observatory::TrueSky() {
  const Mount& m = mount();
  return TrueSkyAt({m.TrueRa(), m.Dec()});
}

RaDec Observatory::TrueSkyAt(RaDec axes) {
  const double lst = LocalSiderealTime();
  const HaDec sky = MechanicalToSky(truth_, config_.site, {lst - axes.ra, axes.dec});
  return {Wrap24(lst - sky.ha), sky.dec};
}

void Observatory::PulseGuide(GuideDirection direction, double ms) {
  const bool ra = direction == GuideDirection::East || direction == GuideDirection::West;
  mount().PulseGuide(direction, ms, ra ? guide_rate_ra : guide_rate_dec);
  ++pulses_;
}

}  // namespace orvan::sim
