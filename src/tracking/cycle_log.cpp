#include "tracking/cycle_log.h"

#include <array>
#include <utility>

#include "support/csv.h"
#include "support/escaped_text.h"
#include "support/numtext.h"
#include "support/utc_text.h"

namespace orvan::tracking {
namespace {

using Fields = std::array<std::string, kLogColumns>;

std::string_view EventName(RecordKind kind) {
  switch (kind) {
    case RecordKind::Start:
      return "start";
    case RecordKind::Stop:
      return "stop";
    case RecordKind::Abort:
      return "abort";
    case RecordKind::Cycle:
      break;
  }
  return "cycle";
}

std::string_view SideName(PierSide side) {
  switch (side) {
    case PierSide::East:
      return "east";
    case PierSide::West:
      return "west";
    case PierSide::Unknown:
      break;
  }
  return "";
}

void Put(Fields& fields, LogColumn ra, const std::optional<AxisPair>& pair) {
  if (!pair) return;
  fields[ra] = ShortestText(pair->ra);
  fields[ra + 1] = ShortestText(pair->dec);
}

void Put(Fields& fields, LogColumn direction, const std::optional<SentPulse>& pulse) {
  if (!pulse) return;
  fields[direction] = std::string(1, DirectionLetter(pulse->direction));
  fields[direction + 1] = ShortestText(pulse->milliseconds);
}

void Put(Fields& fields, const std::optional<AirUsed>& air) {
  if (!air) return;
  fields[kAirTemperatureC] = ShortestText(air->temperature_c);
  fields[kAirPressureHpa] = ShortestText(air->pressure_hpa);
  fields[kAirHumidityPercent] = ShortestText(air->humidity_percent);
}

Fields Begin(std::string_view time, std::string_view event, std::string_view status) {
  Fields fields;
  fields[kTime] = time;
  fields[kEvent] = event;
  fields[kStatus] = status;
  return fields;
}

std::string Join(const Fields& fields) {
  return CsvRecord(fields) + std::string(kLogLineEnd);
}

}  // namespace

std::string RecordLine(std::string_view time, const CycleRecord& record, std::string_view status) {
  Fields fields = Begin(time, EventName(record.kind), status);
  Put(fields, kTargetRa, record.target);
  Put(fields, kCurrentRa, record.current);
  Put(fields, kTargetScopeRa, record.target_scope);
  Put(fields, kCurrentScopeRa, record.current_scope);
  Put(fields, kErrorRaArcsec, record.error_arcsec);
  if (record.threshold_arcsec) fields[kThresholdArcsec] = ShortestText(*record.threshold_arcsec);
  Put(fields, kRaPulse, record.ra_pulse);
  Put(fields, kDecPulse, record.dec_pulse);
  fields[kPierSide] = SideName(record.pier_side);
  Put(fields, record.air);
  return Join(fields);
}

std::string ErrorReportLine(std::string_view time, const Error& error, std::string_view status) {
  Fields fields = Begin(time, "error", status);
  fields[kErrorNumber] = HexNumber(error.number());
  fields[kErrorText] = error.description();
  return Join(fields);
}

std::string FrameLine(std::string_view time, const FrameNote& note, std::string_view status) {
  Fields fields = Begin(time, "frame", status);
  fields[kFrameFile] = PrintableText(note.file);
  if (note.mid) fields[kFrameMid] = UtcTextOfJ2000Seconds(*note.mid);
  if (note.drift_arcsec) {
    fields[kFrameDriftRaArcsec] = ShortestText(note.drift_arcsec->ra);
    fields[kFrameDriftDecArcsec] = ShortestText(note.drift_arcsec->dec);
  }
  fields[kFrameAction] = FrameActionName(note.action);
  fields[kErrorText] = PrintableText(note.reason);
  return Join(fields);
}

std::string MountLine(std::string_view time, std::string_view note, std::string_view status) {
  Fields fields = Begin(time, "mount", status);
  fields[kErrorText] = PrintableText(note);
  return Join(fields);
}

std::string ContinuationOf(std::string_view head, std::string_view tail) {
  if (head.empty()) return std::string(kLogHeader) + std::string(kLogLineEnd);
  std::string lead;
  if (!tail.ends_with('\n')) lead += kLogLineEnd;
  const bool ours = head.starts_with(kLogHeader) && head.substr(kLogHeader.size()) == kLogLineEnd;
  if (!ours) lead += std::string(kLogHeader) + std::string(kLogLineEnd);
  return lead;
}

CycleLog::CycleLog(std::unique_ptr<Appendable> out, std::string name, std::string lead,
                   ClockText now, FailureSink failed)
    : out_(std::move(out)),
      name_(std::move(name)),
      lead_(std::move(lead)),
      now_(now ? std::move(now) : ClockText(UtcNowText)),
      on_failure_(std::move(failed)) {}

std::unique_ptr<CycleLog> CycleLog::Open(const std::string& path, ClockText now, FailureSink failed,
                                         std::string& error) {
  std::string reason;
  std::unique_ptr<AppendFile> file = AppendFile::Open(path, reason);
  if (!file) {
    error = "cannot open log " + path + ": " + reason;
    return nullptr;
  }
  std::string lead = ContinuationOf(file->Head(kLogHeader.size() + kLogLineEnd.size()),
                                    file->Tail(kLogLineEnd.size()));
  return std::make_unique<CycleLog>(std::move(file), path, std::move(lead), std::move(now),
                                    std::move(failed));
}

void CycleLog::AlsoOnFailure(FailureSink also) {
  on_failure_ = [first = std::move(on_failure_), also = std::move(also)](const std::string& m) {
    if (first) first(m);
    if (also) also(m);
  };
}

void CycleLog::Record(const CycleRecord& record, std::string_view status) noexcept {
  try {
    if (!side_ && !air_) {
      Write(RecordLine(now_(), record, status));
      return;
    }
    CycleRecord told = record;
    if (side_) told.pier_side = side_->SideOfPier();
    // A record that mapped used the air the observatory last mapped with.
    if (air_ && (record.target_scope || record.current_scope)) told.air = air_->LastAirUsed();
    Write(RecordLine(now_(), told, status));
  } catch (...) {
    // Out of memory for a line: the line is lost, the run goes on.
  }
}

void CycleLog::RecordError(const Error& error, std::string_view status) noexcept {
  try {
    Write(ErrorReportLine(now_(), error, status));
  } catch (...) {
  }
}

void CycleLog::RecordFrame(const FrameNote& note, std::string_view status) noexcept {
  try {
    Write(FrameLine(now_(), note, status));
  } catch (...) {
  }
}

void CycleLog::RecordMount(std::string_view note, std::string_view status) noexcept {
  try {
    Write(MountLine(now_(), note, status));
  } catch (...) {
  }
}

void CycleLog::Write(const std::string& line) noexcept {
  try {
    std::string reason;
    // The lead goes in the same write as the line, so neither is left alone.
    if (out_->Append(lead_.empty() ? line : lead_ + line, reason)) {
      lead_.clear();
      return;
    }
    // What the failed write left is unknown: the next line that gets through
    // ends whatever part of a line is there, and repeats the header.
    lead_ = std::string(kLogLineEnd) + std::string(kLogHeader) + std::string(kLogLineEnd);
    if (failed_) return;
    failed_ = true;
    if (on_failure_) on_failure_("cannot write log " + name_ + ": " + reason);
  } catch (...) {
  }
}

}  // namespace orvan::tracking
