#pragma once

#include <string>
#include <string_view>

namespace orvan {

// Member names and keywords compare ignoring letter case, in ASCII only.
inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// `text` without leading and trailing white space (blanks and line ends).
inline std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace orvan
