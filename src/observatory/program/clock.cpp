#include "observatory/program/clock.h"

#include "observatory/units.h"
#include "support/utc_text.h"

namespace orvan::program {

double SystemClock::Now() {
  return J2000SecondsNow();
}

double SecondsSinceJ2000(int year, int month, int day, double hours) {
  // Days from the civil date (proleptic Gregorian), counted from 1970-01-01.
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = static_cast<long>(era) * 146097 + doe - 719468;
  return static_cast<double>(days - 10957) * kSecondsPerDay + (hours - 12.0) * kSecondsPerHour;
}

}  // namespace orvan::program
