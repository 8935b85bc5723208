#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <limits>
#include <string_view>

#include "read_error.h"
#include "tracking/log_columns.h"

namespace orvan::plot {

using tracking::kLogHeader;

enum class Event : std::uint8_t { Start, Cycle, Stop, Abort, Error };

// What a cycle did, as its status says.
enum class Activity : std::uint8_t { Holding, WaitingForSlew, WaitingForTracking, Recapturing };

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
};

// Reads a cycle log, handing each line of this version's sections to `take`
// in order. Lines under another version's header are skipped, and so are
// empty lines and lines a crash cut short (fewer fields than the header's),
// which are told to `skipped` with their number. Throws ReadError naming the
// line for anything else that is not as the format has it; a last line with
// no line end is not read.
void ReadLog(std::istream& in, const std::function<void(const LogLine&)>& take,
             const std::function<void(long, const std::string&)>& skipped = {});

// Milliseconds since 1970 of a time as the log writes it
// (2026-12-08T21:04:08.123Z); false when it is not one.
bool ParseLogTime(std::string_view text, std::int64_t& ms);

}  // namespace orvan::plot
