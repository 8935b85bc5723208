#include "observatory/indi/pulse_sense.h"

#include <cmath>
#include <utility>

namespace orvan::indi {
namespace {

bool IsDec(GuideDirection d) {
  return d == GuideDirection::North || d == GuideDirection::South;
}

// +1 where the axis' reading grows: north, and east (right ascension grows
// eastward on the sky).
double Sign(GuideDirection d) {
  return d == GuideDirection::North || d == GuideDirection::East ? 1.0 : -1.0;
}

GuideDirection Opposite(GuideDirection d) {
  switch (d) {
    case GuideDirection::North:
      return GuideDirection::South;
    case GuideDirection::South:
      return GuideDirection::North;
    case GuideDirection::East:
      return GuideDirection::West;
    case GuideDirection::West:
      return GuideDirection::East;
  }
  return d;
}

std::string SideText(PierSide pier) {
  switch (pier) {
    case PierSide::East:
      return " east of the pier";
    case PierSide::West:
      return " west of the pier";
    case PierSide::Unknown:
      break;
  }
  return "";
}

}  // namespace

PulseSense::PulseSense(std::string mount, Notice notice, std::optional<ReversedAxes> west)
    : mount_(std::move(mount)), notice_(std::move(notice)) {
  if (!west) return;
  for (const PierSide pier : {PierSide::East, PierSide::West})
    for (const bool dec : {false, true}) SenseOf(dec, pier).told = true;
  SenseOf(false, PierSide::West).reversed = west->ra;
  SenseOf(true, PierSide::West).reversed = west->dec;
}

PulseSense::Sense& PulseSense::SenseOf(bool dec, PierSide pier) {
  return sense_[dec ? 1 : 0][static_cast<std::size_t>(pier)];
}

const PulseSense::Sense& PulseSense::SenseOf(bool dec, PierSide pier) const {
  return sense_[dec ? 1 : 0][static_cast<std::size_t>(pier)];
}

bool PulseSense::Reversed(bool dec, PierSide pier) const {
  return SenseOf(dec, pier).reversed;
}

GuideDirection PulseSense::ToMount(GuideDirection sky, PierSide pier) const {
  return Reversed(IsDec(sky), pier) ? Opposite(sky) : sky;
}

void PulseSense::Sent(GuideDirection sky, double ms, double rate_deg_per_s,
                      const MountReading& at_start) {
  Pending& pulse = pending_[IsDec(sky) ? 1 : 0];
  // A pulse on a moving or free-running mount can't be told from the rest.
  pulse.set = !at_start.slewing && at_start.tracking;
  pulse.start = at_start;
  pulse.expected_arcsec =
      Sign(sky) * rate_deg_per_s * kArcsecPerDegree * ms / kMillisecondsPerSecond;
}

void PulseSense::Read(const MountReading& now, bool ra_pulsing, bool dec_pulsing) {
  for (const bool dec : {false, true}) {
    Pending& pulse = pending_[dec ? 1 : 0];
    if (!pulse.set || (dec ? dec_pulsing : ra_pulsing)) continue;
    pulse.set = false;
    Judge(dec, pulse, now);
  }
}

void PulseSense::Forget() {
  for (Pending& pulse : pending_) pulse.set = false;
}

void PulseSense::Judge(bool dec, const Pending& pulse, const MountReading& now) {
  const MountReading& start = pulse.start;
  if (now.slewing || !now.tracking || now.pier != start.pier) return;
  // A tracking mount reports a right ascension that stays put but for its
  // pulses: no sidereal motion to take out.
  const double moved = dec ? (now.dec_deg - start.dec_deg) * kArcsecPerDegree
                           : Wrap12(now.ra_hours - start.ra_hours) * kArcsecPerHour;
  const double expected = std::abs(pulse.expected_arcsec);
  const double size = std::abs(moved);
  if (size < kFloorArcsec || size < kLeastPart * expected) return;
  if (size > kMostTimes * expected + kFloorArcsec) return;
  // Plainly the other way: the next pulse on this axis goes the right way.
  if ((moved > 0) != (pulse.expected_arcsec > 0)) Turn(dec, start.pier);
}

void PulseSense::Turn(bool dec, PierSide pier) {
  Sense& sense = SenseOf(dec, pier);
  sense.reversed = !sense.reversed;
  const bool told = std::exchange(sense.told, false);
  if (!notice_) return;
  std::string what = dec ? "declination" : "right ascension";
  what += sense.reversed ? " pulses move the other way" : " pulses move the way they are named";
  what += SideText(pier);
  if (told)
    what += ", contrary to --reverse-on-pier-west";
  else if (!sense.reversed)
    what += " again";
  what += sense.reversed ? "; reversing them from now on" : "; no longer reversing them";
  notice_("INDI mount \"" + mount_ + "\": " + what);
}

}  // namespace orvan::indi
