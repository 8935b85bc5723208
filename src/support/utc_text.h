#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// UTC as text, one form both ways: 2026-12-08T21:04:08.123Z.
namespace orvan {

// A UTC moment as written: the civil date and the time of day.
struct UtcFields {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;  // 60 in a leap second
  std::int64_t nanoseconds;

  double Seconds() const;  // the second with its fraction
};

// A time point as written, to its nanosecond.
UtcFields UtcFieldsOf(std::chrono::system_clock::time_point time);

// `time` as UTC with milliseconds, truncated: 2026-12-08T21:04:08.123Z.
std::string UtcText(std::chrono::system_clock::time_point time);
std::string UtcText(const UtcFields& utc);
// The time now, so written.
std::string UtcNowText();

// The program's clock counts seconds of UTC since J2000.0,
// 2000-01-01T12:00:00Z: this many seconds after 1970-01-01T00:00:00Z.
inline constexpr double kJ2000UnixSeconds = 946728000.0;
// Such a count as a time point, and as UTC with milliseconds; a count beyond
// the years 1678 to 2261 as the nearest of them.
std::chrono::system_clock::time_point TimeOfJ2000Seconds(double seconds);
// A time point as such a count; the system's clock now, so counted.
double J2000SecondsOf(std::chrono::system_clock::time_point time);
double J2000SecondsNow();
std::string UtcTextOfJ2000Seconds(double seconds);

// "YYYY-MM-DDTHH:MM:SS[.s...]Z" and nothing else: four-digit year, two-digit
// month, day, hour, minute and second, a fraction of one digit or more
// (beyond nine digits, truncated), the Z. The date must exist. A second of
// 60 is taken only at 23:59 on the last day of a month, the one place a leap
// second can stand; whether that day had one is for a leap-second table
// (ERFA's) to say. Empty for anything else.
std::optional<UtcFields> ParseUtcText(std::string_view text);

// Milliseconds since 1970-01-01T00:00:00Z, the fraction truncated, counting
// days of 86,400 s as system_clock does: a leap second reads as the first
// second of the next day.
std::int64_t UnixMilliseconds(const UtcFields& utc);

}  // namespace orvan
