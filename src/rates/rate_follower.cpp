#include "rates/rate_follower.h"

#include <algorithm>
#include <cmath>

#include "support/numtext.h"

namespace orvan::program {
namespace {

double Clamp(double v, double limit) {
  return std::clamp(v, -limit, limit);
}

// The rates are clamped alike on both axes: to the tighter of the mount's
// limits on the axes it takes custom rates on.
double MountLimit(const MountCapabilities& capabilities) {
  double limit = capabilities.ra_rate_limit;
  if (capabilities.custom_rates.dec) limit = std::min(limit, capabilities.dec_rate_limit);
  return limit;
}

}  // namespace

RateFollower::RateFollower(std::shared_ptr<ObservatoryProgram> program, Notice notice)
    : program_(std::move(program)), notice_(std::move(notice)) {}

RateFollower::~RateFollower() {
  // A mount must never be left at a custom rate; a mount that is gone by
  // now has nothing left to restore.
  try {
    Pause();
  } catch (...) {
  }
}

void RateFollower::Say(bool& said, const std::string& text) {
  if (said) return;
  said = true;
  if (notice_) notice_(text);
}

TrackRates RateFollower::Limited(TrackRates model, double mount_limit) {
  const double limit = std::min(kCap, mount_limit);
  const TrackRates limited{
      kSiderealArcsecPerSecond + Clamp(model.ra - kSiderealArcsecPerSecond, limit),
      Clamp(model.dec, limit)};
  if (limited.ra != model.ra || limited.dec != model.dec)
    Say(said_clamped_, "model rates beyond " + ShortestText(limit) +
                           "\"/s from sidereal clamped; pulses take out the rest");
  return limited;
}

void RateFollower::Follow(const tracking::AxisPair& target, double period,
                          const tracking::AxisPair& motion) {
  MountDriver& mount = program_->mount();
  const MountCapabilities capabilities = mount.Capabilities();
  const double mount_limit = MountLimit(capabilities);
  if (!capabilities.custom_rates.ra || !(mount_limit > 0)) {
    Say(said_ra_, "the mount has no custom tracking rates; both axes left to pulses");
    said_dec_ = true;
    return;
  }
  TrackRates model = program_->ModelRates({target.ra, target.dec}, period / 2);
  // A target moving east in right ascension is a slower growth of its hour angle.
  model.ra -= motion.ra;
  model.dec += motion.dec;
  const TrackRates rates = Limited(model, mount_limit);
  if (!(std::isfinite(rates.ra) && std::isfinite(rates.dec))) return Pause();
  const RateAxes taken = mount.SetCustomRates(rates);
  following_ = taken.ra || taken.dec;
  if (!taken.ra) Say(said_ra_, "right ascension left to pulses: the mount did not take its rate");
  if (!taken.dec) Say(said_dec_, "declination left to pulses: the mount did not take its rate");
}

void RateFollower::Pause() {
  if (!following_) return;
  following_ = false;
  program_->mount().EndCustomRates();
}

void RateFollower::Failed(const Error& error) {
  Say(said_failed_, "model tracking failed, pulses hold on: " + error.description() + " (" +
                        HexNumber(error.number()) + ")");
}

void RateFollower::GaveUp(int recaptures) {
  Say(said_gave_up_, "model tracking stopped: the mount was re-captured " +
                         std::to_string(recaptures) +
                         " times while it tracked at the model's rates; pulses hold alone");
}

}  // namespace orvan::program
