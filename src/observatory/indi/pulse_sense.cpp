#include "observatory/indi/pulse_sense.h"

#include <cmath>
#include <utility>

#include "support/numtext.h"

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

const char* AxisText(bool dec) {
  return dec ? "declination" : "right ascension";
}

// Signed arc-seconds the axis moved from one reading to another: north, and
// east (right ascension growing), the short way across 0 h.
double Moved(bool dec, const MountReading& from, const MountReading& to) {
  return dec ? (to.dec_deg - from.dec_deg) * kArcsecPerDegree
             : Wrap12(to.ra_hours - from.ra_hours) * kArcsecPerHour;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Two readings that only pulses and drift can tell apart.
bool Comparable(const MountReading& from, const MountReading& to) {
  return !from.slewing && from.tracking && !to.slewing && to.tracking && from.pier == to.pier;
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
  drift_[IsDec(sky) ? 1 : 0].quiet = false;
  // A pulse on a moving or free-running mount can't be told from the rest.
  pulse.set = !at_start.slewing && at_start.tracking;
  pulse.start = at_start;
  pulse.expected_arcsec =
      Sign(sky) * rate_deg_per_s * kArcsecPerDegree * ms / kMillisecondsPerSecond;
}

void PulseSense::Read(const MountReading& now, bool ra_pulsing, bool dec_pulsing) {
  LearnDrift(now);
  for (const bool dec : {false, true}) {
    Pending& pulse = pending_[dec ? 1 : 0];
    const bool pulsing = dec ? dec_pulsing : ra_pulsing;
    if (pulse.set && !pulsing) {
      pulse.set = false;
      Judge(dec, pulse, now);
    }
    // From a reading after the pulse is over, the axis moves by itself.
    drift_[dec ? 1 : 0].quiet = !pulse.set && !pulsing;
  }
  last_ = now;
}

void PulseSense::Forget() {
  for (Pending& pulse : pending_) pulse.set = false;
  last_.reset();
}

void PulseSense::LearnDrift(const MountReading& now) {
  if (!last_ || !Comparable(*last_, now)) return;
  const double span = Seconds(now.at - last_->at);
  if (!(span > 0)) return;
  for (const bool dec : {false, true}) {
    Drift& drift = drift_[dec ? 1 : 0];
    if (drift.quiet) drift.Add(span, Moved(dec, *last_, now));
  }
}

void PulseSense::Drift::Add(double span_s, double moved_arcsec) {
  spans.emplace_back(span_s, moved_arcsec);
  seconds += span_s;
  arcsec += moved_arcsec;
  while (spans.size() > 1 && seconds - spans.front().first >= kDriftSeconds) {
    seconds -= spans.front().first;
    arcsec -= spans.front().second;
    spans.pop_front();
  }
}

std::optional<double> PulseSense::Drift::PerSecond() const {
  if (seconds < kDriftLeastSeconds) return std::nullopt;
  return arcsec / seconds;
}

void PulseSense::Judge(bool dec, const Pending& pulse, const MountReading& now) {
  const MountReading& start = pulse.start;
  const std::optional<double> drift = drift_[dec ? 1 : 0].PerSecond();
  if (!drift || !Comparable(start, now)) return;
  // A tracking mount reports a right ascension that stays put but for its
  // pulses and its drift, which is taken out.
  // INDI publishes a position only once it has moved a step, so a drifting
  // mount's steps come in the readings that call for pulses, and none in the
  // pulses' own. A reading unchanged over a pulse says the mount moved less
  // than a step, drift and pulse together: nothing is seen to have moved,
  // and its span is as quiet as one between pulses. Counting the drift in
  // it would make pulses that do nothing look as if they held the drift
  // back, and the drift counted over the other spans alone too fast.
  const double read = Moved(dec, start, now);
  const double span = Seconds(now.at - start.at);
  const double moved = read == 0 ? 0 : read - *drift * span;
  if (read == 0) drift_[dec ? 1 : 0].Add(span, 0);
  JudgeEffect(dec, moved, pulse.expected_arcsec, now);
  // Pulses that do not move the axis show no direction, only noise.
  if (!effect_[dec ? 1 : 0].said) JudgeDirection(dec, start.pier, moved, pulse.expected_arcsec);
}

void PulseSense::JudgeDirection(bool dec, PierSide pier, double moved, double expected_signed) {
  const double expected = std::abs(expected_signed);
  const double size = std::abs(moved);
  if (size < kFloorArcsec || size < kLeastPart * expected) return;
  if (size > kMostTimes * expected + kFloorArcsec) return;
  Sense& sense = SenseOf(dec, pier);
  if ((moved > 0) == (expected_signed > 0)) {
    sense.seen = true;
    sense.against = 0;
    return;
  }
  // Plainly the other way: the next pulse on this axis goes the right way.
  if (!sense.seen || ++sense.against >= kTurnBackPulses) Turn(dec, pier);
}

// Over a window of pulses, how far they moved the axis against how far they
// should have: a verdict, then a new window. Motion the way each pulse was
// meant counts, less motion the other way, so that the noise of readings
// that step (INDI publishes a position in steps) cancels out; its size
// counts, so that pulses not yet turned the right way count as moving.
void PulseSense::JudgeEffect(bool dec, double moved, double expected, const MountReading& now) {
  Effect& effect = effect_[dec ? 1 : 0];
  if (effect.pulses++ == 0) effect.first = now.at;
  effect.expected_arcsec += std::abs(expected);
  effect.moved_arcsec += expected > 0 ? moved : -moved;
  const double span = Seconds(now.at - effect.first);
  if (effect.pulses < kNoEffectPulses || span < kNoEffectSeconds ||
      effect.expected_arcsec < kNoEffectLeastArcsec)
    return;
  const double size = std::abs(effect.moved_arcsec);
  const bool none = size < kNoEffectPart * effect.expected_arcsec;
  std::string what = AxisText(dec);
  if (none && !effect.said)
    what += " pulses have no effect on the mount's position: " + std::to_string(effect.pulses) +
            " pulses over " + std::to_string(std::lround(span)) + " s should have moved it " +
            ArcsecText(effect.expected_arcsec) + ", it moved " + ArcsecText(size) +
            "; check the mount's guide port and its driver's pulse settings";
  else if (!none && effect.said)
    what += " pulses move the mount again";
  const bool changed = none != effect.said;
  effect = Effect{};
  effect.said = none;
  if (changed) Say(what, EffectStatus());
}

std::string PulseSense::EffectStatus() const {
  const bool ra = effect_[0].said, dec = effect_[1].said;
  if (!ra && !dec) return "";
  return std::string(ra && dec ? "RA and Dec" : ra ? "RA" : "Dec") + " pulses: no effect";
}

void PulseSense::Turn(bool dec, PierSide pier) {
  Sense& sense = SenseOf(dec, pier);
  sense.reversed = !sense.reversed;
  sense.seen = true;
  sense.against = 0;
  const bool told = std::exchange(sense.told, false);
  std::string what = AxisText(dec);
  what += sense.reversed ? " pulses move the other way" : " pulses move the way they are named";
  what += SideText(pier);
  if (told)
    what += ", contrary to --reverse-on-pier-west";
  else if (!sense.reversed)
    what += " again";
  what += sense.reversed ? "; reversing them from now on" : "; no longer reversing them";
  Say(what);
}

void PulseSense::Say(const std::string& what, std::optional<std::string> status) const {
  if (notice_) notice_({"INDI mount \"" + mount_ + "\": " + what, std::move(status)});
}

}  // namespace orvan::indi
