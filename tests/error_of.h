#pragma once

#include <cstdint>

#include "support/error.h"

namespace orvan {

// The number of the orvan::Error that f raises; 0 when it raises none.
template <typename F>
std::uint32_t ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace orvan
