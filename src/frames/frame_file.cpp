#include "frames/frame_file.h"

namespace orvan::frames {

FrameRead ReadFrame(const std::string&) {
  return {std::nullopt, "not built yet"};
}

std::optional<FrameSky> ReadWcsFile(const std::string&, int, int, std::string& error) {
  error = "not built yet";
  return std::nullopt;
}

}  // namespace orvan::frames
