#include "observatory/indi/indi_mount.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "observatory/indi/indi_names.h"
#include "support/error.h"
#include "support/units.h"

namespace orvan::indi {
namespace {

using namespace names;

// What holding needs: a device without all of them is no use to the
// program. Everything else it reads is optional (mount_shape.h).
const std::vector<std::string> kRequired = {kEquatorialEodCoord, kTelescopeTimedGuideNs,
                                            kTelescopeTimedGuideWe, kGeographicCoord};

// What a reading must be for the program to act on it. INDI counts
// longitude 0..360 east; some drivers use -180..180.
constexpr Range kRaRange{0, 24, true};
constexpr Range kDecRange{-90, 90};
constexpr Range kLatitudeRange{-90, 90};
constexpr Range kLongitudeRange{-180, 360};
constexpr Range kElevationRange{-500,
                                10000};  // metres: the Dead Sea shore to above any observatory
constexpr double kFullTurn = 360;

// The longest pulse sent to a timed-guide element that declares no range:
// the longest INDI's own guider interface declares.
constexpr double kLongestPulseWithoutRangeMs = 60000;

}  // namespace

IndiMount::IndiMount(const IndiOptions& options)
    : link_(std::make_unique<IndiLink>(options)),
      device_(options.device),
      notice_(options.notice),
      assumed_rate_(options.guide_rate.value_or(DefaultGuideRate / kSiderealDegPerSecond)),
      rate_given_(options.guide_rate.has_value()),
      sense_(options.device, options.notice, options.reverse_on_pier_west) {}

void IndiMount::Open() {
  if (ready_) return;
  link_->OpenDevice(kRequired, [this] {
    // The optional properties come in the same burst of definitions.
    link_->AwaitQuiet();
    WatchRequired();
  });
  ready_ = true;
  SayLacks();
}

void IndiMount::SayLacks() {
  if (!notice_) return;
  for (const std::string& line :
       LackNotices(device_, link_->Find(kGuideRate), link_->Find(kTelescopeTrackState).has_value(),
                   link_->Find(kTelescopePierSide).has_value(), assumed_rate_, rate_given_))
    notice_({line});
  notice_({ReportStepNotice(device_)});
}

void IndiMount::ConnectDevice() {
  link_->Unwatch();
  link_->ConnectDevice(kRequired);
  WatchRequired();
}

void IndiMount::WatchRequired() {
  std::vector<std::string> watched = kRequired;
  watched.emplace_back(kConnection);
  link_->Watch(watched);
}

void IndiMount::CheckUsable() {
  const PropertyValues connection = link_->Values(kConnection);
  if (connection.Switch(kDisconnect))
    throw Error(errors::kBadReading,
                connection.Where(kDisconnect) + " = On: the device is disconnected");
  CheckNotAlert(connection);
}

bool IndiMount::Connected() {
  return link_->Values(kConnection).Switch(kConnect);
}

void IndiMount::SetConnected(bool on) {
  if (on) {
    ConnectDevice();
  } else if (Connected()) {
    link_->Unwatch();
    link_->SendSwitches(kConnection, {{kConnect, false}, {kDisconnect, true}});
  }
}

program::Location IndiMount::Site() {
  CheckUsable();
  const PropertyValues site = link_->Values(kGeographicCoord);
  double longitude = Checked(site, kLong, kLongitudeRange);
  if (longitude > kHalfTurnDeg) longitude -= kFullTurn;
  return {Checked(site, kLat, kLatitudeRange), longitude, Checked(site, kElev, kElevationRange)};
}

program::RaDec IndiMount::Axes() {
  CheckUsable();
  const PropertyValues position = link_->Values(kEquatorialEodCoord);
  CheckNotAlert(position);
  const program::RaDec axes{Checked(position, kRa, kRaRange), Checked(position, kDec, kDecRange)};
  WatchPulses();
  return axes;
}

bool IndiMount::Slewing() {
  CheckUsable();
  return link_->Values(kEquatorialEodCoord).state == IPS_BUSY;
}

bool IndiMount::Tracking() {
  CheckUsable();
  if (const std::optional<PropertyValues> state = link_->Find(kTelescopeTrackState))
    return state->Switch(kTrackOn);
  const PropertyValues position = link_->Values(kEquatorialEodCoord);
  const bool tracking = judged_.Look(Checked(position, kRa, kRaRange), position.received,
                                     position.updates, ra_pulsed_, link_->Now());
  ra_pulsed_ = false;
  return tracking;
}

void IndiMount::SetTracking(bool on) {
  link_->SendSwitches(kTelescopeTrackState, {{kTrackOn, on}, {kTrackOff, !on}});
}

void IndiMount::SlewTo(program::RaDec axes) {
  // Slew, then track there, where the device offers it.
  sense_.Forget();
  pulsed_at_ = {};
  const bool track = link_->Values(kOnCoordSet).switches.count(kTrack) != 0;
  link_->SendSwitches(kOnCoordSet, {{track ? kTrack : kSlew, true}});
  link_->SendNumbers(kEquatorialEodCoord, {{kRa, axes.ra}, {kDec, axes.dec}}, AnswerRule::kSlew);
}

double IndiMount::GuideRateRa() {
  CheckUsable();
  return GuideRate(false) * kSiderealDegPerSecond;
}

double IndiMount::GuideRateDec() {
  CheckUsable();
  return GuideRate(true) * kSiderealDegPerSecond;
}

double IndiMount::GuideRate(bool dec) {
  const std::optional<PropertyValues> rate = link_->Find(kGuideRate);
  const GuideRateShape shape = ShapeOfGuideRate(rate);
  switch (shape.kind) {
    case GuideRateShape::kNumbers:
      return CheckedRate(*rate, dec ? shape.dec_element : shape.ra_element);
    case GuideRateShape::kSwitch:
      if (const std::optional<double> on = SwitchedRate(*rate)) return *on;
      break;  // switched to a label with no rate since the start
    case GuideRateShape::kAssumed:
      break;
  }
  return assumed_rate_;
}

void IndiMount::SetGuideRateRa(double deg_per_s) {
  SetGuideRate(false, deg_per_s);
}

void IndiMount::SetGuideRateDec(double deg_per_s) {
  SetGuideRate(true, deg_per_s);
}

void IndiMount::SetGuideRate(bool dec, double deg_per_s) {
  const std::optional<PropertyValues> rates = link_->Find(kGuideRate);
  const GuideRateShape shape = ShapeOfGuideRate(rates);
  if (shape.kind != GuideRateShape::kNumbers)
    throw Error(errors::kPropertyMissing,
                "INDI device \"" + device_ + "\" has no GUIDE_RATE numbers to set");
  // Every element travels, the other axis' as it is; a rate beyond an
  // element's declared range (a zero the program is about to repair among
  // them) is sent as its nearest end, as drivers refuse the whole vector.
  const std::string& element = dec ? shape.dec_element : shape.ra_element;
  const std::string& other = dec ? shape.ra_element : shape.dec_element;
  const auto in_range = [&](const std::string& name, double rate) {
    const NumberElement& e = rates->Element(name);
    return e.HasRange() ? std::clamp(rate, e.min, e.max) : rate;
  };
  NumberWrite write = {{element, in_range(element, deg_per_s / kSiderealDegPerSecond)}};
  if (other != element) write.emplace_back(other, in_range(other, CheckedRate(*rates, other)));
  link_->SendNumbers(kGuideRate, write);
}

void IndiMount::PulseGuide(GuideDirection sky, double ms) {
  // The direction on the sky, sent as this side of the pier needs it.
  const MountReading at_start = Reading();
  const GuideDirection direction = sense_.ToMount(sky, at_start.pier);
  // INDI drivers time pulses in whole milliseconds; the nearest one is sent.
  const double whole = std::round(ms);
  using D = GuideDirection;
  const bool dec = direction == D::North || direction == D::South;
  const bool first_on = direction == D::North || direction == D::West;
  const std::string property = dec ? kTelescopeTimedGuideNs : kTelescopeTimedGuideWe;
  const char* first = dec ? kTimedGuideN : kTimedGuideW;
  const char* second = dec ? kTimedGuideS : kTimedGuideE;
  CheckUsable();
  CheckPulse(link_->Values(property), first_on ? first : second, whole);
  const NumberWrite pulse = {{first, first_on ? whole : 0}, {second, first_on ? 0 : whole}};
  try {
    // The answer is the device taking the pulse on (Busy); it runs on after.
    link_->SendNumbers(property, pulse, AnswerRule::kPulse);
    ra_pulsed_ = ra_pulsed_ || !dec;
    pulsed_at_[dec ? 1 : 0] = program::RaDec{at_start.ra_hours, at_start.dec_deg};
    sense_.Sent(sky, whole, dec ? GuideRateDec() : GuideRateRa(), at_start);
  } catch (const Error& e) {
    if (e.number() != errors::kNoAnswer) throw;
    // The device may yet run it: it is called off before the failure is told.
    link_->PostNumbers(property, {{first, 0}, {second, 0}});
    throw Error(e.number(), e.description() + "; the pulse was called off");
  }
}

void IndiMount::CheckPulse(const PropertyValues& guide, const std::string& element, double ms) {
  static_cast<void>(
      guide.Element(guide.name == kTelescopeTimedGuideNs ? kTimedGuideN : kTimedGuideW));
  static_cast<void>(
      guide.Element(guide.name == kTelescopeTimedGuideNs ? kTimedGuideS : kTimedGuideE));
  const NumberElement& e = guide.Element(element);
  const double longest = e.HasRange() ? e.max : kLongestPulseWithoutRangeMs;
  if (!(ms <= longest))
    throw Error(errors::kPulseTooLong, guide.Where(element) + " takes at most " +
                                           NumberText(longest) + " ms: a pulse of " +
                                           NumberText(ms) + " ms was not sent");
}

program::MountCapabilities IndiMount::Capabilities() {
  CheckUsable();
  program::MountCapabilities capabilities;
  // Open refuses a device without both timed-guide properties.
  capabilities.pulse_guiding = true;
  capabilities.side_of_pier = link_->Find(kTelescopePierSide).has_value();
  AddCustomRates(capabilities);
  return capabilities;
}

bool IndiMount::IsPulseGuiding() {
  CheckUsable();
  return link_->Values(kTelescopeTimedGuideNs).state == IPS_BUSY ||
         link_->Values(kTelescopeTimedGuideWe).state == IPS_BUSY;
}

// ---- which way pulses move the mount ----------------------------------------

MountReading IndiMount::Reading() {
  const PropertyValues position = link_->Values(kEquatorialEodCoord);
  MountReading now;
  CheckNotAlert(position);
  now.ra_hours = Checked(position, kRa, kRaRange);
  now.dec_deg = Checked(position, kDec, kDecRange);
  now.slewing = position.state == IPS_BUSY;
  now.tracking = Tracking();
  now.pier = Pier();
  now.at = link_->Now();
  return now;
}

bool IndiMount::ThroughPole() {
  return Pier() == PierSide::West;
}

PierSide IndiMount::Pier() {
  const std::optional<PropertyValues> side = link_->Find(kTelescopePierSide);
  if (!side) return PierSide::Unknown;
  if (side->Switch(kPierEast)) return PierSide::East;
  if (side->Switch(kPierWest)) return PierSide::West;
  return PierSide::Unknown;
}

PierSide IndiMount::SideOfPier() noexcept {
  try {
    return Pier();
  } catch (...) {
    return PierSide::Unknown;  // a property that is not as the standard has it says nothing
  }
}

bool IndiMount::NewSincePulse(bool dec) noexcept {
  const std::optional<program::RaDec>& then = pulsed_at_[dec ? 1 : 0];
  if (!then) return true;
  try {
    const PropertyValues position = link_->Values(kEquatorialEodCoord);
    return position.Number(kRa) != then->ra || position.Number(kDec) != then->dec;
  } catch (...) {
    return true;  // the reading itself raises where it is read
  }
}

std::optional<GuideDirection> IndiMount::SentAs(GuideDirection sky) noexcept {
  const GuideDirection sent = sense_.ToMount(sky, SideOfPier());
  if (sent == sky) return std::nullopt;
  return sent;
}

// Pulses that are over are judged at the first read of the position after.
void IndiMount::WatchPulses() {
  sense_.Read(Reading(), link_->Values(kTelescopeTimedGuideWe).state == IPS_BUSY,
              link_->Values(kTelescopeTimedGuideNs).state == IPS_BUSY);
}

}  // namespace orvan::indi
