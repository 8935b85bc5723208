#pragma once

#include <cstdint>
#include <vector>

#include "log_reader.h"

namespace orvan::plot {

// One axis' figures over every cycle line that has errors, re-captures from
// holding among them.
struct AxisStats {
  long samples = 0;
  double sum_squares = 0;
  double max_abs = 0;     // arc-seconds
  long pulses_minus = 0;  // W or S
  long pulses_plus = 0;   // E or N
  double longest_pulse_ms = 0;

  long pulses() const { return pulses_minus + pulses_plus; }
  double rms() const;  // 0 with no samples
};

// A cycle that measured the errors, kept small: a night of a million lines
// stays a few tens of megabytes.
struct CycleRecord {
  std::int64_t time_ms;
  float error[2];     // right ascension, declination (arc-seconds)
  float pulse_ms[2];  // 0 when none
  std::int8_t pulse_sign[2];
  bool run_start;  // the line before was not a cycle with errors: the trace breaks here
};

// A re-capture from holding: the error it saw, beyond five thresholds, as it
// took the mount's position as the new target. One after a wait (a slew, or
// tracking off) saw where the mount was sent, no error of holding, and is
// neither drawn nor counted.
struct RecaptureRecord {
  std::int64_t time_ms;
  float error[2];  // right ascension, declination (arc-seconds)
};

// A stretch of time in one state: waiting, re-capturing, or holding at one
// threshold.
struct Span {
  std::int64_t begin_ms, end_ms;
  Activity activity;  // for a wait or a re-capture
  double threshold;   // for a threshold span
};

// A start, stop, abort or error line, or the first line on a new side of
// the pier.
struct Mark {
  std::int64_t time_ms;
  Event event;
  std::uint32_t error_number;
  PierSide side = PierSide::Unknown;  // for a change of side: the new one
};

// A frame measured against the reference frame: how far the image had
// drifted by the middle of its exposure.
struct FrameRecord {
  std::int64_t mid_ms;
  float drift[2];  // right ascension (times cos dec), declination: arc-seconds
  bool refused;    // a bad solve, not held by
};

// The night a log describes, built line by line as it is read: the figures
// over every line, and compact records to draw.
class Night {
 public:
  // The nominal cycle: how long the last line's wait is drawn.
  static constexpr std::int64_t kCycleMs = 4000;

  void Add(const LogLine& line);
  // Closes what the last line left open; call once after the last Add.
  void Finish();

  bool empty() const { return cycles_ == 0; }
  long cycles() const { return cycles_; }  // cycle lines, with errors or without
  std::int64_t begin_ms() const { return begin_ms_; }
  std::int64_t end_ms() const { return end_ms_; }
  const AxisStats& ra() const { return axes_[0]; }
  const AxisStats& dec() const { return axes_[1]; }
  double largest_threshold() const { return largest_threshold_; }
  const std::vector<CycleRecord>& measured() const { return measured_; }
  const std::vector<RecaptureRecord>& recaptures() const { return recaptures_; }
  const std::vector<Span>& waits() const { return waits_; }
  const std::vector<Span>& thresholds() const { return thresholds_; }
  const std::vector<Mark>& marks() const { return marks_; }
  const std::vector<FrameRecord>& frames() const { return frames_; }

 private:
  void Measure(const LogLine& line);
  void Recaptured(const LogLine& line);
  void Count(const LogLine& line);  // into the axes' figures
  void TrackSpans(const LogLine& line);
  void AddFrame(const LogLine& line);

  long cycles_ = 0;
  std::int64_t begin_ms_ = 0, end_ms_ = 0;
  AxisStats axes_[2];
  double largest_threshold_ = 0;
  bool last_measured_ = false;
  std::vector<CycleRecord> measured_;
  std::vector<RecaptureRecord> recaptures_;
  bool after_wait_ = false;  // the last cycle line waited for a slew or for tracking
  std::vector<Span> waits_, thresholds_;
  bool wait_open_ = false, threshold_open_ = false;
  PierSide side_ = PierSide::Unknown;  // the last side a line told
  std::vector<Mark> marks_;
  std::vector<FrameRecord> frames_;
};

// The night of a whole log, finished. Throws LineError.
Night ReadNight(std::istream& in, const SkipSink& skipped = {});

}  // namespace orvan::plot
