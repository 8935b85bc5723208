#include "observatory/program/pointing_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "support/ascii.h"
#include "support/error.h"

namespace orvan::program {
namespace {

[[noreturn]] void Fail(std::string_view source, int line, const std::string& what) {
  throw Error(errors::kModelFileError, "pointing model " + std::string(source) + ", line " +
                                           std::to_string(line) + ": " + what);
}

constexpr std::string_view kTermNames[] = {"ih", "id", "ch", "np", "ma", "me", "tf"};
constexpr int kTermCount = 7;

int TermIndex(const std::string& lower_name) {
  for (int i = 0; i < kTermCount; ++i)
    if (kTermNames[i] == lower_name) return i;
  return -1;
}

double& TermAt(PointingTerms& t, int index) {
  switch (index) {
    case 0:
      return t.ih;
    case 1:
      return t.id;
    case 2:
      return t.ch;
    case 3:
      return t.np;
    case 4:
      return t.ma;
    case 5:
      return t.me;
    default:
      return t.tf;
  }
}

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

PointingTerms ParsePointingModel(std::string_view text, std::string_view source) {
  PointingTerms terms;
  bool seen[kTermCount] = {};
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
    const int index = TermIndex(AsciiLower(name));
    if (index < 0) Fail(source, number, "unknown term \"" + name + "\"");
    if (value.empty()) Fail(source, number, "no value for " + name);
    // from_chars takes no '+'; a sign written out is still a number.
    const std::string_view digits =
        value.size() > 1 && value[0] == '+' && value[1] != '-' ? value.substr(1) : value;
    double v = 0;
    const auto [rest, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || rest != digits.data() + digits.size() || !std::isfinite(v))
      Fail(source, number, "bad number \"" + std::string(value) + "\" for " + name);
    if (seen[index]) Fail(source, number, name + " given twice");
    seen[index] = true;
    TermAt(terms, index) = v;
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

}  // namespace orvan::program
