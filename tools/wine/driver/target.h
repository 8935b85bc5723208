#pragma once

// The program under test seen from another process: its windows and their
// texts and states, its message boxes, whether it still runs.
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "wine_limits.h"

namespace orvan::wine {

std::wstring ClassName(HWND hwnd);
std::vector<HWND> ThreadWindows(DWORD thread);
std::vector<HWND> Children(HWND parent);
// The text of a window in another process (WM_GETTEXT is carried across).
std::wstring RemoteText(HWND hwnd);
// The program's main window among a thread's windows; nullptr if none.
HWND MainWindowOf(DWORD thread);

// The user's decimal separator, as the program reads it at start.
void SetDecimalSeparator(char decimal);

// One argument as a Windows command line carries it, for the program's
// CommandLineToArgvW to read back unchanged: quoted when it is empty or
// holds a blank or a quote, with the backslashes before a quote doubled.
std::wstring CommandLineArgument(const std::wstring& arg);

class Target {
 public:
  Target() = default;
  ~Target();  // a program still running is ended
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  // Starts the program with `args` after its name; `before_running`, if
  // given, learns its process id before the program runs its first
  // instruction.
  bool Start(const std::wstring& exe, const std::vector<std::wstring>& args = {},
             const std::function<void(DWORD)>& before_running = {});
  bool Exited() const;
  bool WaitExit(limits::Duration limit) const;
  DWORD ExitCode() const;
  void Terminate();
  DWORD thread() const { return pi_.dwThreadId; }

  HWND Main() const { return MainWindowOf(pi_.dwThreadId); }
  HWND MainVisible() const;
  // A control's window; nullptr while there is none.
  HWND Item(ControlId control) const;
  // A control's text (a box's text, the button's caption).
  std::string Text(ControlId control) const;
  // The status bar's simple text.
  std::string StatusText() const;
  // A message box of the program, once it is up.
  HWND Box() const;
  // A message box being made or taken down (not visible).
  bool BoxInTransit() const;
  // Returns once the program's thread takes messages again (it has finished
  // what it was doing, or waits in a modal loop); false if it does not.
  bool Sync() const;
  // Returns once the program's thread has come back to its message loop
  // (or a modal one) and taken what was posted before; false if it has not
  // within a round trip. Unlike Sync, false while the thread waits in a call
  // to another process, where Wine gives it sent messages only.
  bool Idle();

 private:
  PROCESS_INFORMATION pi_{};
  WPARAM marks_ = 0;  // marks posted by Idle
};

}  // namespace orvan::wine
