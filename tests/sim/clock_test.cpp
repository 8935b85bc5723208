#include <gtest/gtest.h>

#include "observatory/program/clock.h"

namespace orvan::program {
namespace {

TEST(Clock, DateConversionMatchesJulianDates) {
  // JD 2446895.5 is 1987-04-10 0h UT; J2000.0 is JD 2451545.0.
  EXPECT_DOUBLE_EQ(SecondsSinceJ2000(1987, 4, 10, 0.0), (2446895.5 - 2451545.0) * 86400);
  EXPECT_DOUBLE_EQ(SecondsSinceJ2000(2000, 1, 1, 12.0), 0.0);
}

}  // namespace
}  // namespace orvan::program
