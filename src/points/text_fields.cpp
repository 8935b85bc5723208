#include "points/text_fields.h"

#include <charconv>
#include <cmath>

#include "support/escaped_text.h"

namespace orvan::points {
namespace {

// A UTF-8 byte that continues a character: 10xxxxxx.
constexpr unsigned char kUtf8TailMask = 0xC0, kUtf8Tail = 0x80;

// std::from_chars, which takes no plus sign, after an optional one.
bool ParseNumber(std::string_view field, double& value) {
  if (field.starts_with('+')) {
    field.remove_prefix(1);
    if (field.starts_with('+') || field.starts_with('-')) return false;
  }
  const char* end = field.data() + field.size();
  const auto r = std::from_chars(field.data(), end, value);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

}  // namespace

std::string Quoted(std::string_view field) {
  std::string quoted = "\"" + EscapedText(Shortened(field)) + "\"";
  if (field.size() <= kQuotedMost) return quoted;
  return quoted + " (" + std::to_string(field.size()) + " bytes)";
}

std::string Shortened(std::string_view text) {
  if (text.size() <= kQuotedMost) return std::string(text);
  std::size_t cut = kQuotedMost;
  // Not inside a UTF-8 character: back to its first byte.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & kUtf8TailMask) == kUtf8Tail) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

bool IsNumber(std::string_view field) {
  double value = 0;
  return ParseNumber(field, value);
}

std::optional<double> NumberOf(std::string_view field) {
  double value = 0;
  if (!ParseNumber(field, value)) return std::nullopt;
  return value;
}

}  // namespace orvan::points
