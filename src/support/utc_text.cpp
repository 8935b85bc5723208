#include "support/utc_text.h"

#include <cstdio>

namespace orvan {
namespace {

constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:dd";
constexpr int kLeapSecond = 60;
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;
constexpr std::size_t kNanosecondDigits = 9;
constexpr std::int64_t kNanosecondsPerMillisecond = 1'000'000;
constexpr double kNanosecondsPerSecond = 1e9;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// The fraction after the seconds, ".d..." up to the Z, in nanoseconds.
std::optional<std::int64_t> Fraction(std::string_view text) {
  if (text.empty()) return 0;
  if (text.size() < 2 || text[0] != '.') return std::nullopt;
  std::int64_t ns = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    if (i <= kNanosecondDigits) ns = ns * 10 + (text[i] - '0');
  }
  for (std::size_t i = text.size(); i <= kNanosecondDigits; ++i) ns *= 10;
  return ns;
}

}  // namespace

double UtcFields::Seconds() const {
  return second + static_cast<double>(nanoseconds) / kNanosecondsPerSecond;
}

UtcFields UtcFieldsOf(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto ns = floor<nanoseconds>(time);
  const auto day = floor<days>(ns);
  const year_month_day date(day);
  const hh_mm_ss clock(ns - day);
  return {int(date.year()),           int(unsigned(date.month())),  int(unsigned(date.day())),
          int(clock.hours().count()), int(clock.minutes().count()), int(clock.seconds().count()),
          clock.subseconds().count()};
}

std::string UtcText(std::chrono::system_clock::time_point time) {
  return UtcText(UtcFieldsOf(time));
}

std::string UtcText(const UtcFields& utc) {
  // Room for any year a time point can hold, so that nothing is cut.
  constexpr std::size_t kRoom = 64;
  char text[kRoom];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.year, utc.month,
                utc.day, utc.hour, utc.minute, utc.second,
                static_cast<int>(utc.nanoseconds / kNanosecondsPerMillisecond));
  return text;
}

std::string UtcNowText() {
  return UtcText(std::chrono::system_clock::now());
}

std::chrono::system_clock::time_point TimeOfJ2000Seconds(double seconds) {
  // Beyond what the clock's 64-bit count of nanoseconds holds (years 1678 to
  // 2261), the conversion would overflow: such a count is taken as the
  // nearest it holds, and one that is no number as the earliest.
  constexpr double kMostUnixSeconds = 9.2e9;
  double unix_seconds = seconds + kJ2000UnixSeconds;
  if (!(unix_seconds >= -kMostUnixSeconds)) unix_seconds = -kMostUnixSeconds;
  if (unix_seconds > kMostUnixSeconds) unix_seconds = kMostUnixSeconds;
  const auto since_epoch = std::chrono::duration<double>(unix_seconds);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch));
}

double J2000SecondsOf(std::chrono::system_clock::time_point time) {
  return std::chrono::duration<double>(time.time_since_epoch()).count() - kJ2000UnixSeconds;
}

double J2000SecondsNow() {
  return J2000SecondsOf(std::chrono::system_clock::now());
}

std::string UtcTextOfJ2000Seconds(double seconds) {
  return UtcText(TimeOfJ2000Seconds(seconds));
}

std::optional<UtcFields> ParseUtcText(std::string_view text) {
  if (text.size() <= kPattern.size() || text.back() != 'Z') return std::nullopt;
  for (std::size_t i = 0; i < kPattern.size(); ++i)
    if (kPattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != kPattern[i]) return std::nullopt;
  const auto ns = Fraction(text.substr(kPattern.size(), text.size() - kPattern.size() - 1));
  if (!ns) return std::nullopt;
  const UtcFields utc{Digits(text, 0, 4),
                      Digits(text, 5, 2),
                      Digits(text, 8, 2),
                      Digits(text, 11, 2),
                      Digits(text, 14, 2),
                      Digits(text, 17, 2),
                      *ns};
  using namespace std::chrono;
  const year_month_day date{year(utc.year), month(unsigned(utc.month)), day(unsigned(utc.day))};
  if (!date.ok() || utc.hour > kLastHour || utc.minute > kLastMinute) return std::nullopt;
  const bool month_end =
      date == year_month_day(year_month_day_last(date.year(), month_day_last(date.month())));
  if (utc.second > kLeapSecond ||
      (utc.second == kLeapSecond &&
       !(month_end && utc.hour == kLastHour && utc.minute == kLastMinute)))
    return std::nullopt;
  return utc;
}

std::int64_t UnixMilliseconds(const UtcFields& utc) {
  using namespace std::chrono;
  const sys_days date{year(utc.year) / month(unsigned(utc.month)) / day(unsigned(utc.day))};
  const auto time = date + hours(utc.hour) + minutes(utc.minute) + seconds(utc.second);
  return duration_cast<milliseconds>(time.time_since_epoch()).count() +
         utc.nanoseconds / kNanosecondsPerMillisecond;
}

}  // namespace orvan
