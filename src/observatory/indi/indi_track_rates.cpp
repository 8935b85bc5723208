// Model tracking on an INDI mount: custom tracking rates through the
// telescope standard's TELESCOPE_TRACK_MODE (TRACK_CUSTOM) and
// TELESCOPE_TRACK_RATE (TRACK_RATE_RA, TRACK_RATE_DE, arc-seconds per second,
// absolute). Drivers differ; whatever a mount will not take is left to the
// pulses, never a reason to stop holding.

#include <algorithm>
#include <cmath>

#include "observatory/indi/indi_mount.h"
#include "observatory/indi/indi_names.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

using namespace names;

// How far an element lets a rate lie from `centre`; unbounded where it
// declares no range.
double RoomAround(const NumberElement& e, double centre) {
  if (!e.HasRange()) return HUGE_VAL;
  return std::min(e.max - centre, centre - e.min);
}

// A rate read back within this of the one sent (arc-seconds per second) was
// kept: a thousandth of an arc-second a second, under a tenth of the
// smallest threshold over a cycle.
constexpr double kRateKeptArcsecPerSecond = 1e-3;

}  // namespace

// An axis the mount refused earlier is no longer offered.
void IndiMount::AddCustomRates(program::MountCapabilities& capabilities) {
  const std::optional<PropertyValues> mode = link_->Find(kTelescopeTrackMode);
  const std::optional<PropertyValues> rate = link_->Find(kTelescopeTrackRate);
  if (refused_ || !mode || !rate || !mode->switches.count(kTrackCustom) ||
      !rate->numbers.count(kTrackRateRa))
    return;
  capabilities.custom_rates.ra = true;
  capabilities.ra_rate_limit =
      std::max(0.0, RoomAround(rate->Element(kTrackRateRa), kSiderealArcsecPerSecond));
  if (!rate->numbers.count(kTrackRateDe) || dec_refused_) return;
  capabilities.custom_rates.dec = true;
  capabilities.dec_rate_limit = std::max(0.0, RoomAround(rate->Element(kTrackRateDe), 0));
}

program::RateAxes IndiMount::SetCustomRates(program::TrackRates rates) {
  CheckUsable();
  if (refused_) return {};
  const PropertyValues rate = link_->Values(kTelescopeTrackRate);
  const bool with_dec = rate.numbers.count(kTrackRateDe) && !dec_refused_;
  if (!mode_before_) {
    const PropertyValues mode = link_->Values(kTelescopeTrackMode);
    for (const auto& [name, on] : mode.switches)
      if (on) mode_before_ = name;
    if (!mode_before_ || *mode_before_ == kTrackCustom) mode_before_ = kTrackSidereal;
  }
  try {
    return SendRates(rates, with_dec);
  } catch (const Error& e) {
    if (e.number() != errors::kRefused) throw;
  }
  // Some mounts take right ascension alone, or refuse a declination rate
  // whose sign changes while they track: declination goes to the pulses.
  if (with_dec) {
    dec_refused_ = true;
    try {
      return SendRates(rates, false);
    } catch (const Error& e) {
      if (e.number() != errors::kRefused) throw;
    }
  }
  refused_ = true;
  EndCustomRates();
  return {};
}

program::RateAxes IndiMount::SendRates(program::TrackRates rates, bool with_dec) {
  // Drivers take a mode only while tracking: tracking first, then the mode,
  // then the rates. A mount without a tracking switch is taken as tracking.
  const std::optional<PropertyValues> state = link_->Find(kTelescopeTrackState);
  if (state && !state->Switch(kTrackOn))
    link_->SendSwitches(kTelescopeTrackState, {{kTrackOn, true}, {kTrackOff, false}});
  if (!link_->Values(kTelescopeTrackMode).Switch(kTrackCustom))
    link_->SendSwitches(kTelescopeTrackMode, {{kTrackCustom, true}});
  // A mount whose declination pulses go the other way on this side of the
  // pier moves its declination rate the other way too.
  const double dec_sign = sense_.Reversed(true, Pier()) ? -1 : 1;
  NumberWrite values = {{kTrackRateRa, rates.ra}};
  if (with_dec) values.push_back({kTrackRateDe, dec_sign * rates.dec});
  link_->SendNumbers(kTelescopeTrackRate, values);
  // A driver may answer Ok and keep other rates (its limits, its rounding
  // beyond use): read back, a rate it did not keep is one it refused.
  const PropertyValues kept = link_->Values(kTelescopeTrackRate);
  for (const auto& [element, sent] : values) {
    if (!(std::abs(kept.Number(element) - sent) <= kRateKeptArcsecPerSecond))
      throw Error(errors::kRefused, kept.Where(element) + " reads " +
                                        NumberText(kept.Number(element)) + " after " +
                                        NumberText(sent) + " was sent");
  }
  return {true, with_dec};
}

void IndiMount::EndCustomRates() {
  if (!mode_before_) return;
  const std::string mode = *mode_before_;
  mode_before_.reset();
  CheckUsable();
  if (link_->Values(kTelescopeTrackMode).Switch(mode)) return;
  link_->SendSwitches(kTelescopeTrackMode, {{mode, true}});
}

}  // namespace orvan::indi
