#include "observatory/indi/indi_mount.h"

#include <cmath>
#include <string>
#include <vector>

#include "observatory/indi/indi_names.h"
#include "support/error.h"
#include "support/units.h"

namespace orvan::indi {
namespace {

using namespace names;

// What the program reads or writes; a device without all of them is no use to it.
const std::vector<std::string> kRequired = {
    kEquatorialEodCoord,    kTelescopeTrackState,   kGuideRate,
    kTelescopeTimedGuideNs, kTelescopeTimedGuideWe, kGeographicCoord};

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
      sense_(options.device, options.notice, options.reverse_on_pier_west) {}

void IndiMount::Open() {
  if (ready_) return;
  link_->OpenDevice(kRequired, [this] { WatchRequired(); });
  ready_ = true;
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
  return link_->Values(kTelescopeTrackState).Switch(kTrackOn);
}

void IndiMount::SetTracking(bool on) {
  link_->SendSwitches(kTelescopeTrackState, {{kTrackOn, on}, {kTrackOff, !on}});
}

void IndiMount::SlewTo(program::RaDec axes) {
  // Slew, then track there, where the device offers it.
  sense_.Forget();
  const bool track = link_->Values(kOnCoordSet).switches.count(kTrack) != 0;
  link_->SendSwitches(kOnCoordSet, {{track ? kTrack : kSlew, true}});
  link_->SendNumbers(kEquatorialEodCoord, {{kRa, axes.ra}, {kDec, axes.dec}}, AnswerRule::kSlew);
}

double IndiMount::GuideRateRa() {
  CheckUsable();
  return CheckedRate(link_->Values(kGuideRate), kGuideRateWe) * kSiderealDegPerSecond;
}

double IndiMount::GuideRateDec() {
  CheckUsable();
  return CheckedRate(link_->Values(kGuideRate), kGuideRateNs) * kSiderealDegPerSecond;
}

void IndiMount::SetGuideRateRa(double deg_per_s) {
  SetGuideRate(kGuideRateWe, deg_per_s);
}

void IndiMount::SetGuideRateDec(double deg_per_s) {
  SetGuideRate(kGuideRateNs, deg_per_s);
}

void IndiMount::SetGuideRate(const char* element, double deg_per_s) {
  // Both elements travel, the other one as it is.
  const PropertyValues rates = link_->Values(kGuideRate);
  double we = CheckedRate(rates, kGuideRateWe);
  double ns = CheckedRate(rates, kGuideRateNs);
  (std::string(element) == kGuideRateWe ? we : ns) = deg_per_s / kSiderealDegPerSecond;
  link_->SendNumbers(kGuideRate, {{kGuideRateWe, we}, {kGuideRateNs, ns}});
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

// Pulses that are over are judged at the first read of the position after.
void IndiMount::WatchPulses() {
  sense_.Read(Reading(), link_->Values(kTelescopeTimedGuideWe).state == IPS_BUSY,
              link_->Values(kTelescopeTimedGuideNs).state == IPS_BUSY);
}

}  // namespace orvan::indi
