#include "plot_command_line.h"

#include "picture.h"

namespace orvan::plot {

const char kPlotUsage[] =
    "usage: orvanacp-plot LOG [-o FILE.png|FILE.svg]\n"
    "Draws a cycle log as a picture of the night: each axis' error against time\n"
    "with the threshold, the pulses, the waits and re-captures, the starts, stops,\n"
    "aborts and errors, and each axis' RMS, maximum and pulse count.\n"
    "  -o, --output FILE  the picture, PNG or SVG by its ending\n"
    "                     (default: LOG with .png for its ending)\n"
    "  -h, --help         this text\n";

std::string DefaultOutput(std::string_view log) {
  const std::size_t slash = log.find_last_of('/');
  const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = log.find_last_of('.');
  // A name's leading dot (.night) starts no ending.
  const bool has_ending = dot != std::string_view::npos && dot > name;
  return std::string(log.substr(0, has_ending ? dot : log.size())) + ".png";
}

ParsedPlotCommand ParsePlotCommand(const std::vector<std::string_view>& args) {
  ParsedPlotCommand parsed;
  PlotOptions& o = parsed.options;
  const auto fail = [&](std::string error) {
    parsed.error = std::move(error);
    return parsed;
  };
  bool output_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") {
      o.help = true;
      return parsed;
    }
    if (arg == "-o" || arg == "--output") {
      if (i + 1 == args.size()) return fail(std::string(arg) + " needs a FILE");
      o.output = args[++i];
      output_given = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + std::string(arg));
    } else if (!o.log.empty()) {
      return fail("one LOG only: " + o.log + " and " + std::string(arg));
    } else {
      o.log = arg;
    }
  }
  if (o.log.empty()) return fail("no LOG given");
  PictureFormat format = PictureFormat::Png;
  if (output_given && !FormatOf(o.output, format))
    return fail("the picture must end in .png or .svg: " + o.output);
  if (!output_given) o.output = DefaultOutput(o.log);
  if (o.output == o.log) return fail("the picture would replace the log " + o.log);
  return parsed;
}

}  // namespace orvan::plot
