#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvan::plot {

struct PlotOptions {
  std::string log;
  std::string output;  // LOG with .png for its ending unless -o named one
  bool help = false;
};

struct ParsedPlotCommand {
  PlotOptions options;
  std::string error;  // empty when the command line is good
};

extern const char kPlotUsage[];

// The arguments after the program's name.
ParsedPlotCommand ParsePlotCommand(const std::vector<std::string_view>& args);

// LOG with its ending (after the last dot of its last part) replaced by .png,
// or with .png added when it has none.
std::string DefaultOutput(std::string_view log);

}  // namespace orvan::plot
