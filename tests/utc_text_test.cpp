// UTC as the logs and the point files write it, both ways. Expected counts
// of seconds are from date(1): date -u -d 2028-02-29T23:59:59Z +%s.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "support/utc_text.h"

namespace orvan {
namespace {

TEST(UtcText, MillisecondsTruncated) {
  using namespace std::chrono;
  const sys_days day = year{2026} / December / 8;
  const auto t = day + hours{21} + minutes{4} + seconds{8} + microseconds{123999};
  EXPECT_EQ(UtcText(time_point_cast<system_clock::duration>(t)), "2026-12-08T21:04:08.123Z");
  EXPECT_EQ(UtcText(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
  const std::string now = UtcNowText();
  EXPECT_EQ(now.size(), std::strlen("2026-12-08T21:04:08.123Z"));
  EXPECT_EQ(now.back(), 'Z');
}

// A count of seconds beyond what the clock holds is its nearest end, never
// an overflow: years 1678 and 2261 by date(1) for +-9.2e9 s from 1970.
TEST(UtcText, CountsBeyondTheClockAreItsEnds) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {
      {1e20, "2261-07-15T11:33:20.000Z"},
      {std::numeric_limits<double>::infinity(), "2261-07-15T11:33:20.000Z"},
      {-1e20, "1678-06-18T12:26:40.000Z"},
      {std::numeric_limits<double>::quiet_NaN(), "1678-06-18T12:26:40.000Z"},
      {0, "2000-01-01T12:00:00.000Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(UtcTextOfJ2000Seconds(c.seconds), c.text) << c.seconds;
}

TEST(ParseUtcText, TakesTheOneFormAndCountsFrom1970) {
  struct Case {
    const char* text;
    std::int64_t ms;
    std::int64_t ns;
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 0, 0},
      {"1970-01-01T00:00:00.000Z", 0, 0},
      {"2026-12-08T21:04:04.120Z", 1796763844120, 120000000},
      {"2026-12-08T21:04:04.1Z", 1796763844100, 100000000},
      {"2028-02-29T23:59:59.999Z", 1835481599999, 999000000},
      {"2028-02-29T23:59:59.9999999999Z", 1835481599999, 999999999},
      // A real leap second; as system_clock counts, the next day's first.
      {"2016-12-31T23:59:60.5Z", 1483228800500, 500000000},
  };
  for (const Case& c : cases) {
    const std::optional<UtcFields> utc = ParseUtcText(c.text);
    ASSERT_TRUE(utc) << c.text;
    EXPECT_EQ(UnixMilliseconds(*utc), c.ms) << c.text;
    EXPECT_EQ(utc->nanoseconds, c.ns) << c.text;
  }
  const std::optional<UtcFields> leap = ParseUtcText("2016-12-31T23:59:60.25Z");
  ASSERT_TRUE(leap);
  EXPECT_EQ(leap->Seconds(), 60.25);
}

TEST(ParseUtcText, RefusesAnythingElse) {
  for (const char* text : {
           "2026-12-08T21:04:08.123",    // no Z
           "2026-12-08 21:04:08Z",       // no T
           "2026-12-08T21:04:4.2e1Z",    // an exponent
           "2026-12-08T21:04:051Z",      // three digits of seconds
           "2026-12-08T21:04:08.Z",      // a point with no digits
           "2026-12-08T21:04:+8Z",       // a sign
           "26-12-08T21:04:08Z",         // a short year
           "2026-13-08T21:04:08Z",       // no such month
           "2027-02-29T21:04:08Z",       // no such day
           "2026-12-08T24:00:00Z",       // no such hour
           "2026-12-08T21:60:00Z",       // no such minute
           "2026-12-08T21:04:60Z",       // a leap second not at 23:59
           "2026-12-08T23:59:60Z",       // nor on a day that is not a month's last
           "2016-12-31T23:59:61Z",       // never
           "2026-12-08T21:04:08.123Z ",  // a blank after
           "",
       })
    EXPECT_FALSE(ParseUtcText(text)) << text;
}

}  // namespace
}  // namespace orvan
