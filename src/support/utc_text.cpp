#include "support/utc_text.h"

#include <cstdio>

namespace orvan {

std::string UtcText(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(time);
  const auto day = floor<days>(ms);
  const year_month_day date(day);
  const hh_mm_ss clock(ms - day);
  // Room for any year a time point can hold, so that nothing is cut.
  constexpr std::size_t kRoom = 64;
  char text[kRoom];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                int(clock.minutes().count()), int(clock.seconds().count()),
                int(clock.subseconds().count()));
  return text;
}

std::string UtcNowText() {
  return UtcText(std::chrono::system_clock::now());
}

}  // namespace orvan
