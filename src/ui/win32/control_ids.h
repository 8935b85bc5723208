#pragma once

// Control identifiers of the Windows main window. Fixed, so that anything
// automating the window from outside can find its controls.
namespace orvan::win32 {

inline constexpr int kCommand1Id = 100;
inline constexpr int kFirstTextId =
    100;  // TextN has kFirstTextId + N (Text1 = 101 ... Text11 = 111)
inline constexpr int kStatusBarId = 120;
inline constexpr unsigned kTimer1Id = 1;  // the window timer behind Timer1

inline constexpr wchar_t kMainWindowClass[] = L"OrvanACP.frmMain";

// The run-time error report opens with this, then the number (0x%08X), a
// blank line and the description.
inline constexpr wchar_t kErrorReportLead[] = L"Run-time error ";

constexpr int TextId(int box) {
  return kFirstTextId + box;
}

}  // namespace orvan::win32
