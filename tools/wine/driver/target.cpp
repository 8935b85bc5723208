#include "driver/target.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "ui/win32/control_ids.h"

#include <commctrl.h>

namespace orvan::wine {
namespace {

constexpr wchar_t kMessageBoxClass[] = L"#32770";

BOOL CALLBACK Collect(HWND hwnd, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  return TRUE;
}

// A message box of the thread, shown or not.
HWND FindBox(DWORD thread, bool visible) {
  for (HWND h : ThreadWindows(thread))
    if (ClassName(h) == kMessageBoxClass && (::IsWindowVisible(h) != FALSE) == visible) return h;
  return nullptr;
}

}  // namespace

std::wstring ClassName(HWND hwnd) {
  wchar_t name[128] = {};
  ::GetClassNameW(hwnd, name, 128);
  return name;
}

std::vector<HWND> ThreadWindows(DWORD thread) {
  std::vector<HWND> found;
  ::EnumThreadWindows(thread, Collect, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring RemoteText(HWND hwnd) {
  const DWORD limit = limits::Ms(limits::kSendMessage);
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, limit, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, limit, &got);
  text.resize(got);
  return text;
}

HWND MainWindowOf(DWORD thread) {
  for (HWND h : ThreadWindows(thread))
    if (ClassName(h) == win32::kMainWindowClass) return h;
  return nullptr;
}

void SetDecimalSeparator(char decimal) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const wchar_t dec[2] = {static_cast<wchar_t>(decimal), 0};
  const wchar_t* group = decimal == ',' ? L"." : L",";
  ::RegSetValueExW(key, L"sDecimal", 0, REG_SZ, reinterpret_cast<const BYTE*>(dec), sizeof dec);
  ::RegSetValueExW(key, L"sThousand", 0, REG_SZ, reinterpret_cast<const BYTE*>(group),
                   2 * sizeof(wchar_t));
  ::RegCloseKey(key);
}

std::wstring CommandLineArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped with one
    // more; elsewhere they stand as they are.
    const std::size_t kept = c == L'"' ? 2 * backslashes + 1 : backslashes;
    quoted.append(kept, L'\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote they are doubled too.
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// ---- Target -----------------------------------------------------------------

Target::~Target() {
  if (pi_.hProcess == nullptr) return;
  if (!Exited()) Terminate();
  ::CloseHandle(pi_.hProcess);
  ::CloseHandle(pi_.hThread);
}

bool Target::Start(const std::wstring& exe, const std::vector<std::wstring>& args,
                   const std::function<void(DWORD)>& before_running) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring command = L"\"" + exe + L"\"";
  for (const std::wstring& arg : args) command += L" " + CommandLineArgument(arg);
  // Wine now and then refuses a process start while the one before is still
  // going away; a second try a moment later goes through. Said on the
  // driver's error stream, never in the transcript.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                         before_running ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si, &pi_))
      break;
    const DWORD error = ::GetLastError();
    if (attempt == limits::kStartTries) return false;
    std::fprintf(stderr, "process start refused (error %lu); trying again\n", error);
    ::Sleep(limits::Ms(limits::kStartRetryPause));
    ::SetLastError(error);
  }
  if (before_running) {
    before_running(pi_.dwProcessId);
    ::ResumeThread(pi_.hThread);
  }
  return true;
}

bool Target::Exited() const {
  return ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0;
}

bool Target::WaitExit(limits::Duration limit) const {
  return ::WaitForSingleObject(pi_.hProcess, limits::Ms(limit)) == WAIT_OBJECT_0;
}

DWORD Target::ExitCode() const {
  DWORD code = 0;
  ::GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

void Target::Terminate() {
  // The exit status of a program the driver had to end.
  constexpr UINT kTerminated = 99;
  ::TerminateProcess(pi_.hProcess, kTerminated);
}

HWND Target::MainVisible() const {
  HWND h = Main();
  return h != nullptr && ::IsWindowVisible(h) ? h : nullptr;
}

HWND Target::Item(ControlId control) const {
  HWND main = Main();
  return main ? ::GetDlgItem(main, win32::DialogId(control)) : nullptr;
}

std::string Target::Text(ControlId control) const {
  return win::Narrow(RemoteText(Item(control)));
}

HWND Target::Box() const {
  return FindBox(pi_.dwThreadId, true);
}

bool Target::BoxInTransit() const {
  return FindBox(pi_.dwThreadId, false) != nullptr;
}

bool Target::Sync() const {
  HWND main = Main();
  if (main == nullptr) return false;
  DWORD_PTR r = 0;
  return ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, limits::Ms(limits::kRoundTrip),
                               &r) != 0;
}

bool Target::Idle() {
  // A readout's text limit, which no one types against, as the mark: far
  // above any text, posted, and read back with messages sent, which the
  // thread answers wherever it waits.
  constexpr WPARAM kFirstMark = 1000000;
  HWND marked = Item(ControlId::Text1);
  if (marked == nullptr) return false;
  const WPARAM mark = kFirstMark + ++marks_;
  if (!::PostMessageW(marked, EM_SETLIMITTEXT, mark, 0)) return false;
  const auto deadline = std::chrono::steady_clock::now() + limits::kRoundTrip;
  while (std::chrono::steady_clock::now() < deadline && !Exited()) {
    DWORD_PTR limit = 0;
    if (::SendMessageTimeoutW(marked, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL,
                              limits::Ms(limits::kSendMessage), &limit) &&
        limit == mark)
      return true;
    std::this_thread::sleep_for(limits::kIdlePoll);
  }
  return false;
}

std::string Target::StatusText() const {
  HWND bar = Item(ControlId::sbStatusBar);
  if (bar == nullptr) return {};
  const DWORD limit = limits::Ms(limits::kSendMessage);
  DWORD_PTR length = 0;
  // In simple mode the bar answers for part 0 with the simple text.
  ::SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, 0, 0, SMTO_NORMAL, limit, &length);
  length &= 0xFFFF;
  // SB_GETTEXT writes into the program's memory: a buffer there, read back.
  const SIZE_T bytes = (length + 1) * sizeof(wchar_t);
  void* remote =
      ::VirtualAllocEx(pi_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return "!! no memory in the target";
  DWORD_PTR r = 0;
  ::SendMessageTimeoutW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, limit,
                        &r);
  std::wstring text(length + 1, L'\0');
  SIZE_T read = 0;
  ::ReadProcessMemory(pi_.hProcess, remote, text.data(), bytes, &read);
  ::VirtualFreeEx(pi_.hProcess, remote, 0, MEM_RELEASE);
  text.resize(wcsnlen(text.c_str(), length));
  return win::Narrow(text);
}

}  // namespace orvan::wine
