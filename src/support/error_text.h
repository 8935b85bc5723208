#pragma once

#include <string>

namespace orvan {

// The system's text for errno value `err`, safe on any thread. POSIX.
std::string ErrorText(int err);

}  // namespace orvan
