#pragma once

// Identifiers of the Windows main window's parts. Fixed, so that anything
// automating the window from outside can find its controls.
#include "ui/controls.h"

namespace orvan::win32 {

inline constexpr wchar_t kMainWindowClass[] = L"OrvanACP.frmMain";

// A control's child-window identifier: 100 and its row in the control table
// (Command1 100, Text11 102, Text1 105, sbStatusBar 129), clear of the
// identifiers the dialog manager keeps for itself (IDOK, IDCANCEL, ...).
constexpr int DialogId(ControlId control) {
  return 100 + static_cast<int>(control);
}

// The window timer behind Timer1.
inline constexpr unsigned kTimer1Id = 1;

}  // namespace orvan::win32
