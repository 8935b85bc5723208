#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tracking/cycle_record.h"

// What became of a frame, or of the frame folder: the note the log, the
// views and the plot read, with no need of the hold that made it.
namespace orvan::tracking {

// Measured against the reference (Reference, Used, Refused as a bad solve),
// or not (Ignored, Failed: not read or not solved, Dropped: the queue
// overflowed), or a note on the frame folder (Folder).
enum class FrameAction : std::uint8_t {
  Reference,
  Used,
  Ignored,
  Refused,
  Failed,
  Dropped,
  Folder
};

// Each action as a log's frame_action names it, in this order.
inline constexpr std::array<std::pair<std::string_view, FrameAction>, 7> kFrameActions = {{
    {"reference", FrameAction::Reference},
    {"used", FrameAction::Used},
    {"ignored", FrameAction::Ignored},
    {"refused", FrameAction::Refused},
    {"failed", FrameAction::Failed},
    {"dropped", FrameAction::Dropped},
    {"folder", FrameAction::Folder},
}};

std::string_view FrameActionName(FrameAction action);
std::optional<FrameAction> FrameActionNamed(std::string_view name);
// Whether a frame with this action was measured against the reference, and
// so has a middle and a drift.
bool Measured(FrameAction action);

struct FrameNote {
  std::string file;           // empty for the folder's notes
  std::optional<double> mid;  // the middle of the exposure, seconds since J2000.0
  std::optional<AxisPair> drift_arcsec;
  FrameAction action = FrameAction::Folder;
  std::string reason;
};
// One line for a person: "f.fits" used, drift RA 0.52" Dec -0.31";
// "f.fits" ignored: taken before the start. The name is escaped
// (EscapedText) and the reason made printable: neither can forge a line.
std::string FrameNoteText(const FrameNote& note);

}  // namespace orvan::tracking
