// nest: a scenario played in this process on the real Windows main window.
// An event nested on an observatory access is posted as its own window
// message and dispatched during the access, as the modal loop of a COM call
// to an out-of-process ACP would; the transcript is the replay's, every line.
#include "driver/jobs.h"
#include "driver/output.h"
#include "driver/target.h"
#include "replay/player.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/win32_view.h"

namespace orvan::wine {
namespace {

void FallDue(const std::string& event) {
  HWND window = MainWindowOf(::GetCurrentThreadId());
  if (window == nullptr) return;
  if (event == EventName(Event::Tick))
    ::PostMessageW(window, WM_TIMER, win32::kTimer1Id, 0);
  else
    ::PostMessageW(::GetDlgItem(window, win32::DialogId(ControlId::Command1)), BM_CLICK, 0, 0);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace

int Nest(const std::wstring& scenario) {
  std::vector<replay::Step> steps;
  if (!LoadScenario(scenario, steps)) return 2;
  win32::Win32View window(::GetModuleHandleW(nullptr));
  replay::Play(steps, Out, replay::PlayHooks{&window, FallDue});
  return 0;
}

}  // namespace orvan::wine
