#include "night.h"

#include <algorithm>
#include <cmath>

namespace orvan::plot {

double AxisStats::rms() const {
  return samples == 0 ? 0 : std::sqrt(sum_squares / static_cast<double>(samples));
}

void Night::Add(const LogLine& line) {
  if (cycles_ == 0 && marks_.empty() && frames_.empty()) begin_ms_ = end_ms_ = line.time_ms;
  begin_ms_ = std::min(begin_ms_, line.time_ms);
  end_ms_ = std::max(end_ms_, line.time_ms);
  // A frame or a note on the mount comes between cycles: it neither ends a
  // span nor breaks a trace.
  if (line.event == Event::Frame) {
    AddFrame(line);
    return;
  }
  if (line.event == Event::Mount) return;
  TrackSpans(line);
  if (line.pier != PierSide::Unknown) {
    if (side_ != PierSide::Unknown && line.pier != side_)
      marks_.push_back({line.time_ms, Event::SideChange, 0, line.pier});
    side_ = line.pier;
  }
  if (line.event != Event::Cycle) {
    marks_.push_back({line.time_ms, line.event, line.error_number});
    last_measured_ = false;
    after_wait_ = false;
    return;
  }
  ++cycles_;
  const Pulse* pulses[2] = {&line.ra_pulse, &line.dec_pulse};
  for (int a = 0; a < 2; ++a) {
    AxisStats& axis = axes_[a];
    if (pulses[a]->sign < 0) ++axis.pulses_minus;
    if (pulses[a]->sign > 0) ++axis.pulses_plus;
    axis.longest_pulse_ms = std::max(axis.longest_pulse_ms, pulses[a]->ms);
  }
  const bool waited = after_wait_;
  after_wait_ =
      line.activity == Activity::WaitingForSlew || line.activity == Activity::WaitingForTracking;
  if (line.activity == Activity::Recapturing) {
    // The trace breaks at a re-capture: its target moves.
    last_measured_ = false;
    if (!waited && !std::isnan(line.error_ra)) Recaptured(line);
  } else if (std::isnan(line.error_ra)) {
    last_measured_ = false;
  } else {
    Measure(line);
  }
}

void Night::Count(const LogLine& line) {
  const double errors[2] = {line.error_ra, line.error_dec};
  for (int a = 0; a < 2; ++a) {
    AxisStats& axis = axes_[a];
    ++axis.samples;
    axis.sum_squares += errors[a] * errors[a];
    axis.max_abs = std::max(axis.max_abs, std::abs(errors[a]));
  }
}

void Night::Recaptured(const LogLine& line) {
  Count(line);
  recaptures_.push_back(
      {line.time_ms, {static_cast<float>(line.error_ra), static_cast<float>(line.error_dec)}});
}

void Night::Measure(const LogLine& line) {
  Count(line);
  measured_.push_back(
      {line.time_ms,
       {static_cast<float>(line.error_ra), static_cast<float>(line.error_dec)},
       {static_cast<float>(line.ra_pulse.ms), static_cast<float>(line.dec_pulse.ms)},
       {static_cast<std::int8_t>(line.ra_pulse.sign),
        static_cast<std::int8_t>(line.dec_pulse.sign)},
       !last_measured_});
  last_measured_ = true;
}

void Night::AddFrame(const LogLine& line) {
  const bool refused = line.frame_action == FrameAction::Refused;
  if (!tracking::Measured(line.frame_action) || !line.frame_mid_ms ||
      std::isnan(line.frame_drift_ra) || std::isnan(line.frame_drift_dec))
    return;
  frames_.push_back(
      {*line.frame_mid_ms,
       {static_cast<float>(line.frame_drift_ra), static_cast<float>(line.frame_drift_dec)},
       refused});
}

// A span runs from its first line to the first line not in it.
void Night::TrackSpans(const LogLine& line) {
  const bool waiting = line.event == Event::Cycle && line.activity != Activity::Holding;
  if (wait_open_ && (!waiting || waits_.back().activity != line.activity)) {
    waits_.back().end_ms = line.time_ms;
    wait_open_ = false;
  }
  if (waiting && !wait_open_) {
    waits_.push_back({line.time_ms, line.time_ms, line.activity, 0});
    wait_open_ = true;
  }

  const bool holding =
      (line.event == Event::Start || line.event == Event::Cycle) && !std::isnan(line.threshold);
  if (threshold_open_ && (!holding || thresholds_.back().threshold != line.threshold)) {
    thresholds_.back().end_ms = line.time_ms;
    threshold_open_ = false;
  }
  if (holding && !threshold_open_) {
    thresholds_.push_back({line.time_ms, line.time_ms, Activity::Holding, line.threshold});
    threshold_open_ = true;
    largest_threshold_ = std::max(largest_threshold_, line.threshold);
  }
}

void Night::Finish() {
  end_ms_ += kCycleMs;
  if (wait_open_) waits_.back().end_ms = end_ms_;
  if (threshold_open_) thresholds_.back().end_ms = end_ms_;
  wait_open_ = threshold_open_ = false;
}

Night ReadNight(std::istream& in, const SkipSink& skipped) {
  Night night;
  ReadLog(
      in, [&night](const LogLine& line) { night.Add(line); }, skipped);
  night.Finish();
  return night;
}

}  // namespace orvan::plot
