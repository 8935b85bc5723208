#pragma once

#include <optional>
#include <string>

namespace orvan {

// What the program says of a mount as it runs: the whole text, for standard
// error and the log; and, where the note changes what the window's status
// bar shows of the mount, that in a few words ("RA pulses: no effect"),
// empty where nothing is to be shown any more.
struct MountNote {
  std::string text;
  std::optional<std::string> status = std::nullopt;
};

}  // namespace orvan
