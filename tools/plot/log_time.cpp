// The log's times: UTC with milliseconds, 2026-12-08T21:04:08.123Z.
#include <string_view>

#include "log_reader.h"

namespace orvan::plot {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:dd.dddZ";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (after
// H. Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(std::int64_t y, int m) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

bool ParseLogTime(std::string_view text, std::int64_t& ms) {
  if (text.size() != kPattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return false;
  }
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2), milli = Digits(text, 20, 3);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  const std::int64_t seconds = DaysFromCivil(year, month, day) * kSecondsPerDay +
                               hour * kSecondsPerHour + minute * kSecondsPerMinute + second;
  ms = seconds * kMsPerSecond + milli;
  return true;
}

}  // namespace orvan::plot
