#include "observatory/sim/mount.h"

#include <algorithm>
#include <cmath>

#include "support/error.h"

namespace orvan::sim {

namespace {

// Sidereal rate in hours of right ascension per second.
constexpr double kSiderealHoursPerSecond = kSiderealRatio / kSecondsPerHour;

double Toward(double from, double to, double step) {
  return std::abs(to - from) <= step ? to : from + std::copysign(step, to - from);
}

}  // namespace

Mount::Mount(const MountConfig& config, double now, double ra_hours, double dec_deg,
             bool through_pole)
    : config_(config), now_(now), ra_(ra_hours), dec_(dec_deg), through_pole_(through_pole) {}

double Mount::TrueRa() const {
  if (config_.periodic_error_arcsec == 0) return ra_;
  const double phase = 2 * kPi * worm_time_ / config_.worm_period_s;
  return ra_ + config_.periodic_error_arcsec * std::sin(phase) / kArcsecPerHour;
}

void Mount::Advance(double now) {
  const double dt = now - now_;
  if (!(dt > 0)) return;
  // Tracking holds mechanical right ascension but for the rate error; an
  // idle axis stands still while the sky turns. At custom rates mechanical
  // right ascension moves by what the hour angle lags sidereal.
  if (tracking_ && custom_) {
    const double ha_rate = custom_ha_rate_ * (1 + config_.rate_error);
    ra_ += (kSiderealDegPerSecond * kArcsecPerDegree - ha_rate) / kArcsecPerHour * dt;
    dec_ += custom_dec_rate_ / kArcsecPerDegree * dt;
  } else {
    ra_ += (tracking_ ? -config_.rate_error : 1.0) * kSiderealHoursPerSecond * dt;
  }
  if (tracking_) worm_time_ += dt;
  ra_ += ra_pulse_.rate * std::max(0.0, std::min(now, ra_pulse_.end) - now_);
  dec_ += dec_pulse_.rate * std::max(0.0, std::min(now, dec_pulse_.end) - now_);
  if (slew_active_) {
    const double step = config_.slew_rate_deg_s * dt;
    const double ra_deg = kDegreesPerHour * Wrap12(slew_ra_ - ra_);
    const double dec_deg = slew_dec_ - dec_;
    const double left = std::max(std::abs(ra_deg), std::abs(dec_deg)) / config_.slew_rate_deg_s;
    ra_ += Toward(0.0, ra_deg, step) / kDegreesPerHour;
    dec_ = Toward(dec_, slew_dec_, step);
    if (left <= dt) {
      ra_ = slew_ra_;
      dec_ = slew_dec_;
      through_pole_ = slew_through_pole_;
      slew_active_ = false;
      settle_until_ = now_ + left + config_.settle_s;
    }
  }
  now_ = now;
}

void Mount::SetCustomRates(double ha_rate, double dec_rate) {
  const double limit = config_.custom_rate_limit_arcsec_s;
  const double sidereal = kSiderealDegPerSecond * kArcsecPerDegree;
  if (!(std::abs(ha_rate - sidereal) <= limit && std::abs(dec_rate) <= limit))
    throw errors::ErrorOf(errors::kInvalidValue);
  custom_ = true;
  custom_ha_rate_ = ha_rate;
  custom_dec_rate_ = dec_rate;
}

void Mount::SlewTo(double ra_hours, double dec_deg, bool through_pole) {
  slew_active_ = true;
  slew_ra_ = ra_hours;
  slew_dec_ = dec_deg;
  slew_through_pole_ = through_pole;
  ra_pulse_ = dec_pulse_ = Pulse{};
}

void Mount::PulseGuide(GuideDirection direction, double ms, double rate_deg_s) {
  const double end = now_ + ms / 1000.0;
  switch (direction) {
    case GuideDirection::East:
    case GuideDirection::West:
      ra_pulse_ = {end,
                   (direction == GuideDirection::East ? 1 : -1) * rate_deg_s / kDegreesPerHour};
      break;
    case GuideDirection::North:
    case GuideDirection::South:
      dec_pulse_ = {end, (direction == GuideDirection::North ? 1 : -1) * rate_deg_s};
      break;
  }
}

}  // namespace orvan::sim
