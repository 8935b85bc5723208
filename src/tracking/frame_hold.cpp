#include "tracking/frame_hold.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "support/numtext.h"
#include "support/units.h"

namespace orvan::tracking {
namespace {

// The cycles' readings kept for placing the mount over a frame's exposure.
constexpr double kReadingsKeptSeconds = 3600;
constexpr const char* kWaitText = "waits for a reading after its end";

double CosDec(double dec_deg) {
  return std::cos(dec_deg / kDegreesPerRadian);
}

// `a` less `b` on the sky, arc-seconds: right ascension times cos dec.
AxisPair SkyDifference(const AxisPair& a, const AxisPair& b) {
  return {Wrap12(a.ra - b.ra) * kArcsecPerHour * CosDec(b.dec), (a.dec - b.dec) * kArcsecPerDegree};
}

double Length(const AxisPair& p) {
  return std::hypot(p.ra, p.dec);
}

double Clamp(double value, double limit) {
  return std::clamp(value, -limit, limit);
}

}  // namespace

FrameHold::FrameHold(FrameHoldConfig config, std::function<double()> now)
    : config_(config), now_(std::move(now)) {}

void FrameHold::Capture(const AxisPair& target, double time) {
  captured_ = target;
  captured_at_ = time;
  held_ = target;
  reference_.reset();
  if (config_.center) reference_ = target;
  offsets_.clear();
  doubted_.reset();
}

void FrameHold::Recorded(const CycleRecord& record) noexcept {
  const double now = now_();
  switch (record.kind) {
    case RecordKind::Start:
      if (!record.target) return;
      threshold_ = record.threshold_arcsec.value_or(0);
      readings_.clear();
      Capture(*record.target, now);
      recaptured_ = false;
      readings_.push_back({now, *record.target});
      last_read_ = now;
      return;
    case RecordKind::Cycle:
      if (!captured_) return;
      if (!record.current) {
        last_wait_ = now;
        return;
      }
      WherePulsesWent(*record.current);
      readings_.push_back({now, *record.current});
      last_read_ = now;
      held_ = record.target;
      AfterPulses(record, now);
      readings_.erase(readings_.begin(),
                      std::find_if(readings_.begin(), readings_.end(), [&](const Reading& r) {
                        return r.time >= now - kReadingsKeptSeconds;
                      }));
      // A cycle that read the mount but mapped nothing took it where it was.
      if (record.target && !record.target_scope) {
        Capture(*record.target, now);
        recaptured_ = true;
      }
      return;
    case RecordKind::Stop:
    case RecordKind::Abort:
      captured_.reset();
      reference_.reset();
      offsets_.clear();
      return;
  }
}

// A cycle reads the mount before its pulses, which take the error out at
// once: from their end the mount is on the target on each axis pulsed.
void FrameHold::AfterPulses(const CycleRecord& record, double now) {
  if (!record.target || !(record.ra_pulse || record.dec_pulse)) return;
  const AxisPair& from = readings_.back().at;
  const double longest_ms = std::max(record.ra_pulse ? record.ra_pulse->milliseconds : 0,
                                     record.dec_pulse ? record.dec_pulse->milliseconds : 0);
  readings_.push_back({now + longest_ms / kMillisecondsPerSecond,
                       {record.ra_pulse ? record.target->ra : from.ra,
                        record.dec_pulse ? record.target->dec : from.dec},
                       from});
}

// The reading after a pulse's end: on an axis where it moved the other way
// from the one the pulse was sent, the pulse did (a mount that reverses on
// one side of the pier, before the program has seen it) and the mount was
// never on the target. A reading unchanged is no news (a mount that reports
// in steps); one that moved the pulse's way leaves it on the target, drifting
// on from there.
void FrameHold::WherePulsesWent(const AxisPair& read) {
  if (readings_.empty() || !readings_.back().pulsed_from) return;
  Reading& end = readings_.back();
  const AxisPair from = *end.pulsed_from;
  end.pulsed_from.reset();
  const double sent_ra = Wrap12(end.at.ra - from.ra), went_ra = Wrap12(read.ra - from.ra);
  if (sent_ra * went_ra < 0) end.at.ra = read.ra;
  if ((end.at.dec - from.dec) * (read.dec - from.dec) < 0) end.at.dec = read.dec;
}

std::optional<std::string> FrameHold::Unfit(const FrameMeasurement& frame) const {
  if (!captured_) return "not holding";
  // A camera's clock may be off by the tolerance either way.
  if (frame.start < captured_at_ - kClockToleranceSeconds)
    return recaptured_ ? "taken before the re-capture" : "taken before the start";
  if (last_wait_ >= frame.start) return "taken across a slew";
  if (last_mid_ && frame.mid <= *last_mid_) return "out of time order";
  return std::nullopt;
}

std::optional<AxisPair> FrameHold::MountAt(double time) const {
  const auto after = std::find_if(readings_.begin(), readings_.end(),
                                  [time](const Reading& r) { return r.time >= time; });
  if (after == readings_.end()) {
    if (readings_.empty()) return std::nullopt;
    return readings_.back().at;
  }
  if (after == readings_.begin()) {
    if (after->time > time) return std::nullopt;
    return after->at;
  }
  const Reading& before = *std::prev(after);
  const double f = (time - before.time) / (after->time - before.time);
  return AxisPair{Wrap24(before.at.ra + f * Wrap12(after->at.ra - before.at.ra)),
                  before.at.dec + f * (after->at.dec - before.at.dec)};
}

// The path between readings is straight: its mean is exact by trapezoids
// between the readings within. An exposure begun before the first reading
// is taken from it.
std::optional<AxisPair> FrameHold::MountOver(double from, double to) const {
  if (!readings_.empty()) from = std::max(from, std::min(readings_.front().time, to));
  const std::optional<AxisPair> first = MountAt(from);
  if (!first || !(to > from)) return first;
  AxisPair sum{0, 0}, last{0, 0};
  double last_time = from;
  const auto add = [&](double time) {
    const AxisPair at = *MountAt(time);
    const AxisPair here{Wrap12(at.ra - first->ra), at.dec - first->dec};
    const double span = time - last_time;
    sum.ra += span * (last.ra + here.ra) / 2;
    sum.dec += span * (last.dec + here.dec) / 2;
    last = here;
    last_time = time;
  };
  for (const Reading& r : readings_)
    if (r.time > from && r.time < to) add(r.time);
  add(to);
  return AxisPair{Wrap24(first->ra + sum.ra / (to - from)), first->dec + sum.dec / (to - from)};
}

double FrameHold::OutlierLimit() const {
  if (config_.outlier_arcsec) return *config_.outlier_arcsec;
  return std::max(kMinOutlierArcsec, kOutlierThresholds * threshold_);
}

FrameHold::Trend FrameHold::Fit() const {
  // The least-squares line through the recent offsets.
  Trend trend{0, {0, 0}, {0, 0}};
  if (offsets_.empty()) return trend;
  const double n = static_cast<double>(offsets_.size());
  for (const Offset& o : offsets_) {
    trend.time += o.time / n;
    trend.at.ra += o.sky.ra / n;
    trend.at.dec += o.sky.dec / n;
  }
  double tt = 0;
  AxisPair ts{0, 0};
  for (const Offset& o : offsets_) {
    const double dt = o.time - trend.time;
    tt += dt * dt;
    ts.ra += dt * (o.sky.ra - trend.at.ra);
    ts.dec += dt * (o.sky.dec - trend.at.dec);
  }
  if (tt > 0) trend.rate = {ts.ra / tt, ts.dec / tt};
  return trend;
}

AxisPair FrameHold::Predicted(double time) const {
  const Trend trend = Fit();
  return {trend.at.ra + trend.rate.ra * (time - trend.time),
          trend.at.dec + trend.rate.dec * (time - trend.time)};
}

bool FrameHold::Plausible(const Offset& offset, const FrameMeasurement& frame,
                          FrameOutcome& outcome) {
  if (offsets_.empty()) return true;
  const AxisPair predicted = Predicted(frame.mid);
  const double off = Length({offset.sky.ra - predicted.ra, offset.sky.dec - predicted.dec});
  const double limit = OutlierLimit();
  if (off <= limit) {
    doubted_.reset();
    return true;
  }
  // Two frames in a row that agree with each other are a real move.
  if (doubted_ &&
      Length({offset.sky.ra - doubted_->sky.ra, offset.sky.dec - doubted_->sky.dec}) <= limit) {
    offsets_ = {*doubted_};
    doubted_.reset();
    return true;
  }
  doubted_ = offset;
  outcome.reason =
      "bad solve: " + ArcsecText(off) + " from the prediction, limit " + ArcsecText(limit);
  return false;
}

// A frame dated ahead of the program's clock cannot have been taken yet:
// the camera's clock is off. It is never taken, nor made the frame the
// next ones must follow in time.
std::optional<std::string> FrameHold::Future(const FrameMeasurement& frame) {
  const double ahead = frame.mid - now_();
  if (!(ahead > kClockToleranceSeconds)) return std::nullopt;
  char text[96];
  std::snprintf(text, sizeof text, "dated in the future: its middle is %.1f s past the clock",
                ahead);
  std::string why = text;
  if (!clock_said_) why += "; is the camera's clock right?";
  clock_said_ = true;
  return why;
}

FrameOutcome FrameHold::Frame(const FrameMeasurement& frame) {
  FrameOutcome outcome;
  if (std::optional<std::string> why = Future(frame)) {
    outcome.verdict = FrameAction::Refused;
    outcome.reason = std::move(*why);
    return outcome;
  }
  if (const std::optional<std::string> why = Unfit(frame)) {
    outcome.reason = *why;
    return outcome;
  }
  // The mount's place over the exposure comes from the readings either side.
  const double end = 2 * frame.mid - frame.start;
  if (!readings_.empty() && end > last_read_) {
    outcome.wait = true;
    outcome.reason = kWaitText;
    return outcome;
  }
  last_mid_ = frame.mid;
  const std::optional<AxisPair> mount = MountOver(frame.start, end);
  if (!mount) {
    outcome.reason = "taken before the start";
    return outcome;
  }
  outcome.mount = mount;
  const Offset offset{frame.mid, SkyDifference(frame.center, *mount)};
  if (Length(offset.sky) > frame.field_deg * kArcsecPerDegree) {
    outcome.reason = "more than a field away from the target";
    return outcome;
  }
  if (!reference_) {
    reference_ = frame.center;
    offsets_.push_back(offset);
    outcome.verdict = FrameAction::Reference;
    outcome.drift_arcsec = AxisPair{0, 0};
    return outcome;
  }
  outcome.drift_arcsec = SkyDifference(frame.center, *reference_);
  if (!Plausible(offset, frame, outcome)) {
    outcome.verdict = FrameAction::Refused;
    return outcome;
  }
  offsets_.push_back(offset);
  while (offsets_.size() > kRateFrames ||
         (offsets_.size() > 1 && offsets_.front().time < frame.mid - kRateWindowSeconds))
    offsets_.erase(offsets_.begin());
  outcome.verdict = FrameAction::Used;
  return outcome;
}

void FrameHold::Steer(TrackerState& state) noexcept {
  if (!captured_ || !reference_ || offsets_.empty() || !state.TrackingActive) return;
  // The mount must point the offset short of the reference for the frame's
  // middle to land on it.
  const AxisPair offset = Predicted(now_() + kLeadSeconds);
  const double want_ra = reference_->ra - offset.ra / (CosDec(reference_->dec) * kArcsecPerHour);
  const double want_dec = reference_->dec - offset.dec / kArcsecPerDegree;
  const double step = kStepThresholds * threshold_;
  state.TargetTrueRA = Wrap24(state.TargetTrueRA +
                              Clamp(Wrap12(want_ra - state.TargetTrueRA), step / kArcsecPerHour));
  state.TargetTrueDec += Clamp(want_dec - state.TargetTrueDec, step / kArcsecPerDegree);
}

AxisPair FrameHold::Motion() const noexcept {
  if (!captured_ || !reference_ || offsets_.empty()) return {0, 0};
  const AxisPair rate = Fit().rate;
  AxisPair motion{-rate.ra / CosDec(reference_->dec), -rate.dec};
  if (held_ && !readings_.empty()) {
    const AxisPair& at = readings_.back().at;
    motion.ra += Wrap12(held_->ra - at.ra) * kArcsecPerHour / kCloseSeconds;
    motion.dec += (held_->dec - at.dec) * kArcsecPerDegree / kCloseSeconds;
  }
  return motion;
}

}  // namespace orvan::tracking
