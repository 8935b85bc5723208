#include "support/error_text.h"

#include <array>
#include <cstring>

namespace orvan {

std::string ErrorText(int err) {
  std::array<char, 256> buffer{};
  // The GNU strerror_r, which may return its own static text instead.
  return strerror_r(err, buffer.data(), buffer.size());
}

}  // namespace orvan
