#pragma once

// The Windows main window as designed: the window and its controls at their
// places from the control table, scaled to the display's pixels per inch, and
// what is painted on the window itself beneath the controls (the labels and
// the line). Texts and enabled flags are the view's to render.
#include "support/wide.h"  // and with it windows.h
#include "ui/controls.h"

namespace orvan::win32 {

// Raises orvan::Error for the failure GetLastError reports.
[[noreturn]] void RaiseLastError();

class Layout {
 public:
  // Reads the display's pixels per inch and makes the fonts.
  Layout();
  ~Layout();
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  // The main window, hidden, with `param` for its WM_NCCREATE.
  HWND CreateMainWindow(HINSTANCE instance, WNDPROC proc, void* param) const;
  // The child window of a button, text box or status bar; nullptr for
  // controls painted on the window or without a window (the timer).
  HWND CreateControl(HWND parent, HINSTANCE instance, const controls::Control& c) const;
  // WM_PAINT: the labels and the line.
  void Paint(HWND window) const;

 private:
  int X(int twips) const { return ::MulDiv(twips, dpi_x_, controls::kTwipsPerInch); }
  int Y(int twips) const { return ::MulDiv(twips, dpi_y_, controls::kTwipsPerInch); }
  RECT Rect(const controls::Control& c) const;

  int dpi_x_ = 96;
  int dpi_y_ = 96;
  HFONT font_ = nullptr;
  HFONT bold_font_ = nullptr;
};

}  // namespace orvan::win32
