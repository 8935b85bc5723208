// orvanacp-plot's command line.
#include <gtest/gtest.h>

#include "plot/plot_command_line.h"

namespace orvan::plot {
namespace {

TEST(PlotCommandLine, ThePictureIsTheLogAsAPngByDefault) {
  const ParsedPlotCommand p = ParsePlotCommand({"logs/night.csv"});
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.options.log, "logs/night.csv");
  EXPECT_EQ(p.options.output, "logs/night.png");
  EXPECT_FALSE(p.options.help);
}

TEST(PlotCommandLine, OutputNamedEitherWay) {
  EXPECT_EQ(ParsePlotCommand({"-o", "a.svg", "n.csv"}).options.output, "a.svg");
  EXPECT_EQ(ParsePlotCommand({"n.csv", "--output", "b.PNG"}).options.output, "b.PNG");
}

TEST(PlotCommandLine, Help) {
  EXPECT_TRUE(ParsePlotCommand({"x", "--help"}).options.help);
}

TEST(PlotCommandLine, Errors) {
  EXPECT_EQ(ParsePlotCommand({}).error, "no LOG given");
  EXPECT_EQ(ParsePlotCommand({"a.csv", "b.csv"}).error, "one LOG only: a.csv and b.csv");
  EXPECT_EQ(ParsePlotCommand({"a.csv", "-o"}).error, "-o needs a FILE");
  EXPECT_EQ(ParsePlotCommand({"a.csv", "--size", "9"}).error, "unknown option --size");
  EXPECT_EQ(ParsePlotCommand({"a.csv", "-o", "a.jpg"}).error,
            "the picture must end in .png or .svg: a.jpg");
  EXPECT_EQ(ParsePlotCommand({"night.png"}).error, "the picture would replace the log night.png");
}

TEST(PlotCommandLine, DefaultOutput) {
  EXPECT_EQ(DefaultOutput("night.csv"), "night.png");
  EXPECT_EQ(DefaultOutput("a.b.csv"), "a.b.png");
  EXPECT_EQ(DefaultOutput("night"), "night.png");
  EXPECT_EQ(DefaultOutput("logs.v2/night"), "logs.v2/night.png");
  EXPECT_EQ(DefaultOutput(".night"), ".night.png");
}

}  // namespace
}  // namespace orvan::plot
