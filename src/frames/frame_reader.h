#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

#include "frames/frame_file.h"

// A frame's header read in a child process: a header made to crash or
// exhaust the readers (cfitsio, wcslib) costs that frame, not the program.
namespace orvan::frames {

// What the child may spend; tests shorten them.
struct ReaderLimits {
  std::chrono::milliseconds wall{10000};
  unsigned cpu_s = 5;
  // Address space beyond what the program had mapped when the child began.
  std::size_t memory_bytes = std::size_t{1} << 30U;
};

// Runs `read` in a child of this process held to `limits`, and hands back
// the plain numbers and text it read, checked: a crash, a limit, or an
// answer incomplete or out of range is a FrameRead whose `error` names the
// cause ("the header reader ended on signal 11 (Segmentation fault)"). The
// child is killed at once once `stop_fd` (where not -1) turns readable. The
// child keeps no descriptor of the program's open but `keep_fd` (a frame's
// file, where not -1).
FrameRead ReadInChild(const std::function<FrameRead()>& read, const ReaderLimits& limits,
                      int stop_fd, int keep_fd = -1);

}  // namespace orvan::frames
