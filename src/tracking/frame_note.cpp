#include "tracking/frame_note.h"

#include <cstdio>

#include "support/escaped_text.h"

namespace orvan::tracking {

std::string_view FrameActionName(FrameAction action) {
  for (const auto& [name, each] : kFrameActions)
    if (each == action) return name;
  return {};
}

std::optional<FrameAction> FrameActionNamed(std::string_view name) {
  for (const auto& [each_name, action] : kFrameActions)
    if (each_name == name) return action;
  return std::nullopt;
}

bool Measured(FrameAction action) {
  return action == FrameAction::Reference || action == FrameAction::Used ||
         action == FrameAction::Refused;
}

std::string FrameNoteText(const FrameNote& note) {
  std::string text;
  if (!note.file.empty()) text = "\"" + EscapedText(note.file) + "\" ";
  text += FrameActionName(note.action);
  if (note.drift_arcsec) {
    char drift[96];
    std::snprintf(drift, sizeof drift, ", drift RA %.2f\" Dec %.2f\"", note.drift_arcsec->ra,
                  note.drift_arcsec->dec);
    text += drift;
  }
  if (!note.reason.empty()) text += ": " + PrintableText(note.reason);
  return text;
}

}  // namespace orvan::tracking
