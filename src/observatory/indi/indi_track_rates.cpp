// Model tracking on an INDI mount: custom tracking rates through the
// telescope standard's TELESCOPE_TRACK_MODE (TRACK_CUSTOM) and
// TELESCOPE_TRACK_RATE (TRACK_RATE_RA, TRACK_RATE_DE, arc-seconds per second,
// absolute). Drivers differ; whatever a mount will not take is left to the
// pulses, never a reason to stop holding.

#include <algorithm>
#include <cmath>

#include "observatory/indi/indi_mount.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

const std::string kTrackMode = "TELESCOPE_TRACK_MODE";
const std::string kTrackRate = "TELESCOPE_TRACK_RATE";
const std::string kTrackState = "TELESCOPE_TRACK_STATE";
const std::string kCustom = "TRACK_CUSTOM";
const std::string kRateRa = "TRACK_RATE_RA";
const std::string kRateDec = "TRACK_RATE_DE";
constexpr double kSidereal = kSiderealDegPerSecond * kArcsecPerDegree;

// How far an element lets a rate lie from `centre`; unbounded where it
// declares no range.
double RoomAround(const NumberElement& e, double centre) {
  if (!e.HasRange()) return HUGE_VAL;
  return std::min(e.max - centre, centre - e.min);
}

}  // namespace

double IndiMount::CustomRateLimit() {
  CheckUsable();
  const std::optional<PropertyValues> mode = link_->Find(kTrackMode);
  const std::optional<PropertyValues> rate = link_->Find(kTrackRate);
  if (refused_ || !mode || !rate || !mode->switches.count(kCustom) || !rate->numbers.count(kRateRa))
    return 0;
  double room = RoomAround(rate->Element(kRateRa), kSidereal);
  if (rate->numbers.count(kRateDec) && !dec_refused_)
    room = std::min(room, RoomAround(rate->Element(kRateDec), 0));
  return room > 0 ? room : 0;
}

program::RateAxes IndiMount::SetCustomRates(program::TrackRates rates) {
  CheckUsable();
  if (refused_) return {};
  const PropertyValues rate = link_->Values(kTrackRate);
  const bool with_dec = rate.numbers.count(kRateDec) && !dec_refused_;
  if (!mode_before_) {
    const PropertyValues mode = link_->Values(kTrackMode);
    for (const auto& [name, on] : mode.switches)
      if (on) mode_before_ = name;
    if (!mode_before_ || *mode_before_ == kCustom) mode_before_ = "TRACK_SIDEREAL";
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
  // then the rates.
  if (!link_->Values(kTrackState).Switch("TRACK_ON"))
    link_->SendSwitches(kTrackState, {{"TRACK_ON", true}, {"TRACK_OFF", false}});
  if (!link_->Values(kTrackMode).Switch(kCustom))
    link_->SendSwitches(kTrackMode, {{kCustom, true}});
  // A mount whose declination pulses go the other way on this side of the
  // pier moves its declination rate the other way too.
  const double dec_sign = sense_.Reversed(true, Pier()) ? -1 : 1;
  NumberWrite values = {{kRateRa, rates.ra}};
  if (with_dec) values.push_back({kRateDec, dec_sign * rates.dec});
  link_->SendNumbers(kTrackRate, values);
  return {true, with_dec};
}

void IndiMount::EndCustomRates() {
  if (!mode_before_) return;
  const std::string mode = *mode_before_;
  mode_before_.reset();
  CheckUsable();
  if (link_->Values(kTrackMode).Switch(mode)) return;
  link_->SendSwitches(kTrackMode, {{mode, true}});
}

}  // namespace orvan::indi
