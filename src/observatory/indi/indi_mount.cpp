#include "observatory/indi/indi_mount.h"

#include <cmath>
#include <string>
#include <vector>

#include "support/error.h"

namespace orvan::indi {
namespace {

// Property and element names of the INDI telescope standard.
const std::string& kConnection = kConnectionProperty;
const std::string kPosition = "EQUATORIAL_EOD_COORD";
const std::string kTrackState = "TELESCOPE_TRACK_STATE";
const std::string kCoordSet = "ON_COORD_SET";
const std::string kGuideRate = "GUIDE_RATE";
const std::string kGuideNS = "TELESCOPE_TIMED_GUIDE_NS";
const std::string kGuideWE = "TELESCOPE_TIMED_GUIDE_WE";
const std::string kSite = "GEOGRAPHIC_COORD";
const std::string kPierSide = "TELESCOPE_PIER_SIDE";  // optional

// What the program reads or writes; a device without all of them is no use to it.
const std::vector<std::string> kRequired = {kPosition, kTrackState, kGuideRate,
                                            kGuideNS,  kGuideWE,    kSite};

// What a reading must be for the program to act on it. INDI counts
// longitude 0..360 east; some drivers use -180..180.
constexpr Range kRaRange{0, 24, true};
constexpr Range kDecRange{-90, 90};
constexpr Range kLatitudeRange{-90, 90};
constexpr Range kLongitudeRange{-180, 360};
constexpr Range kElevationRange{-500,
                                10000};  // metres: the Dead Sea shore to above any observatory
constexpr double kHalfTurn = 180;
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
  try {
    link_->Open();
    ConnectDevice();
  } catch (...) {
    // The next attempt connects to the server afresh.
    link_->Close();
    throw;
  }
  ready_ = true;
}

void IndiMount::ConnectDevice() {
  link_->Unwatch();
  link_->AwaitProperties({kConnection});
  if (!link_->Values(kConnection).Switch("CONNECT"))
    link_->SendSwitches(kConnection, {{"CONNECT", true}, {"DISCONNECT", false}});
  // A connected driver defines the rest of its properties.
  link_->AwaitProperties(kRequired);
  std::vector<std::string> watched = kRequired;
  watched.push_back(kConnection);
  link_->Watch(watched);
}

void IndiMount::CheckUsable() {
  const PropertyValues connection = link_->Values(kConnection);
  if (connection.Switch("DISCONNECT"))
    throw Error(errors::kBadReading,
                connection.Where("DISCONNECT") + " = On: the device is disconnected");
  CheckNotAlert(connection);
}

bool IndiMount::Connected() {
  return link_->Values(kConnection).Switch("CONNECT");
}

void IndiMount::SetConnected(bool on) {
  if (on) {
    ConnectDevice();
  } else if (Connected()) {
    link_->Unwatch();
    link_->SendSwitches(kConnection, {{"CONNECT", false}, {"DISCONNECT", true}});
  }
}

program::Location IndiMount::Site() {
  CheckUsable();
  const PropertyValues site = link_->Values(kSite);
  double longitude = Checked(site, "LONG", kLongitudeRange);
  if (longitude > kHalfTurn) longitude -= kFullTurn;
  return {Checked(site, "LAT", kLatitudeRange), longitude, Checked(site, "ELEV", kElevationRange)};
}

program::RaDec IndiMount::Axes() {
  CheckUsable();
  const PropertyValues position = link_->Values(kPosition);
  CheckNotAlert(position);
  const program::RaDec axes{Checked(position, "RA", kRaRange), Checked(position, "DEC", kDecRange)};
  WatchPulses();
  return axes;
}

bool IndiMount::Slewing() {
  CheckUsable();
  return link_->Values(kPosition).state == IPS_BUSY;
}

bool IndiMount::Tracking() {
  CheckUsable();
  return link_->Values(kTrackState).Switch("TRACK_ON");
}

void IndiMount::SetTracking(bool on) {
  link_->SendSwitches(kTrackState, {{"TRACK_ON", on}, {"TRACK_OFF", !on}});
}

void IndiMount::SlewTo(program::RaDec axes) {
  // Slew, then track there, where the device offers it.
  sense_.Forget();
  const bool track = link_->Values(kCoordSet).switches.count("TRACK") != 0;
  link_->SendSwitches(kCoordSet, {{track ? "TRACK" : "SLEW", true}});
  link_->SendNumbers(kPosition, {{"RA", axes.ra}, {"DEC", axes.dec}}, AnswerRule::kSlew);
}

double IndiMount::GuideRateRa() {
  CheckUsable();
  return CheckedRate(link_->Values(kGuideRate), "GUIDE_RATE_WE") * kSiderealDegPerSecond;
}

double IndiMount::GuideRateDec() {
  CheckUsable();
  return CheckedRate(link_->Values(kGuideRate), "GUIDE_RATE_NS") * kSiderealDegPerSecond;
}

void IndiMount::SetGuideRateRa(double deg_per_s) {
  SetGuideRate("GUIDE_RATE_WE", deg_per_s);
}

void IndiMount::SetGuideRateDec(double deg_per_s) {
  SetGuideRate("GUIDE_RATE_NS", deg_per_s);
}

void IndiMount::SetGuideRate(const char* element, double deg_per_s) {
  // Both elements travel, the other one as it is.
  const PropertyValues rates = link_->Values(kGuideRate);
  double we = CheckedRate(rates, "GUIDE_RATE_WE");
  double ns = CheckedRate(rates, "GUIDE_RATE_NS");
  (std::string(element) == "GUIDE_RATE_WE" ? we : ns) = deg_per_s / kSiderealDegPerSecond;
  link_->SendNumbers(kGuideRate, {{"GUIDE_RATE_WE", we}, {"GUIDE_RATE_NS", ns}});
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
  const std::string& property = dec ? kGuideNS : kGuideWE;
  const std::string first = dec ? "TIMED_GUIDE_N" : "TIMED_GUIDE_W";
  const std::string second = dec ? "TIMED_GUIDE_S" : "TIMED_GUIDE_E";
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
  static_cast<void>(guide.Element(guide.name == kGuideNS ? "TIMED_GUIDE_N" : "TIMED_GUIDE_W"));
  static_cast<void>(guide.Element(guide.name == kGuideNS ? "TIMED_GUIDE_S" : "TIMED_GUIDE_E"));
  const NumberElement& e = guide.Element(element);
  const double longest = e.HasRange() ? e.max : kLongestPulseWithoutRangeMs;
  if (!(ms <= longest))
    throw Error(errors::kPulseTooLong, guide.Where(element) + " takes at most " +
                                           NumberText(longest) + " ms: a pulse of " +
                                           NumberText(ms) + " ms was not sent");
}

bool IndiMount::IsPulseGuiding() {
  CheckUsable();
  return link_->Values(kGuideNS).state == IPS_BUSY || link_->Values(kGuideWE).state == IPS_BUSY;
}

// ---- which way pulses move the mount ----------------------------------------

MountReading IndiMount::Reading() {
  const PropertyValues position = link_->Values(kPosition);
  MountReading now;
  CheckNotAlert(position);
  now.ra_hours = Checked(position, "RA", kRaRange);
  now.dec_deg = Checked(position, "DEC", kDecRange);
  now.slewing = position.state == IPS_BUSY;
  now.tracking = Tracking();
  now.pier = Pier();
  return now;
}

PierSide IndiMount::Pier() {
  const std::optional<PropertyValues> side = link_->Find(kPierSide);
  if (!side) return PierSide::Unknown;
  if (side->Switch("PIER_EAST")) return PierSide::East;
  if (side->Switch("PIER_WEST")) return PierSide::West;
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
  sense_.Read(Reading(), link_->Values(kGuideWE).state == IPS_BUSY,
              link_->Values(kGuideNS).state == IPS_BUSY);
}

}  // namespace orvan::indi
