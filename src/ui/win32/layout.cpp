#include "ui/win32/layout.h"

#include <string>

#include "support/error.h"
#include "ui/win32/control_ids.h"

#include <commctrl.h>

namespace orvan::win32 {
namespace {

using win::Widen;

HFONT MakeFont(int dpi_y, int weight) {
  LOGFONTW lf{};
  // 8.25 points at the display's pixels per inch.
  lf.lfHeight = -::MulDiv(static_cast<int>(controls::kFontPoints * 100), dpi_y, 72 * 100);
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring face = Widen(controls::kFontFamily);
  for (std::size_t i = 0; i < face.size() && i + 1 < LF_FACESIZE; ++i) lf.lfFaceName[i] = face[i];
  HFONT font = ::CreateFontIndirectW(&lf);
  if (font == nullptr) RaiseLastError();
  return font;
}

HICON LoadAppIcon(HINSTANCE instance, int cx_metric, int cy_metric) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                         ::GetSystemMetrics(cx_metric),
                                         ::GetSystemMetrics(cy_metric), LR_DEFAULTCOLOR));
}

void RegisterMainClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = LoadAppIcon(instance, SM_CXICON, SM_CYICON);
  wc.hIconSm = LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON);
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  // A second window in the same process finds the class registered.
  if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    RaiseLastError();
}

}  // namespace

void RaiseLastError() {
  const DWORD code = ::GetLastError();
  const auto number =
      static_cast<std::uint32_t>(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_WINDOW_HANDLE));
  throw Error(number, std::string(errors::TextOf(errors::kInvalidPropertyValue)));
}

Layout::Layout() {
  HDC screen = ::GetDC(nullptr);
  dpi_x_ = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  font_ = MakeFont(dpi_y_, FW_NORMAL);
  bold_font_ = MakeFont(dpi_y_, controls::kBoldWeight);
}

Layout::~Layout() {
  ::DeleteObject(font_);
  ::DeleteObject(bold_font_);
}

RECT Layout::Rect(const controls::Control& c) const {
  return RECT{X(c.left), Y(c.top), X(c.left + c.width), Y(c.top + c.height)};
}

HWND Layout::CreateMainWindow(HINSTANCE instance, WNDPROC proc, void* param) const {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  RegisterMainClass(instance, proc);

  // Fixed single border, close box only, in the taskbar.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, X(controls::kClientWidth), Y(controls::kClientHeight)};
  ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  HWND window = ::CreateWindowExW(ex_style, kMainWindowClass, L"", style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance, param);
  if (window == nullptr) RaiseLastError();
  return window;
}

HWND Layout::CreateControl(HWND parent, HINSTANCE instance, const controls::Control& c) const {
  const wchar_t* window_class = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD ex_style = 0;
  switch (c.kind) {
    case controls::Kind::Button:
      window_class = L"BUTTON";
      style |= BS_PUSHBUTTON;
      break;
    case controls::Kind::TextBox:
      window_class = L"EDIT";
      ex_style = WS_EX_CLIENTEDGE;
      style |= ES_LEFT | ES_AUTOHSCROLL;
      // Only the entry box is for typing; the readouts are display only.
      if (c.id != controls::kEntryBox) style |= ES_READONLY;
      break;
    case controls::Kind::StatusBar:
      // At its own rectangle (the bottom edge, full width) rather than sized
      // from the font.
      window_class = STATUSCLASSNAMEW;
      style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
      break;
    case controls::Kind::Label:  // painted on the window (WM_PAINT)
    case controls::Kind::Line:
    case controls::Kind::Timer:
      return nullptr;
  }
  if (c.tab_index >= 0) style |= WS_TABSTOP;
  const RECT r = Rect(c);
  HWND child = ::CreateWindowExW(
      ex_style, window_class, L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(DialogId(c.id))), instance, nullptr);
  if (child == nullptr) RaiseLastError();
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  if (c.kind == controls::Kind::StatusBar) ::SendMessageW(child, SB_SIMPLE, TRUE, 0);
  return child;
}

void Layout::Paint(HWND window) const {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window, &ps);
  const int saved = ::SaveDC(dc);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  for (const controls::Control& c : controls::kTable) {
    RECT r = Rect(c);
    if (c.kind == controls::Kind::Label) {
      // Labels never change: their captions are the table's.
      ::SelectObject(dc, c.bold ? bold_font_ : font_);
      const std::wstring text = Widen(c.text);
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    } else if (c.kind == controls::Kind::Line) {
      HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT));
      HGDIOBJ old = ::SelectObject(dc, pen);
      ::MoveToEx(dc, r.left, r.top, nullptr);
      ::LineTo(dc, r.right, r.top);
      ::SelectObject(dc, old);
      ::DeleteObject(pen);
    }
  }
  ::RestoreDC(dc, saved);
  ::EndPaint(window, &ps);
}

}  // namespace orvan::win32
