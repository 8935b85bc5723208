#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "tracking/window.h"

// The main window's controls as designed: the window model starts from this
// table and every front end lays its window out from it.
namespace orvan::controls {

enum class Kind { Button, Label, TextBox, Line, StatusBar, Timer };

// Every control, in table order (top to bottom).
enum class ControlId {
  Command1,
  Label15,
  Text11,
  Label16,
  Label1,
  Text1,
  Label3,
  Label2,
  Text2,
  Label4,
  Line1,
  Label5,
  Label6,
  Text3,
  Label7,
  Text4,
  Label8,
  Text5,
  Label9,
  Text6,
  Label10,
  Label11,
  Text7,
  Label12,
  Text8,
  Label13,
  Text9,
  Label14,
  Text10,
  sbStatusBar,
  Timer1,
};

struct Control {
  ControlId id;
  std::string_view name;
  Kind kind;
  int left, top, width, height;  // twips from the client area's top-left corner
  std::string_view text;         // design-time caption or text
  bool enabled;
  bool bold;
  int tab_index;  // position in the focus order; -1 where focus never rests
};

inline constexpr std::string_view kTitle = "OrvanACP";
inline constexpr int kClientWidth = 4815;   // twips
inline constexpr int kClientHeight = 5985;  // twips
inline constexpr int kTwipsPerInch = 1440;
inline constexpr std::string_view kFontFamily = "MS Sans Serif";
inline constexpr double kFontPoints = 8.25;
inline constexpr int kBoldWeight = 700;

inline constexpr std::string_view kClearedError = "0.000000";

using enum ControlId;
using enum Kind;

// Labels come before the boxes beside them so that, drawn in table order, a
// box lies on top of any label running under it.
inline constexpr std::array<Control, 31> kTable{{
    {Command1, "Command1", Button, 1200, 240, 2415, 855, texts::kStartCaption, true, false, 0},
    {Label15, "Label15", Label, 240, 1320, 1815, 255, "Maximum Allowable error", true, false, -1},
    {Text11, "Text11", TextBox, 2160, 1320, 855, 285, "1.0", true, false, 1},
    {Label16, "Label16", Label, 3240, 1320, 855, 255, "ArcSecs", true, false, -1},
    {Label1, "Label1", Label, 600, 1800, 1335, 255, "Current RA Error", true, false, -1},
    {Text1, "Text1", TextBox, 2160, 1800, 855, 285, kClearedError, false, false, -1},
    {Label3, "Label3", Label, 3240, 1800, 615, 255, "ArcSecs", true, false, -1},
    {Label2, "Label2", Label, 600, 2280, 1335, 255, "Current DEC Error", true, false, -1},
    {Text2, "Text2", TextBox, 2160, 2280, 855, 285, kClearedError, false, false, -1},
    {Label4, "Label4", Label, 3240, 2280, 615, 255, "ArcSecs", true, false, -1},
    {Line1, "Line1", Line, 120, 2880, 4320, 0, "", true, false, -1},
    {Label5, "Label5", Label, 240, 3240, 1335, 255, "Current:", true, true, -1},
    {Label6, "Label6", Label, 240, 3600, 1095, 255, "Scope RA :", true, false, -1},
    {Text3, "Text3", TextBox, 1320, 3600, 855, 285, "", false, false, -1},
    {Label7, "Label7", Label, 2400, 3600, 1215, 255, "Scope DEC :", true, false, -1},
    {Text4, "Text4", TextBox, 3480, 3600, 855, 285, "", false, false, -1},
    {Label8, "Label8", Label, 240, 3960, 1095, 255, "True RA :", true, false, -1},
    {Text5, "Text5", TextBox, 1320, 3960, 855, 285, "", false, false, -1},
    {Label9, "Label9", Label, 2400, 3960, 1215, 255, "True DEC :", true, false, -1},
    {Text6, "Text6", TextBox, 3480, 3960, 855, 285, "", false, false, -1},
    {Label10, "Label10", Label, 240, 4440, 1335, 255, "Target:", true, true, -1},
    {Label11, "Label11", Label, 240, 4800, 1095, 255, "Scope RA :", true, false, -1},
    {Text7, "Text7", TextBox, 1320, 4800, 855, 285, "", false, false, -1},
    {Label12, "Label12", Label, 2400, 4800, 1215, 255, "Scope DEC :", true, false, -1},
    {Text8, "Text8", TextBox, 3480, 4800, 855, 285, "", false, false, -1},
    {Label13, "Label13", Label, 240, 5160, 735, 255, "True RA :", true, false, -1},
    {Text9, "Text9", TextBox, 1320, 5160, 855, 285, "", false, false, -1},
    {Label14, "Label14", Label, 2400, 5160, 855, 255, "True DEC :", true, false, -1},
    {Text10, "Text10", TextBox, 3480, 5160, 855, 285, "", false, false, -1},
    {sbStatusBar, "sbStatusBar", StatusBar, 0, 5715, 4815, 270, texts::kIdleStatus, true, false,
     -1},
    // Enabled, but with period 0 it raises no tick until the start arms it.
    {Timer1, "Timer1", Timer, 0, 0, 0, 0, "", true, false, -1},
}};
inline constexpr int kTimerDesignInterval = 0;

// The row of a control.
constexpr const Control& Of(ControlId id) {
  return kTable[static_cast<std::size_t>(id)];
}

constexpr bool TableInOrder() {
  for (std::size_t i = 0; i < kTable.size(); ++i)
    if (static_cast<std::size_t>(kTable[i].id) != i) return false;
  return true;
}
static_assert(TableInOrder(), "the table's rows stand in ControlId order");

// The text boxes in the order of their numbers, Text1 to Text11.
inline constexpr std::array<ControlId, 11> kTextBoxes{Text1, Text2, Text3, Text4,  Text5, Text6,
                                                      Text7, Text8, Text9, Text10, Text11};
// The one box the user types in.
inline constexpr ControlId kEntryBox = Text11;

// The control of that name; nullptr when there is none.
constexpr const Control* Find(std::string_view name) {
  for (const auto& c : kTable)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace orvan::controls

namespace orvan {
using controls::ControlId;
}
