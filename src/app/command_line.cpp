#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "support/air.h"
#include "support/numtext.h"

namespace orvan::app {
namespace {

constexpr int kHighestPort = 65535;

bool ParsePort(std::string_view text, int& out) {
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, out);
  return r.ec == std::errc() && r.ptr == end && out >= 1 && out <= kHighestPort;
}

// Takes an option's value into the options; false, with the reason in
// `error`, when the value is refused. Options without a value get none.
using Apply = bool (*)(std::string_view value, Options& o, std::string& error);

// HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
bool ApplyIndi(std::string_view v, Options& o, std::string& error) {
  std::string_view host = v;
  std::optional<std::string_view> port;
  if (v.starts_with('[')) {
    const std::size_t close = v.find(']');
    host = close == std::string_view::npos ? std::string_view() : v.substr(1, close - 1);
    const std::string_view rest = close == std::string_view::npos ? "" : v.substr(close + 1);
    if (rest.starts_with(':'))
      port = rest.substr(1);
    else if (!rest.empty())
      host = {};
  } else if (const std::size_t colon = v.find(':'); colon != std::string_view::npos) {
    host = v.substr(0, colon);
    port = v.substr(colon + 1);
  }
  if (port && !ParsePort(*port, o.indi_port)) {
    error = "bad port in --indi " + std::string(v);
    return false;
  }
  if (host.empty()) {
    error = "bad host in --indi " + std::string(v);
    return false;
  }
  o.indi_host = std::string(host);
  return true;
}

// A switch: the option alone sets it.
template <bool Options::*kFlag>
bool SetFlag(std::string_view, Options& o, std::string&) {
  o.*kFlag = true;
  return true;
}

// A text taken as it is.
template <std::optional<std::string> Options::*kText>
bool SetText(std::string_view v, Options& o, std::string&) {
  o.*kText = std::string(v);
  return true;
}

bool ApplyDevice(std::string_view v, Options& o, std::string& error) {
  if (v.empty()) {
    error = "--device needs a name";
    return false;
  }
  o.device = std::string(v);
  return true;
}

// A number within its bounds: the air, within what a telescope can work in;
// a pixel scale; a limit.
bool ApplyNumber(std::string_view option, std::string_view v, Bounds bounds,
                 std::optional<double>& out, std::string& error) {
  double d = 0;
  if (!OptionNumber(option, v, bounds.lo, bounds.hi, d, error)) return false;
  out = d;
  return true;
}

// Which axes move the other way west of the pier.
bool ApplyReversed(std::string_view v, Options& o, std::string& error) {
  static constexpr std::array<std::pair<std::string_view, ReversedAxes>, 4> kAxes = {{
      {"dec", {false, true}},
      {"ra", {true, false}},
      {"both", {true, true}},
      {"none", {false, false}},
  }};
  for (const auto& [name, axes] : kAxes) {
    if (v != name) continue;
    o.reverse_on_pier_west = axes;
    return true;
  }
  error = "bad value for --reverse-on-pier-west: " + std::string(v) + " (dec, ra, both or none)";
  return false;
}

// A name the option must be given (a file, a folder, a device), or the
// option is refused with `kRefusal`.
template <std::optional<std::string> Options::*kName, const char* kRefusal>
bool SetName(std::string_view v, Options& o, std::string& error) {
  if (v.empty()) {
    error = kRefusal;
    return false;
  }
  o.*kName = std::string(v);
  return true;
}
constexpr char kNoLog[] = "--log needs a file name";
constexpr char kNoPoints[] = "--points needs a file name";
constexpr char kNoWeather[] = "--weather needs a device name";
constexpr char kNoFrames[] = "--frames needs a folder";

bool ApplySolver(std::string_view v, Options& o, std::string& error) {
  if (v != "astrometry" && v != "none") {
    error = "bad value for --solver: " + std::string(v) + " (astrometry or none)";
    return false;
  }
  o.solve_frames = v == "astrometry";
  return true;
}

bool ApplyFramesWcs(std::string_view v, Options& o, std::string& error) {
  if (v != "marked" && v != "solved") {
    error = "bad value for --frames-wcs: " + std::string(v) + " (marked or solved)";
    return false;
  }
  o.any_frame_wcs = v == "solved";
  return true;
}

// Guide rates mounts offer: from a hundredth of the sidereal rate to a few
// times it.
constexpr Bounds kGuideRateBounds{0.01, 5};

// A pixel from a hundredth of an arc-second (a long focus) to a degree; an
// outlier limit from a tenth of an arc-second to a degree.
constexpr Bounds kPixelScaleBounds{0.01, 3600};
constexpr Bounds kOutlierBounds{0.1, 3600};
// From not at all to an hour for a frame still being written.
constexpr Bounds kFramesWaitBounds{0, 3600};

bool ApplyTraceIndi(std::string_view v, Options& o, std::string&) {
  o.trace_indi = std::string(v);
  return true;
}

struct Option {
  std::string_view name;
  // The value's name in the usage; empty: the option takes none. One that
  // starts "[=" is optional and comes in the same argument (--name=VALUE);
  // any other is the next argument.
  std::string_view value;
  Apply apply;
  std::string_view help;  // its lines, for the usage
  bool windows = false;   // OrvanACP.exe takes it too
};

constexpr bool kBoth = true;

constexpr std::array kOptions{
    Option{"--indi", "HOST[:PORT]", ApplyIndi,
           "use the telescope of an INDI server (port 7624 by default)"},
    Option{"--device", "NAME", ApplyDevice,
           "the INDI telescope device (default \"Telescope Simulator\")"},
    Option{"--reverse-on-pier-west", "dec|ra|both|none", ApplyReversed,
           "the axes whose guide pulses move the INDI mount the\n"
           "other way west of the pier; left out, the first pulses\n"
           "tell"},
    Option{"--guide-rate", "X",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--guide-rate", v, kGuideRateBounds, o.guide_rate, error);
           },
           "the INDI mount's guide rate, in times the sidereal\n"
           "rate, where the mount does not tell its own"},
    Option{"--model", "FILE", SetText<&Options::model_file>,
           "pointing-model terms, by TPOINT's names (IH, ID, CH,\n"
           "NP, MA, ME, TF, FO, DAF, TX, HCES, HCEC, DCES, DCEC)"},
    Option{"--pressure", "HPA",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--pressure", v, kPressureBoundsHpa, o.pressure_hpa, error);
           },
           "air pressure at the telescope, for refraction"},
    Option{"--temperature", "C",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--temperature", v, kTemperatureBoundsC, o.temperature_c, error);
           },
           "air temperature at the telescope, for refraction"},
    Option{"--humidity", "PERCENT",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--humidity", v, kHumidityBoundsPercent, o.humidity_percent, error);
           },
           "relative humidity at the telescope, for refraction"},
    Option{"--weather", "DEVICE", SetName<&Options::weather, kNoWeather>,
           "read the air live from this INDI weather device on\n"
           "the --indi server; what it lacks is the air above"},
    Option{"--sim-truth", "FILE", SetText<&Options::sim_truth_file>,
           "the simulated mount's own terms, which the program\n"
           "does not know (a model file, as for --model)"},
    Option{"--sim-german", "", SetFlag<&Options::sim_german>,
           "the simulated mount is a German mount: slewed east\n"
           "of the meridian, it looks through the pole"},
    Option{"--headless", "", SetFlag<&Options::headless>,
           "run without a window: print each change of the status\n"
           "text, each message, each guide pulse and the error\n"
           "report, one time-stamped line each; end on SIGINT or\n"
           "SIGTERM"},
    Option{"--threshold", "TEXT", SetText<&Options::threshold>,
           "the maximum allowable error, as if typed into the box", kBoth},
    Option{"--start", "", SetFlag<&Options::start>,
           "start holding once the link to the telescope is up", kBoth},
    Option{"--log", "FILE", SetName<&Options::log_file, kNoLog>,
           "append a CSV line for each correction cycle, start,\n"
           "stop and error to FILE",
           kBoth},
    Option{"--points", "FILE", SetName<&Options::points_file, kNoPoints>,
           "append each sync another client makes on the INDI\n"
           "mount, and each frame solved, to FILE, a point CSV\n"
           "for orvanacp-model"},
    Option{"--rates", "", SetFlag<&Options::rates>,
           "while holding, track at the rates the pointing model\n"
           "predicts; pulses take out the rest"},
    Option{"--frames", "DIR", SetName<&Options::frames_dir, kNoFrames>,
           "hold the image still by the FITS frames written to DIR\n"
           "and the folders made in it: each frame, plate-solved,\n"
           "says how far the image drifted",
           kBoth},
    Option{"--solver", "astrometry|none", ApplySolver,
           "how frames without a WCS in their header are solved:\n"
           "astrometry.net's solve-field (the default), or not"},
    Option{"--frames-wcs", "marked|solved", ApplyFramesWcs,
           "which WCS in a frame's header is a plate solve: one a\n"
           "solver marked (the default), or any (the capture\n"
           "program solves every frame)"},
    Option{"--pixel-scale", "ARCSEC",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--pixel-scale", v, kPixelScaleBounds, o.pixel_scale_arcsec, error);
           },
           "a frame's pixel on the sky, to hint the solver"},
    Option{"--frames-center", "", SetFlag<&Options::frames_center>,
           "the frames bring the target itself to their middle", kBoth},
    Option{"--frames-outlier", "ARCSEC",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--frames-outlier", v, kOutlierBounds, o.frames_outlier_arcsec,
                                error);
           },
           "a frame this far from where it should be is a bad\n"
           "solve (default: 10\" or 10 times the threshold)",
           kBoth},
    Option{"--frames-wait", "SECONDS",
           [](std::string_view v, Options& o, std::string& error) {
             return ApplyNumber("--frames-wait", v, kFramesWaitBounds, o.frames_wait_s, error);
           },
           "how long a frame shorter than its header declares\n"
           "is waited for before it is read as it is (default 60)"},
    Option{"--trace", "", SetFlag<&Options::trace>,
           "write every observatory access to standard error"},
    Option{"--trace-indi", "[=FILE]", ApplyTraceIndi,
           "write every INDI message sent and received to\n"
           "standard error, or append it to FILE"},
    Option{"--help", "", SetFlag<&Options::help>, "show this text", kBoth},
    Option{"--version", "", SetFlag<&Options::version>, "show the program's version", kBoth},
};

constexpr std::string_view kUsageHead = R"(usage: orvanacp [OPTION...]
Holds a telescope on target with guide pulses computed from the pointing model.
With no option it opens its window on a built-in simulated observatory.

)";
constexpr std::string_view kWindowsUsageHead = R"(usage: OrvanACP.exe [OPTION...]
Holds a telescope on target with guide pulses, beside ACP.
With no option it opens its window and waits for Start.

)";
constexpr std::size_t kOptionIndent = 2;
constexpr std::size_t kHelpColumn = 23;

bool Takes(Program program, const Option& option) {
  return program == Program::Linux || option.windows;
}

bool ValueOptional(const Option& option) {
  return option.value.starts_with("[=");
}

// The option as the usage names it: "--log FILE", "--trace-indi[=FILE]".
std::string Synopsis(const Option& option) {
  std::string text(option.name);
  if (!option.value.empty()) text += (ValueOptional(option) ? "" : " ") + std::string(option.value);
  return text;
}

// For a terminal: each option's help in a column beside its name.
std::string ConsoleUsage() {
  std::string text(kUsageHead);
  for (const Option& option : kOptions) {
    std::string line = std::string(kOptionIndent, ' ') + Synopsis(option);
    // A name too long for the column has its help start on the next line.
    if (line.size() >= kHelpColumn) {
      text += line + "\n";
      line.clear();
    }
    line.resize(kHelpColumn, ' ');
    // Each further line of the help starts in the same column.
    for (const char c : option.help)
      line += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    text += line + "\n";
  }
  return text;
}

// For a message box, whose font is proportional: no columns, each option's
// name on a line of its own above its help, a blank line between options and
// none at the end.
std::string MessageBoxUsage() {
  std::string text(kWindowsUsageHead);
  std::string_view between;
  for (const Option& option : kOptions) {
    if (!Takes(Program::Windows, option)) continue;
    text += between;
    text += Synopsis(option) + "\n" + std::string(option.help);
    between = "\n\n";
  }
  return text;
}

}  // namespace

std::string_view Usage(Program program) {
  static const std::string linux_text = ConsoleUsage();
  static const std::string windows_text = MessageBoxUsage();
  return program == Program::Linux ? linux_text : windows_text;
}

Parsed ParseCommandLine(std::span<const std::string_view> args, Program program) {
  Parsed p;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> given;  // --name=VALUE
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
      given = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    const auto option = std::ranges::find(kOptions, arg, &Option::name);
    if (option == kOptions.end() || !Takes(program, *option) ||
        (given && !ValueOptional(*option))) {
      p.error = "unknown option " + std::string(args[i]);
      return p;
    }
    std::string_view value;
    if (ValueOptional(*option)) {
      if (given && given->empty()) {
        p.error = std::string(args[i]) + " needs a file name";
        return p;
      }
      value = given.value_or("");
    } else if (!option->value.empty()) {
      // Any other value is the next argument.
      if (i + 1 >= args.size()) {
        p.error = std::string(arg) + " needs a value";
        return p;
      }
      value = args[++i];
    }
    if (!option->apply(value, p.options, p.error)) return p;
  }
  if (p.options.trace_indi && !p.options.indi_host) p.error = "--trace-indi needs --indi";
  if (p.options.weather && !p.options.indi_host) p.error = "--weather needs --indi";
  if (p.options.guide_rate && !p.options.indi_host) p.error = "--guide-rate needs --indi";
  if (p.options.points_file && !p.options.indi_host && !p.options.frames_dir)
    p.error = "--points needs --indi or --frames";
  const Options& o = p.options;
  if (!o.frames_dir && (!o.solve_frames || o.any_frame_wcs || o.pixel_scale_arcsec ||
                        o.frames_center || o.frames_outlier_arcsec || o.frames_wait_s))
    p.error = program == Program::Windows
                  ? "--frames-center and --frames-outlier need --frames"
                  : "--solver, --frames-wcs, --pixel-scale, --frames-center, --frames-outlier "
                    "and --frames-wait need --frames";
  // The simulated world's truth means nothing to a real mount.
  if (p.options.indi_host && (p.options.sim_truth_file || p.options.sim_german))
    p.error = "--sim-truth and --sim-german are for the simulated observatory, not --indi";
  return p;
}

}  // namespace orvan::app
