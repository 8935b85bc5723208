#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "support/append_file.h"
#include "support/error.h"
#include "tracking/cycle_record.h"
#include "tracking/frame_note.h"
#include "tracking/log_columns.h"

// The cycle log: one CSV line for each thing a handler did (docs/log-format.md).
namespace orvan::tracking {

// A record's line, and the run-time error report's, each with its line end.
std::string RecordLine(std::string_view time, const CycleRecord& record, std::string_view status);
std::string ErrorReportLine(std::string_view time, const Error& error, std::string_view status);
// A frame's line: event "frame", the reason in error_text.
std::string FrameLine(std::string_view time, const FrameNote& note, std::string_view status);
// A note on the mount (its pulses not moving it, or moving it again): event
// "mount", the note in error_text.
std::string MountLine(std::string_view time, std::string_view note, std::string_view status);

// What goes before the first new line of a file that starts with `head` (at
// least the header's length and a line end, as far as the file has them) and
// ends with `tail`: a line end when the last line was cut short, the header
// when the file does not start with this version's.
std::string ContinuationOf(std::string_view head, std::string_view tail);

// The log of one run. It only records: a failed write is reported once and
// the run goes on; nothing here raises.
class CycleLog {
 public:
  using ClockText = std::function<std::string()>;
  using FailureSink = std::function<void(const std::string& message)>;

  // `name` names the log in the failure message; `lead` goes before the first line.
  CycleLog(std::unique_ptr<Appendable> out, std::string name, std::string lead, ClockText now,
           FailureSink failed);

  // The file at `path`, appended to; null, with "cannot open log PATH: REASON"
  // in `error`, when it can't be opened. `now` defaults to the UTC clock.
  static std::unique_ptr<CycleLog> Open(const std::string& path, ClockText now, FailureSink failed,
                                        std::string& error);

  // Adds `also` to those told when a write fails; it is told after the ones
  // added before it.
  void AlsoOnFailure(FailureSink also);
  // Where each record's side of the pier is read as it is written.
  void ReadSideFrom(std::shared_ptr<PierSideSource> side) { side_ = std::move(side); }
  // Where the air is read for each record that mapped (has mapped positions).
  void ReadAirFrom(std::shared_ptr<AirUsedSource> air) { air_ = std::move(air); }

  void Record(const CycleRecord& record, std::string_view status) noexcept;
  void RecordError(const Error& error, std::string_view status) noexcept;
  void RecordFrame(const FrameNote& note, std::string_view status) noexcept;
  void RecordMount(std::string_view note, std::string_view status) noexcept;

  // Whether a write has failed since the log was opened.
  bool failed() const { return failed_; }

 private:
  void Write(const std::string& line) noexcept;

  std::unique_ptr<Appendable> out_;
  std::string name_;
  std::string lead_;
  ClockText now_;
  FailureSink on_failure_;
  std::shared_ptr<PierSideSource> side_;
  std::shared_ptr<AirUsedSource> air_;
  bool failed_ = false;
};

}  // namespace orvan::tracking
