#include "support/numtext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "support/error.h"

namespace orvan {

std::string NumberToText(double value, char decimal) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // also for -0

  // d.dddddddddddddde[+-]XX: 15 significant digits, correctly rounded, no locale.
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  const bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  const std::size_t e = sci.find('e');
  std::string digits;
  digits += sci[0];
  digits += sci.substr(2, e - 2);
  int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent < 15) {
    if (exponent < 0) {
      out += '0';
      out += decimal;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto whole = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
      } else {
        out += digits.substr(0, whole);
        out += decimal;
        out += digits.substr(whole);
      }
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += decimal;
    out += digits.substr(1);
  }
  out += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out += '0';
  out += std::to_string(magnitude);
  return out;
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A power of ten no double comes near, either way.
constexpr long long kBeyondAnyDouble = 400;

// The mantissa's significant digits (leading and trailing zeros dropped) and
// the power of ten of the first of them, counted exactly however long the
// text: value = 0.significant × 10^point.
struct Mantissa {
  std::string significant;
  long long point = 0;
};

// Reads the digits and the one separator from `i` on; raises a type mismatch
// when there is no digit at all.
Mantissa ScanMantissa(std::string_view text, std::size_t& i, char decimal) {
  Mantissa m;
  std::size_t trailing_zeros = 0;  // zeros seen after the last non-zero digit
  int mantissa_digits = 0;
  bool separator = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      ++mantissa_digits;
      if (c == '0' && m.significant.empty()) {
        if (separator) --m.point;  // 0.00d: the first digit moves right
        continue;
      }
      if (!separator) ++m.point;
      if (c == '0') {
        ++trailing_zeros;
      } else {
        m.significant.append(trailing_zeros, '0');
        trailing_zeros = 0;
        m.significant += c;
      }
    } else if ((c == decimal || c == '.') && !separator) {
      separator = true;
    } else {
      break;
    }
  }
  if (mantissa_digits == 0) errors::TypeMismatch();
  return m;
}

// Reads an exponent (e or E, a sign, digits) from `i` on, if there is one;
// zero when there is none. It saturates far beyond any double, where only its
// sign matters.
long long ScanExponent(std::string_view text, std::size_t& i) {
  constexpr long long kSaturated = 1'000'000'000'000'000LL;
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    int exp_digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exp_digits)
      if (exponent < kSaturated) exponent = exponent * 10 + (text[i] - '0');
    if (exp_digits == 0) errors::TypeMismatch();
    if (exp_negative) exponent = -exponent;
  }
  return exponent;
}

// The value of the significant digits with the first of them at 10^magnitude.
double Convert(bool negative, const std::string& significant, long long magnitude) {
  const double zero = negative ? -0.0 : 0.0;
  // Far outside the range of a double the answer is known without converting.
  if (magnitude > kBeyondAnyDouble) errors::Overflow();
  if (magnitude < -kBeyondAnyDouble) return zero;

  // One short canonical form from_chars reads exactly: digits, then the power
  // of ten of the last of them.
  const long long last_power = magnitude - static_cast<long long>(significant.size());
  std::string plain = negative ? "-" : "";
  plain += significant;
  plain += 'e';
  plain += std::to_string(last_power);
  double value = 0;
  const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    // from_chars reports underflow and overflow alike; only a value too large
    // is an error, one too small is zero.
    if (magnitude > 0) errors::Overflow();
    return zero;
  }
  if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) errors::TypeMismatch();
  if (std::isinf(value)) errors::Overflow();
  return value;
}

}  // namespace

double TextToNumber(std::string_view text, char decimal) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const Mantissa mantissa = ScanMantissa(text, i, decimal);
  const long long exponent = ScanExponent(text, i);
  if (i != text.size()) errors::TypeMismatch();

  if (mantissa.significant.empty()) return negative ? -0.0 : 0.0;
  // The value lies in [10^(point-1), 10^point) × 10^exponent.
  const long long magnitude = mantissa.point + exponent;  // both far below the type's limit
  return Convert(negative, mantissa.significant, magnitude);
}

std::string ShortestText(double value) {
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string ArcsecText(double arcsec) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f\"", arcsec);
  return text;
}

bool OptionNumber(std::string_view option, std::string_view text, double lo, double hi, double& out,
                  std::string& error) {
  const char* end = text.data() + text.size();
  double value = 0;
  const auto r = std::from_chars(text.data(), end, value);
  if (r.ec == std::errc() && r.ptr == end && std::isfinite(value) && value >= lo && value <= hi) {
    out = value;
    return true;
  }
  error = "bad value for " + std::string(option) + ": " + std::string(text);
  return false;
}

}  // namespace orvan
