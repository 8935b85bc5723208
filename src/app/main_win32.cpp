// OrvanACP for Windows: the main window on native controls, ACP through COM.
// With no option it opens its window and waits, as it always has; an
// observatory's script may start it for a night with --threshold, --start and
// --log (app/command_line.h).
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "observatory/com/com_factory.h"
#include "support/wide.h"
#include "tracking/cycle_log.h"
#include "ui/frmMain.h"
#include "ui/win32/win32_view.h"

#include <windows.h>
// The COM and shell headers build on windows.h.
#include <objbase.h>
#include <shellapi.h>

namespace {

constexpr int kBadCommandLine = 2;

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(orvan::win::Narrow(argv[i]));
  ::LocalFree(argv);
  return args;
}

// What the command line has to say, before any window: there is no console.
void Say(std::string_view text, UINT icon) {
  ::MessageBoxW(nullptr, orvan::win::Widen(text).c_str(), L"OrvanACP", MB_OK | icon);
}

int Refuse(const std::string& reason) {
  Say(reason + "\n\n" + std::string(orvan::app::Usage(orvan::app::Program::Windows)), MB_ICONERROR);
  return kBadCommandLine;
}

// The window on ACP until the program ends; its exit status.
int Run(HINSTANCE instance, const orvan::app::Options& o,
        std::unique_ptr<orvan::tracking::CycleLog> log) {
  orvan::win32::Win32View view(instance);
  orvan::com::ComFactory factory;
  // The window goes first: its objects are released at exit, before COM goes.
  std::unique_ptr<orvan::frmMain> main_form;
  orvan::frmMain& form = orvan::Module1::Main(main_form, view, factory, std::move(log));
  if (!form.ended() && o.threshold) form.Type(orvan::ControlId::Text11, *o.threshold);
  if (!form.ended() && o.start) form.Click();
  return form.ended() ? form.exit_status() : view.Run(form);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using orvan::app::Program;
  const std::vector<std::string> arguments = Arguments();
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  const orvan::app::Parsed parsed = orvan::app::ParseCommandLine(args, Program::Windows);
  const orvan::app::Options& o = parsed.options;
  if (!parsed.error.empty()) return Refuse(parsed.error);
  if (o.help || o.version) {
    Say(o.help ? orvan::app::Usage(Program::Windows) : orvan::app::kVersionText,
        MB_ICONINFORMATION);
    return 0;
  }
  std::unique_ptr<orvan::tracking::CycleLog> log;
  if (o.log_file) {
    std::string error;
    // A failed write is said where a console or a redirection would show it;
    // a window would hold up the night.
    log = orvan::tracking::CycleLog::Open(
        *o.log_file, {},
        [](const std::string& message) { std::fprintf(stderr, "OrvanACP: %s\n", message.c_str()); },
        error);
    if (!log) return Refuse(error);
  }

  // ACP's objects live in a single-threaded apartment, called from this thread.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) return 1;
  const int status = Run(instance, o, std::move(log));
  ::CoUninitialize();
  return status;
}
