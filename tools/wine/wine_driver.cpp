// Drives the real OrvanACP.exe from another process, the way a user and the
// observatory would, and prints what can be seen from outside in transcript
// form. Test tool, never shipped.
//
//   orvan-wine-driver register DLL
//       registers the ACP stand-in for the current user (DllRegisterServer)
//   orvan-wine-driver play EXE SCENARIO WORKDIR
//       plays SCENARIO against EXE; the stand-in reads the scenario, the event
//       clock and writes its log in WORKDIR
//   orvan-wine-driver inspect EXE WORKDIR
//       starts EXE, prints its window's geometry and keyboard behaviour, and
//       closes it once WORKDIR\release exists
//   orvan-wine-driver nest SCENARIO
//       plays SCENARIO in this process on the real Windows main window, where
//       an event nested on an access is posted as its window message and
//       dispatched during the access, as COM's modal loop does while an
//       out-of-process ACP answers; prints the whole transcript
//
// What `play` sees: the observatory lines the stand-in logs (create, get, put,
// call), message boxes (msgbox), the run-time error report (error), the end
// of the process (end), and in a dump the window's own state: the texts and
// enabled flags of Text1..Text11, Command1's caption and the status text.
// Timer1 can't be seen from another process; a tick is expected while the
// button reads "Stop Orvaning" (the program's timer runs exactly then) and
// waited for up to one period and a margin.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "observatory/com/wide.h"
#include "observatory/value.h"
#include "replay/player.h"
#include "replay/scenario.h"
#include "support/error.h"
#include "ui/controls.h"
#include "ui/frmMain.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/win32_surface.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

namespace {

using orvan::Quote;
using orvan::replay::Step;
using orvan::win::Narrow;
using orvan::win::Widen;
using Clock = std::chrono::steady_clock;
namespace ids = orvan::win32;

void Out(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAtomically(const std::wstring& path, const std::string& text) {
  const std::wstring tmp = path + L".tmp";
  {
    std::ofstream out(tmp.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring ClassName(HWND hwnd) {
  wchar_t name[128] = {};
  ::GetClassNameW(hwnd, name, 128);
  return name;
}

// Texts of windows in another process; WM_GETTEXT is carried across.
std::wstring RemoteText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 5000, &got);
  text.resize(got);
  return text;
}

std::vector<HWND> ThreadWindows(DWORD thread) {
  std::vector<HWND> found;
  ::EnumThreadWindows(
      thread,
      [](HWND hwnd, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The program under test, seen from outside.
class Target {
 public:
  bool Start(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring command = L"\"" + exe + L"\"";
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi_))
      return false;
    return true;
  }
  ~Target() {
    if (pi_.hProcess != nullptr) {
      if (!Exited()) ::TerminateProcess(pi_.hProcess, 99);
      ::CloseHandle(pi_.hProcess);
      ::CloseHandle(pi_.hThread);
    }
  }
  Target() = default;
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  bool Exited() const { return ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }
  bool WaitExit(int ms) const { return ::WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  void Terminate() { ::TerminateProcess(pi_.hProcess, 99); }
  HANDLE process() const { return pi_.hProcess; }
  DWORD thread() const { return pi_.dwThreadId; }

  HWND Main() const {
    for (HWND h : ThreadWindows(pi_.dwThreadId))
      if (ClassName(h) == ids::kMainWindowClass) return h;
    return nullptr;
  }
  HWND MainVisible() const {
    HWND h = Main();
    return h != nullptr && ::IsWindowVisible(h) ? h : nullptr;
  }
  HWND Item(int id) const {
    HWND main = Main();
    return main ? ::GetDlgItem(main, id) : nullptr;
  }
  // A message box of the program, once it is up.
  HWND Box() const {
    for (HWND h : ThreadWindows(pi_.dwThreadId))
      if (ClassName(h) == L"#32770" && ::IsWindowVisible(h)) return h;
    return nullptr;
  }
  // A message box being made or taken down (not visible).
  bool BoxInTransit() const {
    for (HWND h : ThreadWindows(pi_.dwThreadId))
      if (ClassName(h) == L"#32770" && !::IsWindowVisible(h)) return true;
    return false;
  }
  // Returns once the user-interface thread takes messages again (it has
  // finished what it was doing, or waits in a modal loop).
  bool Sync() const {
    HWND main = Main();
    if (main == nullptr) return false;
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r) != 0;
  }

  std::string StatusText() const {
    HWND bar = Item(ids::kStatusBarId);
    if (bar == nullptr) return {};
    DWORD_PTR length = 0;
    // In simple mode the bar answers for part 0 with the simple text.
    ::SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, 0, 0, SMTO_NORMAL, 5000, &length);
    length &= 0xFFFF;
    const SIZE_T bytes = (length + 1) * sizeof(wchar_t);
    void* remote =
        ::VirtualAllocEx(pi_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) return "!! no memory in the target";
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000,
                          &r);
    std::wstring text(length + 1, L'\0');
    SIZE_T read = 0;
    ::ReadProcessMemory(pi_.hProcess, remote, text.data(), bytes, &read);
    ::VirtualFreeEx(pi_.hProcess, remote, 0, MEM_RELEASE);
    text.resize(wcsnlen(text.c_str(), length));
    return Narrow(text);
  }

 private:
  PROCESS_INFORMATION pi_{};
};

// The stand-in's log, read as it grows.
class Log {
 public:
  explicit Log(std::wstring path) : path_(std::move(path)) {}
  std::size_t Size() const { return ReadAll(path_).size(); }
  // Prints the complete lines written since the last drain.
  void Drain() {
    const std::string all = ReadAll(path_);
    const std::size_t end = all.rfind('\n');
    if (end == std::string::npos || end + 1 <= done_) return;
    std::istringstream lines(all.substr(done_, end + 1 - done_));
    for (std::string line; std::getline(lines, line);) Out(line);
    done_ = end + 1;
  }
  bool Grew() const { return Size() > done_; }

 private:
  std::wstring path_;
  std::size_t done_ = 0;
};

class Player {
 public:
  Player(Target& target, Log& log) : target_(target), log_(log) {}

  bool ended() const { return ended_; }

  // Waits until the program is idle: no message box up, the log still, the
  // thread taking messages. Message boxes are recorded and dismissed; the end
  // of the process is recorded.
  void Settle() {
    int quiet = 0;
    std::size_t last = static_cast<std::size_t>(-1);
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
      if (target_.Exited()) return Ended();
      if (HWND box = target_.Box()) {
        Dismiss(box);
        quiet = 0;
        continue;
      }
      if (!target_.Sync()) {
        if (target_.WaitExit(10000)) return Ended();
        quiet = 0;
        continue;
      }
      const std::size_t size = log_.Size();
      quiet = size == last && !target_.BoxInTransit() ? quiet + 1 : 0;
      last = size;
      if (quiet >= 3) {
        log_.Drain();
        return;
      }
      Sleep(40);
    }
    Fail("the program did not settle");
  }

  // After `load`: the window shows, or start-up fails with a report.
  void SettleLoad() {
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    while (Clock::now() < deadline) {
      if (target_.Exited() || target_.Box() || target_.MainVisible()) return Settle();
      Sleep(20);
    }
    Fail("the window did not open");
  }

  // A tick: the next one falls due within a period of the last; its first
  // observatory access (every tick reads "slewing" first) marks its start.
  void Tick() {
    log_.Drain();
    if (Narrow(RemoteText(target_.Item(ids::kCommand1Id))) != orvan::controls::kStopCaption) {
      Out("ignored tick (timer off)");
      return;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(4000 + 5000);
    while (Clock::now() < deadline) {
      if (log_.Grew() || target_.Box() || target_.Exited()) {
        Out("event tick");
        return Settle();
      }
      Sleep(10);
    }
    Out("ignored tick (timer off)");
  }

  void Fail(const std::string& why) {
    log_.Drain();
    Out("!! driver: " + why);
    target_.Terminate();
    ended_ = true;
  }

  void Dump() {
    for (int box = 1; box <= orvan::controls::kTextBoxCount; ++box) {
      HWND h = target_.Item(ids::TextId(box));
      const std::string name = "Text" + std::to_string(box);
      Out("state " + name + ".Text " + Quote(Narrow(RemoteText(h))));
      Out("state " + name + ".Enabled " + (h && ::IsWindowEnabled(h) ? "true" : "false"));
    }
    Out("state Command1.Caption " + Quote(Narrow(RemoteText(target_.Item(ids::kCommand1Id)))));
    Out("state sbStatusBar.SimpleText " + Quote(target_.StatusText()));
  }

 private:
  void Dismiss(HWND box) {
    log_.Drain();
    std::string text;
    HWND ok = nullptr;
    for (HWND child : Children(box)) {
      const std::wstring cls = ClassName(child);
      if (_wcsicmp(cls.c_str(), L"Static") == 0 && text.empty()) text = Narrow(RemoteText(child));
      if (_wcsicmp(cls.c_str(), L"Button") == 0 && ::GetDlgCtrlID(child) == IDOK) ok = child;
    }
    const std::string lead = Narrow(ids::kErrorReportLead);
    if (text.rfind(lead, 0) == 0) {
      // "Run-time error 0x80020005\n\nType mismatch"
      const std::string number = text.substr(lead.size(), 10);
      std::size_t body = text.find("\n\n");
      const std::string description = body == std::string::npos ? "" : text.substr(body + 2);
      Out("error " + number + " " + Quote(description));
      reported_error_ = true;
    } else {
      Out("msgbox " + Quote(text));
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (::IsWindow(box) && ::IsWindowVisible(box) && Clock::now() < deadline) Sleep(10);
  }

  void Ended() {
    log_.Drain();
    Out("end");
    const DWORD code = target_.ExitCode();
    // A report ends the program with a failure status, a close with success.
    if ((code != 0) != reported_error_) Out("!! exit status " + std::to_string(code));
    ended_ = true;
  }

  Target& target_;
  Log& log_;
  bool ended_ = false;
  bool reported_error_ = false;
};

// The user's decimal separator, as the program reads it at start.
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

int Play(const std::wstring& exe, const std::wstring& scenario_path, const std::wstring& work) {
  std::vector<Step> steps;
  try {
    steps = orvan::replay::ParseScenario(ReadAll(scenario_path));
  } catch (const orvan::replay::ScenarioError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  char decimal = '.';
  for (const Step& s : steps) {
    if (s.type == Step::Type::Nest) {
      std::fprintf(stderr, "line %d: nest is out of reach of a driver outside the program\n",
                   s.line);
      return 3;
    }
    if (s.type == Step::Type::Decimal) decimal = s.decimal;
  }
  SetDecimalSeparator(decimal);

  const std::wstring log_path = work + L"\\observatory.log";
  const std::wstring clock_path = work + L"\\clock";
  ::DeleteFileW(log_path.c_str());
  WriteAtomically(clock_path, "0");
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_SCENARIO", scenario_path.c_str());
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_LOG", log_path.c_str());
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_CLOCK", clock_path.c_str());

  Target target;
  Log log(log_path);
  Player player(target, log);
  bool started = false;
  int index = 0;
  for (const Step& s : steps) {
    if (player.ended()) break;
    if (!s.IsEvent()) continue;
    WriteAtomically(clock_path, std::to_string(index++));
    if (s.type != Step::Type::Load && !started) {
      std::fprintf(stderr, "line %d: an event before load\n", s.line);
      return 2;
    }
    log.Drain();  // anything that happened unasked shows before the event
    switch (s.type) {
      case Step::Type::Load:
        Out("event load");
        if (!target.Start(exe)) {
          std::fprintf(stderr, "cannot start the program\n");
          return 1;
        }
        started = true;
        player.SettleLoad();
        break;
      case Step::Type::TypeText: {
        const std::string name = "Text" + std::to_string(s.box);
        HWND box = target.Item(ids::TextId(s.box));
        if (box == nullptr || !::IsWindowEnabled(box)) {
          Out("ignored type " + name + " (disabled)");
          break;
        }
        Out("event type " + name + " " + Quote(s.text));
        const std::wstring text = Widen(s.text);
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                              SMTO_NORMAL, 10000, &r);
        player.Settle();
        break;
      }
      case Step::Type::Click:
        Out("event click");
        ::PostMessageW(target.Item(ids::kCommand1Id), BM_CLICK, 0, 0);
        player.Settle();
        break;
      case Step::Type::Tick:
        player.Tick();
        break;
      case Step::Type::Close:
        Out("event close");
        ::PostMessageW(target.Main(), WM_CLOSE, 0, 0);
        player.Settle();
        break;
      case Step::Type::Dump:
        Out("event dump");
        player.Dump();
        break;
      default:
        break;
    }
  }
  if (started && !player.ended()) {
    // The scenario is over; the program goes without a word.
    log.Drain();
    ::PostMessageW(target.Main(), WM_CLOSE, 0, 0);
    if (!target.WaitExit(15000)) target.Terminate();
  }
  return 0;
}

// ---- inspect ----------------------------------------------------------------

std::string RectText(HWND parent, HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The executable's identity: its version record and the sizes of its icon.
void Identity(const std::wstring& exe) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  std::vector<unsigned char> data(size);
  if (size == 0 || !::GetFileVersionInfoW(exe.c_str(), 0, size, data.data())) {
    Out("version record missing");
  } else {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
      auto dotted = [](DWORD ms, DWORD ls) {
        return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
               std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
      };
      Out("version file " + dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " product " +
          dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    struct Translation {
      WORD language, codepage;
    }* tr = nullptr;
    if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                         &length) &&
        tr && length >= sizeof *tr) {
      wchar_t block[64];
      std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", static_cast<unsigned>(tr->language),
                    static_cast<unsigned>(tr->codepage));
      for (const wchar_t* field :
           {L"ProductName", L"FileDescription", L"InternalName", L"OriginalFilename",
            L"FileVersion", L"ProductVersion", L"Comments"}) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(block) + field;
        const bool found = ::VerQueryValueW(data.data(), query.c_str(),
                                            reinterpret_cast<void**>(&value), &chars) &&
                           value;
        Out("version " + Narrow(field) + " " +
            (found ? Quote(Narrow(std::wstring_view(value, wcsnlen(value, chars)))) : "missing"));
      }
    }
  }
  HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return;
  std::vector<std::string> icons;
  ::EnumResourceNamesW(
      module, RT_GROUP_ICON,
      [](HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR lp) -> BOOL {
        HRSRC res = ::FindResourceW(m, name, type);
        const auto* dir =
            res ? static_cast<const unsigned char*>(::LockResource(::LoadResource(m, res)))
                : nullptr;
        if (dir == nullptr) return TRUE;
        // GRPICONDIR: reserved, type, count; then 14-byte entries (width, height first).
        const int count = dir[4] | (dir[5] << 8);
        for (int i = 0; i < count; ++i) {
          const unsigned char* e = dir + 6 + 14 * i;
          const int w = e[0] ? e[0] : 256;
          const int h = e[1] ? e[1] : 256;
          reinterpret_cast<std::vector<std::string>*>(lp)->push_back(std::to_string(w) + "x" +
                                                                     std::to_string(h));
        }
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&icons));
  ::FreeLibrary(module);
  std::string line = "icons";
  for (const std::string& i : icons) line += " " + i;
  Out(line);
}

int Inspect(const std::wstring& exe, const std::wstring& work) {
  Identity(exe);
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_SCENARIO", nullptr);
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_LOG", nullptr);
  ::SetEnvironmentVariableW(L"ORVAN_STANDIN_CLOCK", nullptr);
  SetDecimalSeparator('.');
  Target target;
  if (!target.Start(exe)) return 1;
  const auto deadline = Clock::now() + std::chrono::seconds(90);
  HWND main = nullptr;
  while ((main = target.MainVisible()) == nullptr && Clock::now() < deadline && !target.Exited() &&
         target.Box() == nullptr)
    Sleep(20);
  if (main == nullptr) {
    HWND box = target.Box();
    Out("!! the window did not open" +
        (box ? ": " + Quote(Narrow(RemoteText(box))) : std::string()));
    return 1;
  }
  target.Sync();
  RECT client{};
  ::GetClientRect(main, &client);
  Out("client " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  {
    // Where the window is on the screen, for cutting it out of a screenshot.
    RECT frame{};
    ::GetWindowRect(main, &frame);
    std::fprintf(stderr, "frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top);
  }
  Out("title " + Quote(Narrow(RemoteText(main))));
  const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
  const LONG_PTR ex_style = ::GetWindowLongPtrW(main, GWL_EXSTYLE);
  Out(std::string("close box ") + ((style & WS_SYSMENU) ? "yes" : "no"));
  Out(std::string("minimize box ") + ((style & WS_MINIMIZEBOX) ? "yes" : "no"));
  Out(std::string("maximize box ") + ((style & WS_MAXIMIZEBOX) ? "yes" : "no"));
  Out(std::string("sizable ") + ((style & WS_THICKFRAME) ? "yes" : "no"));
  Out(std::string("taskbar ") +
      ((ex_style & WS_EX_APPWINDOW) && !(ex_style & WS_EX_TOOLWINDOW) ? "yes" : "no"));

  // Controls at their rectangles, top-level children in creation order.
  for (const auto& c : orvan::controls::kTable) {
    int id = 0;
    if (c.kind == orvan::controls::Kind::Button) id = ids::kCommand1Id;
    if (c.kind == orvan::controls::Kind::TextBox)
      id = ids::TextId(std::stoi(std::string(c.name.substr(4))));
    if (c.kind == orvan::controls::Kind::StatusBar) id = ids::kStatusBarId;
    if (id == 0) continue;
    HWND h = ::GetDlgItem(main, id);
    if (h == nullptr) {
      Out(std::string(c.name) + " missing");
      continue;
    }
    const LONG_PTR cs = ::GetWindowLongPtrW(h, GWL_STYLE);
    const LONG_PTR cex = ::GetWindowLongPtrW(h, GWL_EXSTYLE);
    std::string line = std::string(c.name) + " " + Narrow(ClassName(h)) + " " + RectText(main, h);
    line += ::IsWindowEnabled(h) ? " enabled" : " disabled";
    if (cs & WS_TABSTOP) line += " tabstop";
    if (cex & WS_EX_CLIENTEDGE) line += " sunken";
    if (c.kind == orvan::controls::Kind::TextBox && (cs & ES_READONLY)) line += " readonly";
    if (c.kind == orvan::controls::Kind::TextBox && (cs & ES_MULTILINE)) line += " multiline";
    if (c.kind == orvan::controls::Kind::Button && (cs & BS_DEFPUSHBUTTON)) line += " default";
    Out(line);
  }
  Out("status " + Quote(target.StatusText()));
  {
    DWORD_PTR simple = 0;
    ::SendMessageTimeoutW(::GetDlgItem(main, ids::kStatusBarId), SB_ISSIMPLE, 0, 0, SMTO_NORMAL,
                          5000, &simple);
    Out(std::string("status simple ") + (simple ? "yes" : "no"));
  }

  // Keyboard: where the focus is, after each key.
  HWND button = ::GetDlgItem(main, ids::kCommand1Id);
  HWND entry = ::GetDlgItem(main, ids::TextId(orvan::controls::kEntryBox));
  auto focus_name = [&]() -> std::string {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    ::GetGUIThreadInfo(target.thread(), &gti);
    if (gti.hwndFocus == button) return "Command1";
    if (gti.hwndFocus == entry) return "Text11";
    if (gti.hwndFocus == nullptr) return "nothing";
    return "other " + std::to_string(::GetDlgCtrlID(gti.hwndFocus));
  };
  auto key = [&](WORD vk) {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    ::GetGUIThreadInfo(target.thread(), &gti);
    HWND to = gti.hwndFocus ? gti.hwndFocus : main;
    ::PostMessageW(to, WM_KEYDOWN, vk, 1);
    if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB) {
      const wchar_t ch = vk == VK_SPACE    ? L' '
                         : vk == VK_RETURN ? L'\r'
                         : vk == VK_ESCAPE ? 27
                                           : L'\t';
      ::PostMessageW(to, WM_CHAR, ch, 1);
    }
    ::PostMessageW(to, WM_KEYUP, vk, 0xC0000001);
    target.Sync();
    target.Sync();
    Sleep(50);
    target.Sync();
  };
  auto report = [&](const std::string& what) {
    Out("keys " + what + ": focus " + focus_name() + ", caption " +
        Quote(Narrow(RemoteText(button))) + ", entry " + Quote(Narrow(RemoteText(entry))));
  };
  report("at open");
  key(VK_TAB);
  report("tab");
  key(VK_TAB);
  report("tab tab");
  key(VK_TAB);
  key(VK_RETURN);
  report("tab enter");
  key(VK_ESCAPE);
  report("escape");
  key(VK_TAB);
  key(VK_RETURN);
  report("tab enter on the button");
  if (target.Box()) Out("!! a message box opened");
  key(VK_SPACE);
  report("space on the button");
  if (target.Box()) Out("!! a message box opened");
  Out("ready");

  // Kept open for a screenshot until told.
  const std::wstring release = work + L"\\release";
  const auto hold = Clock::now() + std::chrono::seconds(60);
  while (::GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES && Clock::now() < hold)
    Sleep(20);
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  if (!target.WaitExit(15000)) {
    Out("!! the window did not close");
    return 1;
  }
  Out("exit status " + std::to_string(target.ExitCode()));
  return 0;
}

int Register(const std::wstring& dll) {
  HMODULE module = ::LoadLibraryW(dll.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load the stand-in (error %lu)\n", ::GetLastError());
    return 1;
  }
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllRegisterServer")));
  if (entry == nullptr) return 1;
  const HRESULT hr = entry();
  if (FAILED(hr)) {
    std::fprintf(stderr,
                 "the stand-in refused to register (%s): ACP.Telescope or ACP.Util belongs "
                 "to another server here\n",
                 orvan::HexNumber(static_cast<std::uint32_t>(hr)).c_str());
    return 1;
  }
  return 0;
}

// The window of this thread with the main window's class.
HWND OwnMainWindow() {
  for (HWND w : ThreadWindows(::GetCurrentThreadId())) {
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    if (std::wstring(cls) == ids::kMainWindowClass) return w;
  }
  return nullptr;
}

// Posts the event's own message and dispatches messages until the queue is
// empty, as the modal loop of a waiting COM call would.
void FallDue(const std::string& event) {
  HWND window = OwnMainWindow();
  if (window == nullptr) return;
  if (event == "tick")
    ::PostMessageW(window, WM_TIMER, ids::kTimer1Id, 0);
  else
    ::PostMessageW(::GetDlgItem(window, ids::kCommand1Id), BM_CLICK, 0, 0);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

int Nest(const std::wstring& scenario_path) {
  std::vector<Step> steps;
  try {
    steps = orvan::replay::ParseScenario(ReadAll(scenario_path));
  } catch (const orvan::replay::ScenarioError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  orvan::win32::Win32Surface window(::GetModuleHandleW(nullptr));
  window.OnEvent(orvan::Module1::Deliver);
  orvan::replay::PlayHooks hooks;
  hooks.window = &window;
  hooks.nest = FallDue;
  orvan::replay::Play(steps, Out, hooks);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"register" && argc == 3) return Register(argv[2]);
  if (command == L"play" && argc == 5) return Play(argv[2], argv[3], argv[4]);
  if (command == L"inspect" && argc == 4) return Inspect(argv[2], argv[3]);
  if (command == L"nest" && argc == 3) return Nest(argv[2]);
  std::fprintf(stderr,
               "usage: orvan-wine-driver register DLL | play EXE SCENARIO WORKDIR | "
               "inspect EXE WORKDIR | nest SCENARIO\n");
  return 2;
}
