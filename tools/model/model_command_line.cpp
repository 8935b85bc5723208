#include "model_command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "fit.h"
#include "pointing/terms.h"
#include "support/air.h"
#include "support/numtext.h"

namespace orvan::model {
namespace {

// Where a site can be.
constexpr double kMostLatitude = 90;
constexpr double kMostLongitude = 360;
// A rejection limit below one RMS would drop the fit's own spread.
constexpr double kLeastRejectSigma = 1;
constexpr double kMostRejectSigma = 1000;

using Apply = bool (*)(std::string_view value, ModelOptions& o, std::string& error);

bool Number(std::string_view option, std::string_view v, Bounds bounds, double& out,
            std::string& error) {
  return OptionNumber(option, v, bounds.lo, bounds.hi, out, error);
}

bool ApplyTerms(std::string_view v, ModelOptions& o, std::string& error) {
  o.terms.clear();
  std::size_t start = 0;
  while (start <= v.size()) {
    const std::size_t comma = std::min(v.find(',', start), v.size());
    const std::string_view name = v.substr(start, comma - start);
    const std::optional<std::size_t> term = pointing::FindTerm(name);
    if (!term) {
      error = "unknown term in --terms: \"" + std::string(name) + "\"";
      return false;
    }
    if (std::find(o.terms.begin(), o.terms.end(), *term) != o.terms.end()) {
      error = std::string(name) + " is given twice in --terms";
      return false;
    }
    o.terms.push_back(*term);
    start = comma + 1;
  }
  return true;
}

template <std::optional<std::string> ModelOptions::*kFile>
bool SetFile(std::string_view v, ModelOptions& o, std::string&) {
  o.*kFile = std::string(v);
  return true;
}

struct Option {
  std::string_view name;
  std::string_view value;  // the value's name in the usage; empty: the option takes none
  Apply apply;
  std::string_view help;
  bool fit_only = false;
  std::optional<ReadSetting> setting = std::nullopt;  // the reading setting it gives, if any
};

constexpr bool kFitOnly = true;

constexpr std::array kOptions{
    Option{"--terms", "IH,ID,...", ApplyTerms, "fit: the terms (default IH,ID,CH,NP,MA,ME,TF)",
           kFitOnly},
    Option{"--reject", "SIGMA",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             double d = 0;
             if (!Number("--reject", v, {kLeastRejectSigma, kMostRejectSigma}, d, e)) return false;
             o.reject_sigma = d;
             return true;
           },
           "fit: drop the worst point while beyond SIGMA x RMS", kFitOnly},
    Option{"--longitude", "DEG",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             double d = 0;
             if (!Number("--longitude", v, {-kMostLongitude, kMostLongitude}, d, e)) return false;
             o.read.longitude_deg = d;
             return true;
           },
           "the site's longitude, east positive", !kFitOnly, ReadSetting::Longitude},
    Option{"--latitude", "DEG",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             double d = 0;
             if (!Number("--latitude", v, {-kMostLatitude, kMostLatitude}, d, e)) return false;
             o.read.latitude_deg = d;
             return true;
           },
           "the site's latitude, for point CSVs", !kFitOnly, ReadSetting::Latitude},
    Option{"--height", "M",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             return Number("--height", v, kHeightBoundsM, o.read.height_m, e);
           },
           "the site's height above sea level (default 0)", !kFitOnly, ReadSetting::Height},
    Option{"--pressure", "HPA",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             return Number("--pressure", v, kPressureBoundsHpa, o.read.pressure_hpa, e);
           },
           "air pressure for refraction (default 0: none)", !kFitOnly, ReadSetting::Pressure},
    Option{"--refraction", "air|none",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             if (v != "air" && v != "none") {
               e = "bad value for --refraction: " + std::string(v) + " (air or none)";
               return false;
             }
             o.read.refraction = v == "air";
             return true;
           },
           "none: the mount corrects refraction itself, so the fit\n"
           "takes none, whatever air the files give (default air)",
           !kFitOnly, ReadSetting::Refraction},
    Option{"--temperature", "C",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             return Number("--temperature", v, kTemperatureBoundsC, o.read.temperature_c, e);
           },
           "air temperature for refraction (default 10)", !kFitOnly, ReadSetting::Temperature},
    Option{"--humidity", "PERCENT",
           [](std::string_view v, ModelOptions& o, std::string& e) {
             double percent = 0;
             if (!Number("--humidity", v, kHumidityBoundsPercent, percent, e)) return false;
             o.read.relative_humidity = percent / kPercent;
             return true;
           },
           "relative humidity for refraction (default 0)", !kFitOnly, ReadSetting::Humidity},
    Option{"-o", "FILE.model", SetFile<&ModelOptions::output>, "fit: write the model file",
           kFitOnly},
    Option{"--residuals", "FILE.csv", SetFile<&ModelOptions::residuals>,
           "write each point's residuals as CSV"},
    Option{"--plot", "FILE.png|.svg", SetFile<&ModelOptions::plot>,
           "draw the residuals (sky arrows, histogram)"},
};

const Option* FindOption(std::string_view name) {
  for (const Option& option : kOptions)
    if (option.name == name) return &option;
  return nullptr;
}

// Takes the command's words: its options, and its files in `files`.
bool ParseWords(std::span<const std::string_view> args, ModelOptions& o,
                std::vector<std::string>& files, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!arg.starts_with('-') || arg == "-") {
      files.emplace_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    const Option* option = FindOption(arg);
    if (option == nullptr) {
      error = "unknown option " + std::string(arg);
      return false;
    }
    if (option->fit_only && o.command != Command::Fit) {
      error = std::string(arg) + " is for fit only";
      return false;
    }
    if (i + 1 == args.size() || args[i + 1].empty()) {
      error = std::string(arg) + " needs a value";
      return false;
    }
    if (!option->apply(args[++i], o, error)) return false;
    if (option->setting) o.given.push_back(*option->setting);
  }
  return true;
}

void DefaultTerms(ModelOptions& o) {
  for (std::string_view name : kDefaultTerms) o.terms.push_back(*pointing::FindTerm(name));
}

// Whether two names are one file: for files that exist, as the file system
// has them (links included); otherwise by their absolute paths, with the
// folders that exist resolved.
bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
  const auto resolved = [](const std::string& name) {
    std::error_code e;
    const fs::path absolute = fs::absolute(name, e).lexically_normal();
    const fs::path path = fs::weakly_canonical(absolute, e);
    return e ? absolute : path;
  };
  return resolved(a) == resolved(b);
}

struct NamedFile {
  std::string what;  // how a message names it: "-o", "the data file"
  std::string path;
};

}  // namespace

std::string_view OptionOf(ReadSetting setting) {
  for (const Option& option : kOptions)
    if (option.setting == setting) return option.name;
  return {};
}

std::string OutputClash(const ModelOptions& o) {
  std::vector<NamedFile> inputs;
  for (const std::string& file : o.data) inputs.push_back({"the data file", file});
  if (o.command == Command::Check) inputs.push_back({"the model file", o.model});
  std::vector<NamedFile> outputs;
  if (o.output) outputs.push_back({"-o", *o.output});
  if (o.residuals) outputs.push_back({"--residuals", *o.residuals});
  if (o.plot) outputs.push_back({"--plot", *o.plot});
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedFile& out = outputs[i];
    for (const NamedFile& in : inputs)
      if (SameFile(out.path, in.path))
        return out.what + " " + out.path + " is " + in.what + " " + in.path +
               ": it would be overwritten";
    for (std::size_t j = 0; j < i; ++j)
      if (SameFile(out.path, outputs[j].path))
        return out.what + " " + out.path + " is the same file as " + outputs[j].what + " " +
               outputs[j].path;
  }
  return {};
}

ParsedModelCommand ParseModelCommand(std::span<const std::string_view> args) {
  ParsedModelCommand parsed;
  ModelOptions& o = parsed.options;
  if (args.empty()) {
    parsed.error = "no command: fit or check";
    return parsed;
  }
  const std::string_view command = args.front();
  if (command == "--help" || command == "-h") {
    o.help = true;
    return parsed;
  }
  if (command == "--version") {
    o.version = true;
    return parsed;
  }
  if (command != "fit" && command != "check") {
    parsed.error = "unknown command " + std::string(command) + ": fit or check";
    return parsed;
  }
  o.command = command == "fit" ? Command::Fit : Command::Check;
  std::vector<std::string> files;
  if (!ParseWords(args.subspan(1), o, files, parsed.error) || o.help) return parsed;
  if (!o.read.refraction &&
      std::find(o.given.begin(), o.given.end(), ReadSetting::Pressure) != o.given.end()) {
    parsed.error = "--pressure and --refraction none contradict each other";
    return parsed;
  }
  if (o.command == Command::Check && !files.empty()) {
    o.model = files.front();
    files.erase(files.begin());
  }
  if (files.empty()) {
    parsed.error = o.command == Command::Fit ? "fit needs a file of points"
                                             : "check needs a model file and a file of points";
    return parsed;
  }
  o.data = std::move(files);
  if (o.terms.empty()) DefaultTerms(o);
  return parsed;
}

std::string ModelUsage() {
  std::string usage =
      "usage: orvanacp-model fit DATA... [option...]\n"
      "       orvanacp-model check MODEL DATA... [option...]\n"
      "       orvanacp-model --help | --version\n"
      "fit: fits the pointing model's terms to plate-solved points and prints\n"
      "their values, standard errors and the sky RMS; check: the RMS of the\n"
      "model file MODEL against the points.\n"
      "options:\n";
  for (const Option& option : kOptions) {
    std::string head = "  " + std::string(option.name);
    if (!option.value.empty()) head += " " + std::string(option.value);
    head.resize(std::max<std::size_t>(head.size() + 1, 28), ' ');
    usage += head + std::string(option.help) + "\n";
  }
  return usage;
}

}  // namespace orvan::model
