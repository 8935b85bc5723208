#include "support/escaped_text.h"

#include <array>
#include <cstdio>

namespace orvan {
namespace {

constexpr char32_t kDelete = 0x7F;
constexpr char32_t kFirstPrintable = 0x20;
constexpr char32_t kC1First = 0x80;
constexpr char32_t kC1Last = 0x9F;
// U+2028 and U+2029 end lines for some readers; U+202A to U+202E and U+2066
// to U+2069 reorder what follows them on a terminal.
constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kBidiLast = 0x202E;
constexpr char32_t kIsolateFirst = 0x2066;
constexpr char32_t kIsolateLast = 0x2069;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;

constexpr unsigned kTailMask = 0xC0;
constexpr unsigned kTail = 0x80;
constexpr unsigned kTailBits = 6;
constexpr unsigned kTailValue = 0x3F;

// The shortest code point each length may encode, so overlong forms fail.
constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};

struct Decoded {
  char32_t code = 0;
  std::size_t length = 0;  // 0: not a valid character
};

// The UTF-8 character at the start of `text`, strictly: no overlong forms,
// no surrogates, nothing past U+10FFFF.
Decoded Decode(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead < kTail) return {lead, 1};
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2;
    code = lead & 0x1FU;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3;
    code = lead & 0x0FU;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4;
    code = lead & 0x07U;
  } else {
    return {};
  }
  if (text.size() < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & kTailMask) != kTail) return {};
    code = (code << kTailBits) | (byte & kTailValue);
  }
  if (code < kLeast[length] || code > kLastCodePoint ||
      (code >= kSurrogateFirst && code <= kSurrogateLast)) {
    return {};
  }
  return {code, length};
}

bool Hidden(char32_t code) {
  return code < kFirstPrintable || code == kDelete || (code >= kC1First && code <= kC1Last) ||
         (code >= kLineSeparator && code <= kBidiLast) ||
         (code >= kIsolateFirst && code <= kIsolateLast);
}

void AppendHex(std::string& out, const char* format, unsigned value) {
  // Room for \u and eight digits, whatever the value.
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), format, value);
  out += text.data();
}

std::string Escape(std::string_view text, bool quotes) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const Decoded c = Decode(text);
    if (c.length == 0) {
      AppendHex(out, "\\x%02x", static_cast<unsigned char>(text[0]));
      text.remove_prefix(1);
      continue;
    }
    const std::string_view bytes = text.substr(0, c.length);
    text.remove_prefix(c.length);
    if (c.code == '\n') {
      out += "\\n";
    } else if (c.code == '\r') {
      out += "\\r";
    } else if (c.code == '\t') {
      out += "\\t";
    } else if (c.code < kC1First && Hidden(c.code)) {
      AppendHex(out, "\\x%02x", static_cast<unsigned>(c.code));
    } else if (Hidden(c.code)) {
      AppendHex(out, "\\u%04x", static_cast<unsigned>(c.code));
    } else if (quotes && (c.code == '"' || c.code == '\\')) {
      out += '\\';
      out += bytes;
    } else {
      out += bytes;
    }
  }
  return out;
}

}  // namespace

std::string PrintableText(std::string_view text) {
  return Escape(text, false);
}

std::string EscapedText(std::string_view text) {
  return Escape(text, true);
}

}  // namespace orvan
