#include "observatory/indi/indi_mount.h"

#include <cmath>
#include <string>
#include <vector>

#include "support/error.h"

namespace orvan::indi {
namespace {

// Property and element names of the INDI telescope standard.
const std::string kConnection = "CONNECTION";
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

}  // namespace

IndiMount::IndiMount(const IndiOptions& options)
    : link_(std::make_unique<IndiLink>(options.host, options.port, options.device)),
      sense_(options.device, options.notice) {}

void IndiMount::Open() {
  if (!link_->opened()) link_->Open();
  if (ready_) return;
  ConnectDevice();
  ready_ = true;
}

void IndiMount::ConnectDevice() {
  link_->AwaitProperties({kConnection});
  if (!link_->Values(kConnection).Switch("CONNECT"))
    link_->SendSwitches(kConnection, {{"CONNECT", true}, {"DISCONNECT", false}}, true);
  // A connected driver defines the rest of its properties.
  link_->AwaitProperties(kRequired);
}

bool IndiMount::Connected() {
  return link_->Values(kConnection).Switch("CONNECT");
}

void IndiMount::SetConnected(bool on) {
  if (on) {
    ConnectDevice();
  } else if (Connected()) {
    link_->SendSwitches(kConnection, {{"CONNECT", false}, {"DISCONNECT", true}}, true);
  }
}

program::Location IndiMount::Site() {
  const PropertyValues site = link_->Values(kSite);
  // INDI counts longitude 0..360 east.
  double longitude = site.Number("LONG");
  if (longitude > 180) longitude -= 360;
  return {site.Number("LAT"), longitude, site.Number("ELEV")};
}

program::RaDec IndiMount::Axes() {
  const PropertyValues position = link_->Values(kPosition);
  WatchPulses();
  return {position.Number("RA"), position.Number("DEC")};
}

bool IndiMount::Slewing() {
  return link_->Values(kPosition).state == IPS_BUSY;
}

bool IndiMount::Tracking() {
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
  link_->SendNumbers(kPosition, {{"RA", axes.ra}, {"DEC", axes.dec}});
}

double IndiMount::GuideRateRa() {
  return link_->Values(kGuideRate).Number("GUIDE_RATE_WE") * kSiderealDegPerSecond;
}

double IndiMount::GuideRateDec() {
  return link_->Values(kGuideRate).Number("GUIDE_RATE_NS") * kSiderealDegPerSecond;
}

void IndiMount::SetGuideRateRa(double deg_per_s) {
  SetGuideRate("GUIDE_RATE_WE", deg_per_s);
}

void IndiMount::SetGuideRateDec(double deg_per_s) {
  SetGuideRate("GUIDE_RATE_NS", deg_per_s);
}

void IndiMount::SetGuideRate(const char* element, double deg_per_s) {
  // Both elements travel, the other one as it is.
  PropertyValues rates = link_->Values(kGuideRate);
  rates.numbers[element] = deg_per_s / kSiderealDegPerSecond;
  link_->SendNumbers(kGuideRate, {{"GUIDE_RATE_WE", rates.Number("GUIDE_RATE_WE")},
                                  {"GUIDE_RATE_NS", rates.Number("GUIDE_RATE_NS")}});
}

void IndiMount::PulseGuide(GuideDirection sky, double ms) {
  // The direction on the sky, sent as this side of the pier needs it.
  const MountReading at_start = Reading();
  const GuideDirection direction = sense_.ToMount(sky, at_start.pier);
  // INDI drivers time pulses in whole milliseconds; the nearest one is sent.
  const double whole = std::round(ms);
  using D = GuideDirection;
  const bool dec = direction == D::North || direction == D::South;
  const double first = direction == D::North || direction == D::West ? whole : 0;
  const double second = direction == D::South || direction == D::East ? whole : 0;
  // The answer is the device taking the pulse on (Busy); it runs on after.
  if (dec)
    link_->SendNumbers(kGuideNS, {{"TIMED_GUIDE_N", first}, {"TIMED_GUIDE_S", second}});
  else
    link_->SendNumbers(kGuideWE, {{"TIMED_GUIDE_W", first}, {"TIMED_GUIDE_E", second}});
  sense_.Sent(sky, whole, dec ? GuideRateDec() : GuideRateRa(), at_start);
}

bool IndiMount::IsPulseGuiding() {
  return link_->Values(kGuideNS).state == IPS_BUSY || link_->Values(kGuideWE).state == IPS_BUSY;
}

// ---- which way pulses move the mount ----------------------------------------

MountReading IndiMount::Reading() {
  const PropertyValues position = link_->Values(kPosition);
  MountReading now;
  now.ra_hours = position.Number("RA");
  now.dec_deg = position.Number("DEC");
  now.slewing = position.state == IPS_BUSY;
  now.tracking = Tracking();
  now.pier = Pier();
  return now;
}

PierSide IndiMount::Pier() {
  if (!link_->Has(kPierSide)) return PierSide::Unknown;
  const PropertyValues side = link_->Values(kPierSide);
  if (side.Switch("PIER_EAST")) return PierSide::East;
  if (side.Switch("PIER_WEST")) return PierSide::West;
  return PierSide::Unknown;
}

// Pulses that are over are judged at the first read of the position after.
void IndiMount::WatchPulses() {
  sense_.Read(Reading(), link_->Values(kGuideWE).state == IPS_BUSY,
              link_->Values(kGuideNS).state == IPS_BUSY);
}

}  // namespace orvan::indi
