#include "observatory/sim/observatory.h"

#include "pointing/sides.h"

namespace orvan::sim {
namespace {

PointingModel TruthOf(const ObservatoryConfig& c) {
  return {c.true_terms ? *c.true_terms : c.model.terms + c.model_error, c.model.refraction};
}

Site TrueSiteOf(const ObservatoryConfig& c) {
  Site s = c.site;
  s.pressure_hpa += c.true_pressure_offset_hpa;
  s.temperature_c += c.true_temperature_offset_c;
  return s;
}

// A German mount east of the meridian looks through the pole.
bool SideFor(const ObservatoryConfig& c, double hour_angle) {
  return c.mount.german && Wrap12(hour_angle) < 0;
}

// The axes, as the mount reads them, that point at `sky` by `truth`.
RaDec AxesOn(const PointingModel& truth, const Site& site, RaDec sky, bool through_pole,
             double ut) {
  const double lst = pointing::LocalSiderealTime(site, ut);
  const HaDec mechanical = SkyToMechanical(truth, site, {lst - sky.ra, sky.dec}, through_pole);
  const HaDec axes = pointing::InSideFrame(mechanical, through_pole);
  return {Wrap24(lst - axes.ha), axes.dec};
}

Mount StartMount(const ObservatoryConfig& c, const PointingModel& truth, const Site& true_site,
                 double now) {
  const bool through_pole = SideFor(c, pointing::LocalSiderealTime(c.site, now) - c.start.ra);
  const RaDec axes = AxesOn(truth, true_site, c.start, through_pole, now);
  return Mount(c.mount, now, axes.ra, axes.dec, through_pole);
}

}  // namespace

Observatory::Observatory(const ObservatoryConfig& config, std::shared_ptr<Clock> clock)
    : guide_rate_ra(config.guide_rate_deg_s),
      guide_rate_dec(config.guide_rate_deg_s),
      config_(config),
      truth_(TruthOf(config)),
      true_site_(TrueSiteOf(config)),
      clock_(std::move(clock)),
      mount_(StartMount(config_, truth_, true_site_, clock_->Now())) {}

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
  return TrueSkyAt(axes, mount().ThroughPole(), clock_->Now());
}

RaDec Observatory::TrueSkyAt(RaDec axes, bool through_pole, double ut) const {
  const double lst = pointing::LocalSiderealTime(config_.site, ut);
  const HaDec mechanical = pointing::InSideFrame({lst - axes.ra, axes.dec}, through_pole);
  const HaDec sky = MechanicalToSky(truth_, true_site_, mechanical);
  return {Wrap24(lst - sky.ha), sky.dec};
}

RaDec Observatory::AxesFor(RaDec sky, bool through_pole, double ut) const {
  return AxesOn(truth_, true_site_, sky, through_pole, ut);
}

void Observatory::SlewTo(RaDec axes) {
  mount().SlewTo(axes.ra, axes.dec, SideFor(config_, LocalSiderealTime() - axes.ra));
}

void Observatory::PulseGuide(GuideDirection direction, double ms) {
  const bool ra = direction == GuideDirection::East || direction == GuideDirection::West;
  mount().PulseGuide(direction, ms, ra ? guide_rate_ra : guide_rate_dec);
  ++pulses_;
}

}  // namespace orvan::sim
