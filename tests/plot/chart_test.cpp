// The chart's scales.
#include <gtest/gtest.h>

#include "plot/chart.h"

namespace orvan::plot {
namespace {

TEST(Chart, NiceSteps) {
  EXPECT_EQ(NiceStep(10, 5), 2);
  EXPECT_EQ(NiceStep(4, 6), 1);
  EXPECT_EQ(NiceStep(4, 2), 2);
  EXPECT_EQ(NiceStep(1000, 3), 500);
  EXPECT_EQ(NiceCeil(1.26), 2);
  EXPECT_EQ(NiceCeil(3), 5);
  EXPECT_EQ(NiceCeil(5), 5);
  EXPECT_EQ(NiceCeil(6), 10);
  EXPECT_EQ(NiceCeil(266.5), 500);
}

TEST(Chart, TimeStepsAClockReads) {
  EXPECT_EQ(TimeStep(3720, 12), 600);  // 62 minutes: every 10 minutes
  EXPECT_EQ(TimeStep(36000, 12), 3600);
  EXPECT_EQ(TimeStep(50, 12), 5);
  EXPECT_EQ(TimeStep(7 * 86400, 12), 86400);
}

TEST(Chart, PanelMapsTimesAndValuesToPixels) {
  const Panel panel(QRectF(100, 50, 200, 100), {10, 30}, {-2, 2});
  EXPECT_EQ(panel.X(10), 100);
  EXPECT_EQ(panel.X(20), 200);
  EXPECT_EQ(panel.Y(2), 50);
  EXPECT_EQ(panel.Y(0), 100);
  EXPECT_EQ(panel.Y(-9), 150);  // beyond the range: at the edge
  EXPECT_EQ(panel.columns(), 200);
  EXPECT_EQ(panel.Column(10), 0);
  EXPECT_EQ(panel.Column(20.05), 100);
  EXPECT_EQ(panel.Column(30), 199);
}

}  // namespace
}  // namespace orvan::plot
