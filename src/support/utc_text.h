#pragma once

#include <chrono>
#include <string>

namespace orvan {

// `time` as UTC with milliseconds, truncated: 2026-12-08T21:04:08.123Z.
std::string UtcText(std::chrono::system_clock::time_point time);
// The time now, so written.
std::string UtcNowText();

}  // namespace orvan
