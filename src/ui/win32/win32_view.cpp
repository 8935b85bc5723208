#include "ui/win32/win32_view.h"

#include <array>
#include <string>

#include "ui/frmMain.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/layout.h"

#include <commctrl.h>
// The view has a member of this name; the API is called as MessageBoxW.
#undef MessageBox

namespace orvan::win32 {
namespace {

using win::Narrow;
using win::Widen;

std::wstring WindowText(HWND hwnd) {
  const int n = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace

struct Win32View::Impl {
  HINSTANCE instance = nullptr;
  Layout layout;
  HWND window = nullptr;
  std::array<HWND, controls::kTable.size()> controls{};  // by ControlId; null where none
  HWND last_focus = nullptr;
  WindowModel* model = nullptr;
  WindowInput* input = nullptr;
  bool rendering = false;  // the view itself is setting a text

  HWND Of(ControlId c) const { return controls[static_cast<std::size_t>(c)]; }
  HWND Button() const { return Of(ControlId::Command1); }

  void Render(ControlId control, Property property);
  void RenderText(ControlId control);
  void RenderEnabled(ControlId control);
  void RenderStatus();
  void RenderTimer();
  std::wstring Title() const { return Widen(model ? model->Caption() : controls::kTitle); }
  void Modal(const std::string& text, UINT icon);

  LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Command(int id, int code);
};

// ---- rendering ------------------------------------------------------------

void Win32View::Impl::Render(ControlId control, Property property) {
  switch (property) {
    case Property::Text:
    case Property::Caption:
      return RenderText(control);
    case Property::SimpleText:
      return RenderStatus();
    case Property::Enabled:
      return control == ControlId::Timer1 ? RenderTimer() : RenderEnabled(control);
    case Property::Interval:
      return RenderTimer();
  }
}

void Win32View::Impl::RenderText(ControlId control) {
  HWND hwnd = Of(control);
  const std::wstring text = Widen(model->Text(control));
  // What the user just typed is there already: the caret stays where it is.
  if (WindowText(hwnd) == text) return;
  rendering = true;
  const BOOL done = ::SetWindowTextW(hwnd, text.c_str());
  rendering = false;
  if (!done) RaiseLastError();
}

void Win32View::Impl::RenderEnabled(ControlId control) {
  HWND hwnd = Of(control);
  const bool enabled = model->Enabled(control);
  // A disabled box can't keep the focus: it passes to the button.
  if (!enabled && ::GetFocus() == hwnd) ::SetFocus(Button());
  ::EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void Win32View::Impl::RenderStatus() {
  const std::wstring text = Widen(model->Text(ControlId::sbStatusBar));
  if (!::SendMessageW(Of(ControlId::sbStatusBar), SB_SETTEXTW, SB_SIMPLEID,
                      reinterpret_cast<LPARAM>(text.c_str())))
    RaiseLastError();
}

void Win32View::Impl::RenderTimer() {
  if (!model->Ticking()) {
    ::KillTimer(window, kTimer1Id);
    return;
  }
  // Setting it again restarts the period, as every write to the timer does.
  if (::SetTimer(window, kTimer1Id, static_cast<UINT>(model->TimerInterval()), nullptr) == 0)
    RaiseLastError();
}

void Win32View::Impl::Modal(const std::string& text, UINT icon) {
  HWND owner = window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
  ::MessageBoxW(owner, Widen(text).c_str(), Title().c_str(), MB_OK | MB_APPLMODAL | icon);
}

// ---- input ----------------------------------------------------------------

void Win32View::Impl::Command(int id, int code) {
  if (input == nullptr) return;
  if (id == DialogId(ControlId::Command1) && code == BN_CLICKED) {
    input->Click();
  } else if (id == IDOK && ::GetFocus() == Button()) {
    // Enter with the focus on the button clicks it; Enter anywhere else and
    // Escape (IDCANCEL) do nothing: there is no default button.
    input->Click();
  } else if (id == DialogId(controls::kEntryBox) && code == EN_CHANGE && !rendering) {
    // The user changed the entry box; a box that does not take it shows
    // the model's text again.
    HWND box = Of(controls::kEntryBox);
    if (!input->Type(controls::kEntryBox, Narrow(WindowText(box))) && model != nullptr)
      RenderText(controls::kEntryBox);
  }
}

LRESULT Win32View::Impl::Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      layout.Paint(hwnd);
      return 0;
    case WM_COMMAND:
      Command(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_TIMER:
      if (wp == kTimer1Id && input != nullptr) input->Tick();
      return 0;
    case WM_CLOSE:
      if (input != nullptr) input->Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        last_focus = ::GetFocus();
      } else {
        HWND target = last_focus;
        if (target == nullptr || !::IsChild(hwnd, target) || !::IsWindowEnabled(target))
          target = Button();
        ::SetFocus(target);
      }
      return 0;
    case WM_DESTROY:
      window = nullptr;
      controls = {};
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Win32View::Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<Win32View::Impl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->Handle(hwnd, msg, wp, lp);
  } catch (...) {
    // Nothing may unwind through the system's frames. The handlers report
    // their own errors; what is left (showing typing the model refused) has
    // no one to tell.
    return 0;
  }
}

}  // namespace

// ---- the view -------------------------------------------------------------

Win32View::Win32View(void* instance) : impl_(std::make_unique<Impl>()) {
  impl_->instance = static_cast<HINSTANCE>(instance);
  impl_->window = impl_->layout.CreateMainWindow(impl_->instance, WindowProc, impl_.get());
  // In table order, so the focus order (Z order) is Command1 then Text11.
  for (const controls::Control& c : controls::kTable)
    impl_->controls[static_cast<std::size_t>(c.id)] =
        impl_->layout.CreateControl(impl_->window, impl_->instance, c);
}

Win32View::~Win32View() {
  if (impl_->window != nullptr) {
    ::SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
    ::DestroyWindow(impl_->window);
  }
}

char Win32View::UserDecimalSeparator() {
  wchar_t sep[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8) == 2 && sep[0] > 0x20 &&
      sep[0] < 0x7F)
    return static_cast<char>(sep[0]);
  return '.';
}

void Win32View::Bind(WindowModel* model, WindowInput* input) {
  impl_->model = model;
  impl_->input = input;
  subscription_.Follow(impl_->window != nullptr ? model : nullptr);
  if (model == nullptr || impl_->window == nullptr) return;
  if (!::SetWindowTextW(impl_->window, impl_->Title().c_str())) RaiseLastError();
  for (const controls::Control& c : controls::kTable)
    for (Property p : WindowModel::PropertiesOf(c.id)) impl_->Render(c.id, p);
}

void Win32View::Written(ControlId control, Property property, Cause) {
  if (impl_->model == nullptr || impl_->window == nullptr) return;
  impl_->Render(control, property);
}

void Win32View::Show() {
  ::ShowWindow(impl_->window, SW_SHOW);
  ::UpdateWindow(impl_->window);
  ::SetFocus(impl_->Button());
}

void Win32View::MessageBox(std::string_view text) {
  impl_->Modal(std::string(text), 0);
}

void Win32View::ErrorReport(const Error& error) {
  impl_->Modal(ErrorReportText(error), MB_ICONERROR);
}

void Win32View::End(int) {
  if (impl_->window != nullptr) ::DestroyWindow(impl_->window);
}

int Win32View::Run(const frmMain& form) {
  MSG msg{};
  while (!form.ended()) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);  // WM_QUIT from elsewhere
    if (got < 0) return 1;
    // Tab, Enter, Escape and Space as in a dialog.
    if (impl_->window != nullptr && ::IsDialogMessageW(impl_->window, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return form.exit_status();
}

}  // namespace orvan::win32
