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

}  // namespace orvan
