#include "log_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "support/csv.h"
#include "support/utc_text.h"

namespace orvan::plot {

namespace {

using namespace tracking;  // the log's columns
using Column = LogColumn;
constexpr LogColumn kFirstPosition = kTargetRa, kLastPosition = kCurrentScopeDec;

constexpr std::string_view kTimeExample = "2026-12-08T21:04:08.123Z";

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// How each line's fields are checked and taken.
class LineParser {
 public:
  // `columns`: as many as the section's header has.
  LineParser(const std::vector<std::string_view>& fields, std::size_t columns, long line)
      : f_(fields), columns_(columns), line_(line) {}

  LogLine Parse() const;

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw LineError(line_, what); }
  double Number(Column column) const;
  Event EventOf() const;
  Pulse PulseOf(Column direction, Column ms, char minus, char plus) const;
  std::uint32_t ErrorNumber() const;
  void CheckPresence(const LogLine& l) const;
  PierSide SideOf() const;
  void ParseFrame(LogLine& l) const;

  const std::vector<std::string_view>& f_;
  std::size_t columns_;
  long line_;
};

double LineParser::Number(Column column) const {
  const std::string_view text = f_[column];
  if (text.empty()) return LogLine::kNone;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    Fail("bad number in " + std::string(kLogColumnNames[column]) + ": " + Quoted(text));
  // The log writes what the program held, "nan" and "inf" included; such a
  // value has no place on a chart.
  return std::isfinite(value) ? value : LogLine::kNone;
}

Event LineParser::EventOf() const {
  static constexpr std::array<std::pair<std::string_view, Event>, 7> kEvents = {{
      {"cycle", Event::Cycle},
      {"start", Event::Start},
      {"stop", Event::Stop},
      {"abort", Event::Abort},
      {"error", Event::Error},
      {"frame", Event::Frame},
      {"mount", Event::Mount},
  }};
  for (const auto& [name, event] : kEvents)
    if (f_[kEvent] == name) return event;
  Fail("unknown event " + Quoted(f_[kEvent]));
}

Activity ActivityOf(std::string_view status) {
  if (status == "Waiting for slew to complete") return Activity::WaitingForSlew;
  if (status == "Waiting for mount tracking to be enabled") return Activity::WaitingForTracking;
  if (status == "Updating target coordinates") return Activity::Recapturing;
  return Activity::Holding;
}

Pulse LineParser::PulseOf(Column direction, Column ms, char minus, char plus) const {
  const std::string_view d = f_[direction];
  const double length = Number(ms);
  const std::string name(kLogColumnNames[direction]);
  if (d.empty() != f_[ms].empty())
    Fail(d.empty() ? std::string(kLogColumnNames[ms]) + " without " + name
                   : name + " without " + std::string(kLogColumnNames[ms]));
  if (d.empty()) return {};
  if (d.size() != 1 || (d[0] != minus && d[0] != plus))
    Fail(name + " " + Quoted(d) + " is not " + minus + " or " + plus);
  if (length < 0) Fail(std::string(kLogColumnNames[ms]) + " is negative: " + Quoted(f_[ms]));
  return {d[0] == plus ? 1 : -1, length};
}

std::uint32_t LineParser::ErrorNumber() const {
  const std::string_view text = f_[kErrorNumber];
  if (text.empty()) return 0;
  constexpr std::size_t kMostDigits = 8;
  std::uint32_t value = 0;
  const char* digits = text.data() + 2;
  const char* end = text.data() + text.size();
  const bool prefixed = text.size() > 2 && text.size() <= 2 + kMostDigits && text[0] == '0' &&
                        (text[1] == 'x' || text[1] == 'X');
  if (!prefixed || std::from_chars(digits, end, value, 16).ptr != end)
    Fail("bad error_number " + Quoted(text) + " (expected a number such as 0x80040504)");
  return value;
}

void LineParser::CheckPresence(const LogLine& l) const {
  const bool holding = l.event == Event::Start || l.event == Event::Cycle;
  if (holding && std::isnan(l.threshold))
    Fail("threshold_arcsec is empty on a " + std::string(f_[kEvent]) + " line");
  if (f_[kErrorRaArcsec].empty() != f_[kErrorDecArcsec].empty())
    Fail(f_[kErrorRaArcsec].empty() ? "error_dec_arcsec without error_ra_arcsec"
                                    : "error_ra_arcsec without error_dec_arcsec");
  if (l.event == Event::Error && f_[kErrorNumber].empty()) Fail("error line without error_number");
}

PierSide LineParser::SideOf() const {
  if (columns_ <= kPierSide || f_[kPierSide].empty()) return PierSide::Unknown;
  if (f_[kPierSide] == "east") return PierSide::East;
  if (f_[kPierSide] == "west") return PierSide::West;
  Fail("pier_side " + Quoted(f_[kPierSide]) + " is not east or west");
}

std::string FrameActionList() {
  std::string list;
  for (const auto& [name, action] : tracking::kFrameActions)
    list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

// The frame columns are checked on every line, and taken from a frame line;
// a frame measured against the reference has its middle and its drift.
void LineParser::ParseFrame(LogLine& l) const {
  const std::string_view mid = f_[kFrameMid], action = f_[kFrameAction];
  std::int64_t mid_ms = 0;
  if (!mid.empty() && !ParseLogTime(mid, mid_ms))
    Fail("bad time in frame_mid " + Quoted(mid) + " (expected such as " +
         std::string(kTimeExample) + ")");
  const double ra = Number(kFrameDriftRaArcsec), dec = Number(kFrameDriftDecArcsec);
  if (f_[kFrameDriftRaArcsec].empty() != f_[kFrameDriftDecArcsec].empty())
    Fail(f_[kFrameDriftRaArcsec].empty() ? "frame_drift_dec_arcsec without frame_drift_ra_arcsec"
                                         : "frame_drift_ra_arcsec without frame_drift_dec_arcsec");
  const std::optional<FrameAction> known = tracking::FrameActionNamed(action);
  if (!action.empty() && !known)
    Fail("frame_action " + Quoted(action) + " is not one of " + FrameActionList());
  if (l.event != Event::Frame) return;
  if (action.empty()) Fail("frame line without frame_action");
  l.frame_action = *known;
  const bool measured = tracking::Measured(l.frame_action);
  if (measured && mid.empty()) Fail("frame_mid is empty on a " + std::string(action) + " frame");
  if (measured && f_[kFrameDriftRaArcsec].empty())
    Fail("frame_drift_ra_arcsec is empty on a " + std::string(action) + " frame");
  if (!mid.empty()) l.frame_mid_ms = mid_ms;
  l.frame_drift_ra = ra;
  l.frame_drift_dec = dec;
}

LogLine LineParser::Parse() const {
  if (f_.size() != columns_)
    Fail("expected " + std::to_string(columns_) + " fields, found " + std::to_string(f_.size()));
  LogLine l;
  l.line = line_;
  if (!ParseLogTime(f_[kTime], l.time_ms))
    Fail("bad time " + Quoted(f_[kTime]) + " (expected such as " + std::string(kTimeExample) + ")");
  l.event = EventOf();
  l.activity = ActivityOf(f_[kStatus]);
  for (std::size_t c = kFirstPosition; c <= kLastPosition; ++c) Number(static_cast<Column>(c));
  // The air is not drawn, but a line whose air is not a number is damaged.
  for (std::size_t c = kAirTemperatureC; c < std::min<std::size_t>(columns_, kFrameFile); ++c)
    Number(static_cast<Column>(c));
  l.error_ra = Number(kErrorRaArcsec);
  l.error_dec = Number(kErrorDecArcsec);
  l.threshold = Number(kThresholdArcsec);
  if (l.threshold < 0) Fail("threshold_arcsec is negative: " + Quoted(f_[kThresholdArcsec]));
  l.ra_pulse = PulseOf(kRaPulse, kRaPulseMs, 'W', 'E');
  l.dec_pulse = PulseOf(kDecPulse, kDecPulseMs, 'S', 'N');
  l.error_number = ErrorNumber();
  l.pier = SideOf();
  if (columns_ > kFrameAction) {
    ParseFrame(l);
  } else if (l.event == Event::Frame) {
    Fail("frame line under a header without the frame columns");
  }
  CheckPresence(l);
  return l;
}

// The columns of this version's header, or of the three before; 0 for any
// other line.
std::size_t HeaderColumns(const std::vector<std::string_view>& fields) {
  if (fields.size() != kLogColumns && fields.size() != kLogColumnsWithoutFrames &&
      fields.size() != kLogColumnsWithoutAir && fields.size() != kLogColumnsWithoutSide)
    return 0;
  for (std::size_t c = 0; c < fields.size(); ++c)
    if (fields[c] != kLogColumnNames[c]) return 0;
  return fields.size();
}

// Another version's header: its first columns are this version's.
bool IsOtherHeader(const std::vector<std::string_view>& fields) {
  return fields.size() >= 2 && fields[kTime] == kLogColumnNames[kTime] &&
         fields[kEvent] == kLogColumnNames[kEvent];
}

}  // namespace

bool ParseLogTime(std::string_view text, std::int64_t& ms) {
  // The log's own form, with its milliseconds; nothing else is written there.
  constexpr std::size_t kLogTimeLength = std::string_view("2026-12-08T21:04:08.123Z").size();
  if (text.size() != kLogTimeLength) return false;
  const std::optional<UtcFields> utc = ParseUtcText(text);
  if (utc) ms = UnixMilliseconds(*utc);
  return utc.has_value();
}

void ReadLog(std::istream& in, const std::function<void(const LogLine&)>& take,
             const SkipSink& skipped) {
  CsvReader csv(in);
  std::vector<std::string_view> fields;
  enum class Section { None, Ours, Other } section = Section::None;
  std::size_t columns = 0;  // of the section's header
  const auto skip = [&](const std::string& what) {
    if (skipped) skipped(csv.line(), what);
  };
  // In a log, a line that cannot be split (a stray quote) is skipped like any
  // damaged line; one the reader cannot get past (longer than it takes) ends
  // the reading there, with what was read before it kept.
  long unsplit = 0;
  const auto next = [&] {
    for (;;) {
      try {
        return csv.Next(fields);
      } catch (const LineError& e) {
        if (section == Section::None) throw;
        if (e.line() == unsplit) return false;
        unsplit = e.line();
        if (skipped) skipped(e.line(), e.what());
      }
    }
  };
  while (next()) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // the end of a line cut short
    if (const std::size_t header = HeaderColumns(fields); header != 0) {
      section = Section::Ours;
      columns = header;
    } else if (IsOtherHeader(fields)) {
      section = Section::Other;
    } else if (section == Section::None) {
      throw LineError(csv.line(), "not a cycle log: no header line (" +
                                      std::string(kLogHeader.substr(0, kLogHeader.find(",t"))) +
                                      ",...) above this line");
    } else if (section == Section::Ours && fields.size() < columns) {
      // A line a crash cut short: the program ends it before its next line.
      skip("cut short");
    } else if (section == Section::Ours) {
      LogLine line;
      try {
        line = LineParser(fields, columns, csv.line()).Parse();
      } catch (const LineError& e) {
        skip(e.what());
        continue;
      }
      take(line);
    }
  }
}

void SkippedLines::Add(long line, const std::string& what) {
  ++count_;
  if (first_.size() < kNamed) first_.emplace_back(line, what);
}

std::vector<std::string> SkippedLines::Report(const std::string& file) const {
  std::vector<std::string> report;
  if (count_ == 0) return report;
  for (const auto& [line, what] : first_)
    report.push_back(file + ":" + std::to_string(line) + ": " + what);
  std::string total =
      file + ": " + std::to_string(count_) + (count_ == 1 ? " line" : " lines") + " skipped";
  if (count_ > static_cast<long>(first_.size()))
    total += " (the first " + std::to_string(first_.size()) + " named above)";
  report.push_back(total);
  return report;
}

}  // namespace orvan::plot
