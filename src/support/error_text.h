#pragma once

#include <string>

namespace orvan {

#ifdef _WIN32
// The system's text for a Windows error code, in UTF-8, without its line end
// or full stop; "system error N" where the system has none.
std::string WindowsErrorText(unsigned long code);
#else
// The system's text for errno value `err`, safe on any thread. POSIX.
std::string ErrorText(int err);
#endif

}  // namespace orvan
