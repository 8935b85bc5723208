#include "app/command_line.h"

#include <charconv>
#include <cmath>

namespace orvan::app {
namespace {

bool ParseNumber(std::string_view text, double lo, double hi, double& out) {
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, out);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(out) && out >= lo && out <= hi;
}

bool ParsePort(std::string_view text, int& out) {
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, out);
  return r.ec == std::errc() && r.ptr == end && out >= 1 && out <= 65535;
}

}  // namespace

std::string_view Usage() {
  return R"(usage: orvanacp [OPTION...]
Holds a telescope on target with guide pulses computed from the pointing model.
With no option it opens its window on a built-in simulated observatory.

  --indi HOST[:PORT]   use the telescope of an INDI server (port 7624 by default)
  --device NAME        the INDI telescope device (default "Telescope Simulator")
  --model FILE         pointing-model terms (IH, ID, CH, NP, MA, ME, TF)
  --pressure HPA       air pressure at the telescope, for refraction
  --temperature C      air temperature at the telescope, for refraction
  --headless           run without a window: print each change of the status
                       text, each message and the error report, one
                       time-stamped line each; end on SIGINT or SIGTERM
  --threshold TEXT     the maximum allowable error, as if typed into the box
  --start              start holding once the link to the telescope is up
  --trace              write every observatory access to standard error
  --help               show this text
  --version            show the program's version
)";
}

Parsed ParseCommandLine(std::span<const std::string_view> args) {
  Parsed p;
  Options& o = p.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    // Options that take a value take the next argument.
    auto value = [&](std::string_view& out) {
      if (i + 1 >= args.size()) {
        p.error = std::string(arg) + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string_view v;
    if (arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--start") {
      o.start = true;
    } else if (arg == "--trace") {
      o.trace = true;
    } else if (arg == "--indi") {
      if (!value(v)) return p;
      // HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
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
        p.error = "bad port in --indi " + std::string(v);
        return p;
      }
      if (host.empty()) {
        p.error = "bad host in --indi " + std::string(v);
        return p;
      }
      o.indi_host = std::string(host);
    } else if (arg == "--device") {
      if (!value(v)) return p;
      if (v.empty()) {
        p.error = "--device needs a name";
        return p;
      }
      o.device = std::string(v);
    } else if (arg == "--model") {
      if (!value(v)) return p;
      o.model_file = std::string(v);
    } else if (arg == "--pressure" || arg == "--temperature") {
      if (!value(v)) return p;
      const bool pressure = arg == "--pressure";
      double d = 0;
      // The ranges of air a telescope can work in.
      if (!(pressure ? ParseNumber(v, 0, 1200, d) : ParseNumber(v, -80, 60, d))) {
        p.error = "bad value for " + std::string(arg) + ": " + std::string(v);
        return p;
      }
      (pressure ? o.pressure_hpa : o.temperature_c) = d;
    } else if (arg == "--threshold") {
      if (!value(v)) return p;
      o.threshold = std::string(v);
    } else {
      p.error = "unknown option " + std::string(arg);
      return p;
    }
  }
  return p;
}

}  // namespace orvan::app
