#include "ui/win32/win32_surface.h"

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/win32/control_ids.h"

#include "observatory/com/wide.h"  // and with it windows.h

#include <commctrl.h>
// The surface has a member of this name; the API is called as MessageBoxW.
#undef MessageBox

namespace orvan::win32 {
namespace {

using win::Narrow;
using win::Widen;

[[noreturn]] void RaiseLastError() {
  const DWORD code = ::GetLastError();
  const auto number =
      static_cast<std::uint32_t>(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_WINDOW_HANDLE));
  throw Error(number, "Invalid property value");
}

std::wstring WindowText(HWND hwnd) {
  const int n = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace

struct Win32Surface::Impl {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HWND button = nullptr;
  HWND boxes[controls::kTextBoxCount + 1] = {};
  HWND status = nullptr;
  HFONT font = nullptr;
  HFONT bold_font = nullptr;
  HWND last_focus = nullptr;
  int dpi_x = 96;
  int dpi_y = 96;
  std::int32_t timer_interval = controls::kTimerDesignInterval;
  bool timer_enabled = controls::Find("Timer1")->enabled;
  bool ended = false;
  int exit_status = 0;
  std::function<void(Event)> on_event;

  int X(int twips) const { return ::MulDiv(twips, dpi_x, controls::kTwipsPerInch); }
  int Y(int twips) const { return ::MulDiv(twips, dpi_y, controls::kTwipsPerInch); }
  RECT Rect(const controls::Control& c) const {
    return RECT{X(c.left), Y(c.top), X(c.left + c.width), Y(c.top + c.height)};
  }

  void Deliver(Event e) {
    if (on_event) on_event(e);
  }

  void ApplyTimer() {
    if (window == nullptr) return;
    if (timer_enabled && timer_interval > 0) {
      // Setting it again restarts the period, as enabling a timer does.
      if (::SetTimer(window, kTimer1Id, static_cast<UINT>(timer_interval), nullptr) == 0)
        RaiseLastError();
    } else {
      ::KillTimer(window, kTimer1Id);
    }
  }

  HWND Box(int box) const {
    if (box < 1 || box > controls::kTextBoxCount || boxes[box] == nullptr)
      throw Error(0x800A0178, "Control array element doesn't exist");
    return boxes[box];
  }

  void Create();
  void Paint();
};

namespace {

HFONT MakeFont(int dpi_y, int weight) {
  LOGFONTW lf{};
  // 8.25 points at the display's pixels per inch.
  lf.lfHeight = -::MulDiv(static_cast<int>(controls::kFontPoints * 100), dpi_y, 72 * 100);
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring face = Widen(controls::kFontFamily);
  for (std::size_t i = 0; i < face.size() && i + 1 < LF_FACESIZE; ++i) lf.lfFaceName[i] = face[i];
  return ::CreateFontIndirectW(&lf);
}

void RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON),
                                             ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON),
                                               ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  ::RegisterClassExW(&wc);
}

}  // namespace

void Win32Surface::Impl::Create() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  RegisterMainClass(instance);

  HDC screen = ::GetDC(nullptr);
  dpi_x = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  font = MakeFont(dpi_y, FW_NORMAL);
  bold_font = MakeFont(dpi_y, controls::kBoldWeight);

  // Fixed single border, close box only, in the taskbar.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, X(controls::kClientWidth), Y(controls::kClientHeight)};
  ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  const std::wstring title = Widen(controls::kTitle);
  window = ::CreateWindowExW(ex_style, kMainWindowClass, title.c_str(), style, CW_USEDEFAULT,
                             CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                             nullptr, nullptr, instance, this);
  if (window == nullptr) RaiseLastError();

  // In table order, so the focus order (Z order) is Command1 then Text11.
  for (const controls::Control& c : controls::kTable) {
    const RECT r = Rect(c);
    const std::wstring text = Widen(c.text);
    HWND child = nullptr;
    DWORD child_style = WS_CHILD | WS_VISIBLE;
    if (c.tab_index >= 0) child_style |= WS_TABSTOP;
    if (!c.enabled) child_style |= WS_DISABLED;
    switch (c.kind) {
      case controls::Kind::Button:
        child = ::CreateWindowExW(0, L"BUTTON", text.c_str(), child_style | BS_PUSHBUTTON, r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCommand1Id)),
                                  instance, nullptr);
        button = child;
        break;
      case controls::Kind::TextBox: {
        const int box = std::stoi(std::string(c.name.substr(4)));
        // Only the entry box is for typing; the readouts are display only.
        if (box != controls::kEntryBox) child_style |= ES_READONLY;
        child = ::CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT", text.c_str(), child_style | ES_LEFT | ES_AUTOHSCROLL, r.left,
            r.top, r.right - r.left, r.bottom - r.top, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(TextId(box))), instance, nullptr);
        boxes[box] = child;
        break;
      }
      case controls::Kind::StatusBar:
        // Placed at its own rectangle (the bottom edge, full width) rather
        // than sizing itself from the font.
        child = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                  child_style | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)),
                                  instance, nullptr);
        status = child;
        break;
      case controls::Kind::Label:  // painted on the window (WM_PAINT)
      case controls::Kind::Line:
      case controls::Kind::Timer:
        continue;
    }
    if (child == nullptr) RaiseLastError();
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == controls::Kind::StatusBar) {
      ::SendMessageW(child, SB_SIMPLE, TRUE, 0);
      ::SendMessageW(child, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    }
  }
  ApplyTimer();
}

void Win32Surface::Impl::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window, &ps);
  const int saved = ::SaveDC(dc);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  for (const controls::Control& c : controls::kTable) {
    RECT r = Rect(c);
    if (c.kind == controls::Kind::Label) {
      ::SelectObject(dc, c.bold ? bold_font : font);
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

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Win32Surface::Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<Win32Surface::Impl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);

  switch (msg) {
    case WM_PAINT:
      self->Paint();
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == kCommand1Id && HIWORD(wp) == BN_CLICKED) {
        self->Deliver(Event::Click);
      } else if (id == IDOK && ::GetFocus() == self->button) {
        // Enter with the focus on the button clicks it; Enter anywhere else
        // and Escape (IDCANCEL) do nothing: there is no default button.
        self->Deliver(Event::Click);
      }
      return 0;
    }
    case WM_TIMER:
      if (wp == kTimer1Id) self->Deliver(Event::Tick);
      return 0;
    case WM_CLOSE:
      self->Deliver(Event::Close);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        self->last_focus = ::GetFocus();
      } else {
        HWND target = self->last_focus;
        if (target == nullptr || !::IsChild(hwnd, target) || !::IsWindowEnabled(target))
          target = self->button;
        ::SetFocus(target);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(self->exit_status);
      self->window = nullptr;
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

Win32Surface::Win32Surface(void* instance) : impl_(std::make_unique<Impl>()) {
  impl_->instance = static_cast<HINSTANCE>(instance);
  impl_->Create();
}

Win32Surface::~Win32Surface() {
  if (impl_->window != nullptr) {
    ::SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
    ::DestroyWindow(impl_->window);
  }
  ::DeleteObject(impl_->font);
  ::DeleteObject(impl_->bold_font);
}

void Win32Surface::OnEvent(std::function<void(Event)> handler) {
  impl_->on_event = std::move(handler);
}

void Win32Surface::SetText(int box, std::string_view text) {
  if (!::SetWindowTextW(impl_->Box(box), Widen(text).c_str())) RaiseLastError();
}

std::string Win32Surface::Text(int box) {
  return Narrow(WindowText(impl_->Box(box)));
}

void Win32Surface::SetEnabled(int box, bool enabled) {
  HWND hwnd = impl_->Box(box);
  // A disabled box can't keep the focus: it passes to the button.
  if (!enabled && ::GetFocus() == hwnd) ::SetFocus(impl_->button);
  ::EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void Win32Surface::SetCaption(std::string_view caption) {
  if (!::SetWindowTextW(impl_->button, Widen(caption).c_str())) RaiseLastError();
}

void Win32Surface::SetTimerInterval(std::int32_t milliseconds) {
  if (milliseconds < 0) throw Error(0x800A017C, "Invalid property value");
  impl_->timer_interval = milliseconds;
  impl_->ApplyTimer();
}

void Win32Surface::SetTimerEnabled(bool enabled) {
  impl_->timer_enabled = enabled;
  impl_->ApplyTimer();
}

void Win32Surface::SetStatusText(std::string_view text) {
  const std::wstring w = Widen(text);
  if (!::SendMessageW(impl_->status, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(w.c_str())))
    RaiseLastError();
}

char Win32Surface::DecimalSeparator() {
  wchar_t sep[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8) == 2 && sep[0] > 0x20 &&
      sep[0] < 0x7F)
    return static_cast<char>(sep[0]);
  return '.';
}

void Win32Surface::Show() {
  ::ShowWindow(impl_->window, SW_SHOW);
  ::UpdateWindow(impl_->window);
  ::SetFocus(impl_->button);
}

void Win32Surface::MessageBox(std::string_view text) {
  HWND owner =
      impl_->window != nullptr && ::IsWindowVisible(impl_->window) ? impl_->window : nullptr;
  ::MessageBoxW(owner, Widen(text).c_str(), Widen(controls::kTitle).c_str(), MB_OK | MB_APPLMODAL);
}

void Win32Surface::HaltTimer() {
  impl_->timer_enabled = false;
  if (impl_->window != nullptr) ::KillTimer(impl_->window, kTimer1Id);
}

void Win32Surface::ShowErrorReport(const Error& error) {
  const std::wstring text = std::wstring(kErrorReportLead) + Widen(HexNumber(error.number())) +
                            L"\n\n" + Widen(error.description());
  HWND owner =
      impl_->window != nullptr && ::IsWindowVisible(impl_->window) ? impl_->window : nullptr;
  ::MessageBoxW(owner, text.c_str(), Widen(controls::kTitle).c_str(),
                MB_OK | MB_APPLMODAL | MB_ICONERROR);
}

void Win32Surface::EndProgram(int exit_status) {
  impl_->ended = true;
  impl_->exit_status = exit_status;
  if (impl_->window != nullptr) ::DestroyWindow(impl_->window);
}

int Win32Surface::Run() {
  MSG msg{};
  while (!impl_->ended && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab, Enter, Escape and Space as in a dialog.
    if (impl_->window != nullptr && ::IsDialogMessageW(impl_->window, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return impl_->ended ? impl_->exit_status : static_cast<int>(msg.wParam);
}

bool Win32Surface::ended() const {
  return impl_->ended;
}
int Win32Surface::exit_status() const {
  return impl_->exit_status;
}

}  // namespace orvan::win32
