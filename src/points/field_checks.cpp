#include "points/text_fields.h"

#include <cmath>

#include "support/ascii.h"
#include "support/numtext.h"
#include "support/units.h"

// A point file's lines and fields, and the checks that fail its reader at
// its file and line; apart from the plain text helpers, which programs that
// read no points link alone.
namespace orvan::points {
namespace {

constexpr double kSexagesimalBase = 60;

// The magnitude of an angle from whole units, minutes and seconds, with its
// sign taken from the first field's text (so "-0 30" is negative).
double Sexagesimal(const std::vector<std::string_view>& fields, std::size_t first, int parts,
                   const At& at, const std::string& what) {
  if (first + static_cast<std::size_t>(parts) > fields.size()) at.Fail("no " + what);
  double magnitude = 0;
  double scale = 1;
  const bool negative = !fields[first].empty() && fields[first][0] == '-';
  for (int i = 0; i < parts; ++i) {
    const std::string_view field = fields[first + static_cast<std::size_t>(i)];
    const double value = Number(field, at, what);
    if (i > 0 && (value < 0 || value >= kSexagesimalBase || field[0] == '+' || field[0] == '-'))
      at.Fail(what + ": " + Quoted(field) + " is not in [0, 60)");
    if (i + 1 < parts && value != std::trunc(value))
      at.Fail(what + ": " + Quoted(field) + " should be a whole number");
    magnitude += std::fabs(value) / scale;
    scale *= kSexagesimalBase;
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  }
  return lines;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string_view::npos) {
    const auto end = line.find_first_of(" \t", at);
    fields.push_back(line.substr(at, end == std::string_view::npos ? end : end - at));
    at = end;
  }
  return fields;
}

void Fail(const std::string& source, int line, const std::string& what) {
  throw PointError(line > 0 ? source + ", line " + std::to_string(line) + ": " + what
                            : source + ": " + what);
}

double Number(std::string_view field, const At& at, const std::string& what) {
  const std::optional<double> value = NumberOf(field);
  if (!value) at.Fail(what + ": " + Quoted(field) + " is not a number");
  return *value;
}

double InDayHours(double hours, const At& at, const std::string& what) {
  if (hours < 0 || hours >= kHoursPerTurn) at.Fail(what + " is not in [0, 24) hours");
  return hours;
}

double WithinDegrees(double degrees, double limit, const At& at, const std::string& what) {
  if (std::fabs(degrees) > limit)
    at.Fail(what + " is beyond +-" + ShortestText(limit) + " degrees");
  return degrees;
}

double Hours(const std::vector<std::string_view>& fields, std::size_t first, int parts,
             const At& at, const std::string& what) {
  return InDayHours(Sexagesimal(fields, first, parts, at, what), at, what);
}

double Degrees(const std::vector<std::string_view>& fields, std::size_t first, double limit,
               const At& at, const std::string& what) {
  return WithinDegrees(Sexagesimal(fields, first, 3, at, what), limit, at, what);
}

double ColonSexagesimal(std::string_view text, const At& at, const std::string& what) {
  std::vector<std::string_view> parts;
  text = Trim(text);
  for (std::size_t begin = 0;;) {
    const auto colon = text.find(':', begin);
    parts.push_back(text.substr(begin, colon == std::string_view::npos ? colon : colon - begin));
    if (colon == std::string_view::npos) break;
    begin = colon + 1;
  }
  if (parts.size() > 3) at.Fail(what + ": " + Quoted(text) + " has too many parts");
  return Sexagesimal(parts, 0, static_cast<int>(parts.size()), at, what);
}

}  // namespace orvan::points
