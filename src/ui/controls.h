#pragma once

#include <array>
#include <string_view>

// The main window's controls as designed: every front end builds its window
// from this table and nothing else.
namespace orvan::controls {

enum class Kind { Button, Label, TextBox, Line, StatusBar, Timer };

struct Control {
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

inline constexpr std::string_view kStartCaption = "Start Orvaning";
inline constexpr std::string_view kStopCaption = "Stop Orvaning";
inline constexpr std::string_view kIdleStatus = "Normal Sidereal tracking";
inline constexpr std::string_view kClearedError = "0.000000";

// Top to bottom; labels come before the boxes beside them so that, drawn in
// table order, a box lies on top of any label running under it.
inline constexpr std::array<Control, 31> kTable{{
    {"Command1", Kind::Button, 1200, 240, 2415, 855, kStartCaption, true, false, 0},
    {"Label15", Kind::Label, 240, 1320, 1815, 255, "Maximum Allowable error", true, false, -1},
    {"Text11", Kind::TextBox, 2160, 1320, 855, 285, "1.0", true, false, 1},
    {"Label16", Kind::Label, 3240, 1320, 855, 255, "ArcSecs", true, false, -1},
    {"Label1", Kind::Label, 600, 1800, 1335, 255, "Current RA Error", true, false, -1},
    {"Text1", Kind::TextBox, 2160, 1800, 855, 285, kClearedError, false, false, -1},
    {"Label3", Kind::Label, 3240, 1800, 615, 255, "ArcSecs", true, false, -1},
    {"Label2", Kind::Label, 600, 2280, 1335, 255, "Current DEC Error", true, false, -1},
    {"Text2", Kind::TextBox, 2160, 2280, 855, 285, kClearedError, false, false, -1},
    {"Label4", Kind::Label, 3240, 2280, 615, 255, "ArcSecs", true, false, -1},
    {"Line1", Kind::Line, 120, 2880, 4320, 0, "", true, false, -1},
    {"Label5", Kind::Label, 240, 3240, 1335, 255, "Current:", true, true, -1},
    {"Label6", Kind::Label, 240, 3600, 1095, 255, "Scope RA :", true, false, -1},
    {"Text3", Kind::TextBox, 1320, 3600, 855, 285, "", false, false, -1},
    {"Label7", Kind::Label, 2400, 3600, 1215, 255, "Scope DEC :", true, false, -1},
    {"Text4", Kind::TextBox, 3480, 3600, 855, 285, "", false, false, -1},
    {"Label8", Kind::Label, 240, 3960, 1095, 255, "True RA :", true, false, -1},
    {"Text5", Kind::TextBox, 1320, 3960, 855, 285, "", false, false, -1},
    {"Label9", Kind::Label, 2400, 3960, 1215, 255, "True DEC :", true, false, -1},
    {"Text6", Kind::TextBox, 3480, 3960, 855, 285, "", false, false, -1},
    {"Label10", Kind::Label, 240, 4440, 1335, 255, "Target:", true, true, -1},
    {"Label11", Kind::Label, 240, 4800, 1095, 255, "Scope RA :", true, false, -1},
    {"Text7", Kind::TextBox, 1320, 4800, 855, 285, "", false, false, -1},
    {"Label12", Kind::Label, 2400, 4800, 1215, 255, "Scope DEC :", true, false, -1},
    {"Text8", Kind::TextBox, 3480, 4800, 855, 285, "", false, false, -1},
    {"Label13", Kind::Label, 240, 5160, 735, 255, "True RA :", true, false, -1},
    {"Text9", Kind::TextBox, 1320, 5160, 855, 285, "", false, false, -1},
    {"Label14", Kind::Label, 2400, 5160, 855, 255, "True DEC :", true, false, -1},
    {"Text10", Kind::TextBox, 3480, 5160, 855, 285, "", false, false, -1},
    {"sbStatusBar", Kind::StatusBar, 0, 5715, 4815, 270, kIdleStatus, true, false, -1},
    // Enabled, but with period 0 it raises no tick until the start arms it.
    {"Timer1", Kind::Timer, 0, 0, 0, 0, "", true, false, -1},
}};
inline constexpr int kTimerDesignInterval = 0;

// The text boxes are numbered 1 to 11; Text11 is the one the user types in.
inline constexpr int kTextBoxCount = 11;
inline constexpr int kEntryBox = 11;

// The table row of a control by name; nullptr when there is none.
constexpr const Control* Find(std::string_view name) {
  for (const auto& c : kTable)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace orvan::controls
