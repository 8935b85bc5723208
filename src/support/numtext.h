#pragma once

#include <string>
#include <string_view>

namespace orvan {

// The text of a number as the window shows it: 15 significant digits, correctly
// rounded, trailing zeros dropped, no grouping, `decimal` as the separator.
// Zero and magnitudes from 0.0001 up to 10^15 are plain decimals; others use a
// mantissa and an exponent of two or more digits ("1E-05", "1.5E+16").
std::string NumberToText(double value, char decimal);

// The threshold the user typed, as an 8-byte float. Accepts surrounding blanks,
// an optional sign, digits with at most one decimal separator (`decimal` or '.'),
// and an optional exponent. Anything else raises "Type mismatch"; a magnitude
// beyond the 8-byte range raises "Overflow".
double TextToNumber(std::string_view text, char decimal);

// The shortest text that reads back to the same double (std::to_chars with no
// format), as transcripts write numbers.
std::string ShortestText(double value);

// Arc-seconds to a tenth, with the seconds mark, as messages give them: 12.0"
std::string ArcsecText(double arcsec);

// A command-line option's number: the whole of `text` a decimal as
// std::from_chars reads it, finite and within [lo, hi]. Else false, with
// "bad value for OPTION: TEXT" in `error`.
bool OptionNumber(std::string_view option, std::string_view text, double lo, double hi, double& out,
                  std::string& error);

}  // namespace orvan
