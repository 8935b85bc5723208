#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// What every point reader needs from text: lines, fields, numbers and
// sexagesimal angles, each checked, and the one way a reader fails.
namespace orvan::points {

// A file that cannot be read into points: what() is "FILE, line N: what is
// wrong" ("FILE: what is wrong" for the file as a whole).
class PointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws PointError "SOURCE, line N: WHAT" (or "SOURCE: WHAT" when line is 0).
[[noreturn]] void Fail(const std::string& source, int line, const std::string& what);

// `text` as lines, each without its line ending ("\n" or "\r\n").
std::vector<std::string_view> Lines(std::string_view text);
// Blank-separated fields (spaces and tabs).
std::vector<std::string_view> Fields(std::string_view line);
// What a message quotes of what was read: `text`, or its first 60 characters
// and "..." (a field can be a whole file long), never cut inside a UTF-8
// character.
std::string Shortened(std::string_view text);

// Where a reader is: the file and line it names in a failure.
struct At {
  const std::string& source;
  int line;
  [[noreturn]] void Fail(const std::string& what) const { points::Fail(source, line, what); }
};

// `field` in double quotes for a message, Shortened and escaped (EscapedText),
// with its whole length where it was cut: a runaway field does not flood the
// message, nor one read from a file forge it.
inline constexpr std::size_t kQuotedMost = 60;
std::string Quoted(std::string_view field);

// A decimal number, optionally signed, with an optional exponent, finite;
// else a failure naming `what`.
double Number(std::string_view field, const At& at, const std::string& what);
// Whether `field` reads as such a number, and the number where it does.
bool IsNumber(std::string_view field);
std::optional<double> NumberOf(std::string_view field);

// `hours` in [0, 24), `degrees` within +-limit, returned; else a failure
// naming `what`.
double InDayHours(double hours, const At& at, const std::string& what);
double WithinDegrees(double degrees, double limit, const At& at, const std::string& what);

// Sexagesimal angles from their fields, each part checked: whole units
// (hours 0..23 or degrees, with the sign of the whole angle written on the
// first field, "-0" included), then minutes and seconds each in [0, 60). A
// part before the last must be whole. `parts` is 2 or 3 (hours and minutes,
// or hours, minutes and seconds).
double Hours(const std::vector<std::string_view>& fields, std::size_t first, int parts,
             const At& at, const std::string& what);
// Degrees, within +-limit (90 for a sky declination, 270 for a mount's).
double Degrees(const std::vector<std::string_view>& fields, std::size_t first, double limit,
               const At& at, const std::string& what);

// "12:30:45.5" or "-5:07:00" (as INDI writes angles) in hours or degrees:
// the same checks, the fields split at ':'.
double ColonSexagesimal(std::string_view text, const At& at, const std::string& what);

}  // namespace orvan::points
