#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "observatory/pier_side.h"

// The programs' command lines, from one table. The Linux program with none
// opens the window on the built-in simulated observatory; OrvanACP.exe takes
// the few options an observatory's script needs to start it for a night, and
// with none behaves as it always has.
namespace orvan::app {

enum class Program { Linux, Windows };

struct Options {
  // An INDI telescope instead of the simulated one.
  std::optional<std::string> indi_host;
  int indi_port = 7624;
  std::string device = "Telescope Simulator";
  // The axes an INDI mount moves the other way west of the pier, where known.
  std::optional<ReversedAxes> reverse_on_pier_west;
  // The guide rate, times sidereal, of an INDI mount that does not tell it.
  std::optional<double> guide_rate;
  // The pointing model and the air, for either observatory.
  std::optional<std::string> model_file;
  std::optional<double> pressure_hpa;
  std::optional<double> temperature_c;
  std::optional<double> humidity_percent;
  // The air read live from this INDI weather device, on the --indi server.
  std::optional<std::string> weather;
  // The simulated observatory's own truth: its mount's terms, and a German
  // mount.
  std::optional<std::string> sim_truth_file;
  bool sim_german = false;

  bool headless = false;
  std::optional<std::string> threshold;  // as if typed into the entry box
  bool start = false;                    // a click on Start once the link is up
  bool trace = false;                    // every observatory access to standard error
  // Every INDI message sent and received, appended to this file; empty:
  // to standard error.
  std::optional<std::string> trace_indi;
  std::optional<std::string> log_file;  // the cycle log, appended to
  // Every sync another client makes on an INDI mount, appended as a point.
  std::optional<std::string> points_file;
  bool rates = false;  // model tracking by custom rates
  // Holding by the frames written to this folder: solved by solve-field
  // where their headers have no WCS (unless solve_frames is off), at a pixel
  // scale given or found; the target itself the reference where
  // frames_center; a bad solve beyond frames_outlier_arcsec.
  std::optional<std::string> frames_dir;
  bool solve_frames = true;
  // Every WCS a header has is a solve, not only one a solver marked.
  bool any_frame_wcs = false;
  std::optional<double> pixel_scale_arcsec;
  bool frames_center = false;
  std::optional<double> frames_outlier_arcsec;
  // How long a frame shorter than its header declares is waited for.
  std::optional<double> frames_wait_s;
  bool help = false;
  bool version = false;
};

// The options, or the reason the command line is refused.
struct Parsed {
  Options options;
  std::string error;  // empty when the command line is good
};

// `args` without the program's name; only the options `program` takes.
Parsed ParseCommandLine(std::span<const std::string_view> args, Program program = Program::Linux);

// The Linux program's for a terminal, in columns; OrvanACP.exe's for a
// message box, in short lines.
std::string_view Usage(Program program = Program::Linux);
inline constexpr std::string_view kVersionText = "OrvanACP 1.00";

}  // namespace orvan::app
