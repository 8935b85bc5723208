#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "observatory/pier_side.h"
#include "support/line_error.h"
#include "tracking/frame_note.h"
#include "tracking/log_columns.h"

namespace orvan::plot {

using tracking::kLogHeader;

// The log's events, and the one the reader finds between lines: the mount
// on the other side of the pier from the line before.
enum class Event : std::uint8_t { Start, Cycle, Stop, Abort, Error, SideChange, Frame, Mount };

// What a cycle did, as its status says.
enum class Activity : std::uint8_t { Holding, WaitingForSlew, WaitingForTracking, Recapturing };

using tracking::FrameAction;

struct Pulse {
  int sign = 0;  // +1 drives the error up (E, N), -1 down (W, S), 0: no pulse
  double ms = 0;
};

// One line of the log, with what a picture of the night needs from it.
struct LogLine {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

  long line = 0;
  std::int64_t time_ms = 0;  // since 1970-01-01T00:00:00Z
  Event event = Event::Cycle;
  Activity activity = Activity::Holding;
  double error_ra = kNone;  // arc-seconds; kNone when the field is empty
  double error_dec = kNone;
  double threshold = kNone;
  Pulse ra_pulse, dec_pulse;
  std::uint32_t error_number = 0;
  PierSide pier = PierSide::Unknown;  // Unknown also in a log from before pier_side
  // A frame line's: the middle of the exposure, and the drift on the sky in
  // arc-seconds (kNone when not given).
  FrameAction frame_action = FrameAction::Folder;
  std::optional<std::int64_t> frame_mid_ms;
  double frame_drift_ra = kNone;
  double frame_drift_dec = kNone;
};

using SkipSink = std::function<void(long line, const std::string& what)>;

// Reads a cycle log, handing each line of this version's sections (and the
// three versions' before, which had no frame columns, before that no air
// columns, and before that no pier_side) to `take` in order. Lines under
// another version's header are passed over, and so are empty lines. A line a
// crash cut short (fewer fields than the header's) and a damaged one (any
// field not as the format has it) are skipped and told to `skipped` with
// their number: one bad line must not cost the night's picture. Throws
// LineError only for a file that is not a cycle log (no header above its
// first line); a last line with no line end is not read.
void ReadLog(std::istream& in, const std::function<void(const LogLine&)>& take,
             const SkipSink& skipped = {});

// Collects the lines a read skipped: how many, and the first few with what
// was wrong with each, for the user.
class SkippedLines {
 public:
  static constexpr std::size_t kNamed = 5;

  void Add(long line, const std::string& what);
  SkipSink Sink() {
    return [this](long line, const std::string& what) { Add(line, what); };
  }
  long count() const { return count_; }
  // "FILE:LINE: WHAT" for each of the first kNamed, then "FILE: N lines
  // skipped"; nothing when none was.
  std::vector<std::string> Report(const std::string& file) const;

 private:
  long count_ = 0;
  std::vector<std::pair<long, std::string>> first_;
};

// Milliseconds since 1970 of a time as the log writes it
// (2026-12-08T21:04:08.123Z); false when it is not one.
bool ParseLogTime(std::string_view text, std::int64_t& ms);

}  // namespace orvan::plot
