#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The Linux program's command line. With none it opens the window on the
// built-in simulated observatory.
namespace orvan::app {

struct Options {
  // An INDI telescope instead of the simulated one.
  std::optional<std::string> indi_host;
  int indi_port = 7624;
  std::string device = "Telescope Simulator";
  // The pointing model and the air, for either observatory.
  std::optional<std::string> model_file;
  std::optional<double> pressure_hpa;
  std::optional<double> temperature_c;

  bool headless = false;
  std::optional<std::string> threshold;  // as if typed into the entry box
  bool start = false;                    // a click on Start once the link is up
  bool trace = false;                    // every observatory access to standard error
  bool help = false;
  bool version = false;
};

// The options, or the reason the command line is refused.
struct Parsed {
  Options options;
  std::string error;  // empty when the command line is good
};

Parsed ParseCommandLine(std::span<const std::string_view> args);  // without the program name

std::string_view Usage();
inline constexpr std::string_view kVersionText = "OrvanACP 1.00";

}  // namespace orvan::app
