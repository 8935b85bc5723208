#include "pointing/model_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "support/ascii.h"
#include "support/error.h"
#include "support/numtext.h"

namespace orvan::pointing {
namespace {

[[noreturn]] void Fail(std::string_view source, int line, const std::string& what) {
  throw Error(errors::kModelFileError, "pointing model " + std::string(source) + ", line " +
                                           std::to_string(line) + ": " + what);
}

// The value written after a term's name, or a failure naming the line.
double ParseValue(std::string_view value, const std::string& name, std::string_view source,
                  int line) {
  if (value.empty()) Fail(source, line, "no value for " + name);
  // from_chars takes no '+'; a sign written out is still a number.
  const std::string_view digits =
      value.size() > 1 && value[0] == '+' && value[1] != '-' ? value.substr(1) : value;
  double v = 0;
  const auto [rest, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || rest != digits.data() + digits.size() || !std::isfinite(v))
    Fail(source, line, "bad number \"" + std::string(value) + "\" for " + name);
  return v;
}

}  // namespace

PointingTerms ParsePointingModel(std::string_view text, std::string_view source) {
  PointingTerms terms;
  std::array<bool, kTermCount> seen{};
  int number = 0;
  while (!text.empty()) {
    ++number;
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;

    const auto gap = line.find_first_of(" \t");
    const std::string name(line.substr(0, gap));
    const std::string_view value =
        gap == std::string_view::npos ? std::string_view{} : Trim(line.substr(gap));
    const std::optional<std::size_t> index = FindTerm(name);
    if (!index) Fail(source, number, "unknown term \"" + name + "\"");
    const double v = ParseValue(value, name, source, number);
    if (seen[*index]) Fail(source, number, name + " given twice");
    seen[*index] = true;
    terms.value[*index] = v;
  }
  return terms;
}

PointingTerms LoadPointingModel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(errors::kModelFileError, "pointing model " + path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParsePointingModel(text.str(), path);
}

std::string FormatPointingModel(const PointingTerms& terms, const ModelFileNotes& notes) {
  std::string out;
  for (const std::string& header : notes.header) {
    std::string_view rest = header;
    for (;;) {  // a note of several lines is several comments
      const auto end = rest.find('\n');
      out += "# " + std::string(Trim(rest.substr(0, end))) + "\n";
      if (end == std::string_view::npos) break;
      rest = rest.substr(end + 1);
    }
  }
  for (std::size_t i = 0; i < kTermCount; ++i) {
    if (terms.value[i] == 0 && !notes.sigma[i]) continue;
    std::string name(Terms()[i].name);
    name.resize(6, ' ');
    // The shortest text that reads back to the same double.
    out += name + ShortestText(terms.value[i]);
    if (notes.sigma[i]) out += "  # +- " + ShortestText(*notes.sigma[i]);
    out += "\n";
  }
  return out;
}

}  // namespace orvan::pointing
