// inspect: the executable's identity, and its window as built: size, styles,
// controls at their places, the status bar and the keyboard. The window is
// then held open for a screenshot until released.
#include <cstdio>
#include <thread>

#include "driver/jobs.h"
#include "driver/output.h"
#include "driver/target.h"
#include "standin_files.h"
#include "ui/win32/control_ids.h"

#include <commctrl.h>

namespace orvan::wine {
namespace {

using win::Narrow;
using Clock = std::chrono::steady_clock;

std::string RectText(HWND parent, HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

std::string Dotted(DWORD ms, DWORD ls) {
  return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
         std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
}

void VersionRecord(const std::wstring& exe) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  std::vector<unsigned char> data(size);
  if (size == 0 || !::GetFileVersionInfoW(exe.c_str(), 0, size, data.data())) {
    Out("version record missing");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
    Out("version file " + Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " product " +
        Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  struct Translation {
    WORD language, codepage;
  }* tr = nullptr;
  if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                        &length) ||
      tr == nullptr || length < sizeof *tr)
    return;
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", static_cast<unsigned>(tr->language),
                static_cast<unsigned>(tr->codepage));
  for (const wchar_t* field :
       {L"ProductName", L"FileDescription", L"InternalName", L"OriginalFilename", L"FileVersion",
        L"ProductVersion", L"Comments"}) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring query = std::wstring(block) + field;
    const bool found =
        ::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) &&
        value;
    Out("version " + Narrow(field) + " " +
        (found ? Quote(Narrow(std::wstring_view(value, wcsnlen(value, chars)))) : "missing"));
  }
}

BOOL CALLBACK IconSizes(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR sizes) {
  HRSRC res = ::FindResourceW(m, name, type);
  const auto* dir =
      res ? static_cast<const unsigned char*>(::LockResource(::LoadResource(m, res))) : nullptr;
  if (dir == nullptr) return TRUE;
  // GRPICONDIR: reserved, type, count; then 14-byte entries (width, height first).
  const int count = dir[4] | (dir[5] << 8);
  for (int i = 0; i < count; ++i) {
    const unsigned char* e = dir + 6 + 14 * i;
    const int w = e[0] ? e[0] : 256;
    const int h = e[1] ? e[1] : 256;
    reinterpret_cast<std::vector<std::string>*>(sizes)->push_back(std::to_string(w) + "x" +
                                                                  std::to_string(h));
  }
  return TRUE;
}

// The executable's identity: its version record and the sizes of its icon.
void Identity(const std::wstring& exe) {
  VersionRecord(exe);
  HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return;
  std::vector<std::string> icons;
  ::EnumResourceNamesW(module, RT_GROUP_ICON, IconSizes, reinterpret_cast<LONG_PTR>(&icons));
  ::FreeLibrary(module);
  std::string line = "icons";
  for (const std::string& i : icons) line += " " + i;
  Out(line);
}

std::string YesNo(bool b) {
  return b ? "yes" : "no";
}

void Frame(HWND main) {
  RECT client{};
  ::GetClientRect(main, &client);
  Out("client " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  // Where the window is on the screen, for cutting it out of a screenshot.
  RECT frame{};
  ::GetWindowRect(main, &frame);
  std::fprintf(stderr, "frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top);
  Out("title " + Quote(Narrow(RemoteText(main))));
  const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
  const LONG_PTR ex_style = ::GetWindowLongPtrW(main, GWL_EXSTYLE);
  Out("close box " + YesNo(style & WS_SYSMENU));
  Out("minimize box " + YesNo(style & WS_MINIMIZEBOX));
  Out("maximize box " + YesNo(style & WS_MAXIMIZEBOX));
  Out("sizable " + YesNo(style & WS_THICKFRAME));
  Out("taskbar " + YesNo((ex_style & WS_EX_APPWINDOW) && !(ex_style & WS_EX_TOOLWINDOW)));
}

// Controls with a window of their own at their rectangles, in table order.
void Controls(const Target& target, HWND main) {
  for (const controls::Control& c : controls::kTable) {
    if (c.kind != controls::Kind::Button && c.kind != controls::Kind::TextBox &&
        c.kind != controls::Kind::StatusBar)
      continue;
    HWND h = target.Item(c.id);
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
    if (c.kind == controls::Kind::TextBox && (cs & ES_READONLY)) line += " readonly";
    if (c.kind == controls::Kind::TextBox && (cs & ES_MULTILINE)) line += " multiline";
    if (c.kind == controls::Kind::Button && (cs & BS_DEFPUSHBUTTON)) line += " default";
    Out(line);
  }
  Out("status " + Quote(target.StatusText()));
  DWORD_PTR simple = 0;
  ::SendMessageTimeoutW(target.Item(ControlId::sbStatusBar), SB_ISSIMPLE, 0, 0, SMTO_NORMAL,
                        limits::Ms(limits::kSendMessage), &simple);
  Out("status simple " + YesNo(simple));
}

// The keyboard on the inspected window, and where the focus goes.
class Keyboard {
 public:
  explicit Keyboard(const Target& target) : target_(target) {}

  // Presses a key as the keyboard would (down, its character, up, to the
  // focused window) and waits until the program has handled it: a mark
  // posted behind the key (the text limit of a readout no one types in, one
  // more for every key) shows once the messages before it are through.
  bool Press(WORD vk) {
    HWND to = Focus();
    if (to == nullptr) to = target_.Main();
    ::PostMessageW(to, WM_KEYDOWN, vk, 1);
    if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB) {
      const wchar_t ch = vk == VK_SPACE    ? L' '
                         : vk == VK_RETURN ? L'\r'
                         : vk == VK_ESCAPE ? 27
                                           : L'\t';
      ::PostMessageW(to, WM_CHAR, ch, 1);
    }
    ::PostMessageW(to, WM_KEYUP, vk, 0xC0000001);
    HWND marked = target_.Item(ControlId::Text1);
    const WPARAM mark = ++presses_;
    ::PostMessageW(marked, EM_SETLIMITTEXT, mark, 0);
    const auto deadline = Clock::now() + limits::kKey;
    while (Clock::now() < deadline) {
      DWORD_PTR limit = 0;
      ::SendMessageTimeoutW(marked, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL,
                            limits::Ms(limits::kSendMessage), &limit);
      if (limit == mark) return true;
      std::this_thread::sleep_for(limits::kKeyPoll);
    }
    Out("!! a key was not handled");
    return false;
  }

  void Report(const std::string& what) const {
    HWND focus = Focus();
    std::string name = "nothing";
    if (focus == target_.Item(ControlId::Command1))
      name = "Command1";
    else if (focus == target_.Item(controls::kEntryBox))
      name = "Text11";
    else if (focus != nullptr)
      name = "other " + std::to_string(::GetDlgCtrlID(focus));
    Out("keys " + what + ": focus " + name + ", caption " +
        Quote(target_.Text(ControlId::Command1)) + ", entry " +
        Quote(target_.Text(controls::kEntryBox)));
  }

 private:
  HWND Focus() const {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    ::GetGUIThreadInfo(target_.thread(), &gti);
    return gti.hwndFocus;
  }

  const Target& target_;
  WPARAM presses_ = 0;
};

void Keys(const Target& target) {
  Keyboard keys(target);
  keys.Report("at open");
  keys.Press(VK_TAB);
  keys.Report("tab");
  keys.Press(VK_TAB);
  keys.Report("tab tab");
  keys.Press(VK_TAB);
  keys.Press(VK_RETURN);
  keys.Report("tab enter");
  keys.Press(VK_ESCAPE);
  keys.Report("escape");
  keys.Press(VK_TAB);
  keys.Press(VK_RETURN);
  keys.Report("tab enter on the button");
  if (target.Box()) Out("!! a message box opened");
  keys.Press(VK_SPACE);
  keys.Report("space on the button");
  if (target.Box()) Out("!! a message box opened");
}

}  // namespace

int Inspect(const std::wstring& exe, const std::wstring& work) {
  Identity(exe);
  // The stand-in answers with its defaults and logs nothing.
  ::SetEnvironmentVariableW(kConfigVariable, nullptr);
  SetDecimalSeparator('.');
  Target target;
  if (!target.Start(exe)) return 1;
  const auto deadline = Clock::now() + limits::kLoad;
  HWND main = nullptr;
  while ((main = target.MainVisible()) == nullptr && Clock::now() < deadline && !target.Exited() &&
         target.Box() == nullptr)
    std::this_thread::sleep_for(limits::kLoadPoll);
  if (main == nullptr) {
    HWND box = target.Box();
    Out("!! the window did not open" +
        (box ? ": " + Quote(Narrow(RemoteText(box))) : std::string()));
    return 1;
  }
  target.Sync();
  Frame(main);
  Controls(target, main);
  Keys(target);
  Out("ready");

  // Kept open for a screenshot until told.
  const std::wstring release = work + L"\\release";
  const auto hold = Clock::now() + limits::kHold;
  while (::GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES && Clock::now() < hold)
    std::this_thread::sleep_for(limits::kHoldPoll);
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  if (!target.WaitExit(limits::kExit)) {
    Out("!! the window did not close");
    return 1;
  }
  Out("exit status " + std::to_string(target.ExitCode()));
  return 0;
}

}  // namespace orvan::wine
