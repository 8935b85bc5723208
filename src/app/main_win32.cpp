// OrvanACP for Windows: the main window on native controls, ACP through COM.
// With no option it opens its window and waits, as it always has; an
// observatory's script may start it for a night with --threshold, --start and
// --log (app/command_line.h).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "intake/win32/plate_watch.h"
#include "observatory/com/com_factory.h"
#include "support/utc_text.h"
#include "support/wide.h"
#include "tracking/cycle_log.h"
#include "tracking/plate_intake.h"
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

// Where a console or a redirection would show it; a window would hold up
// the night.
void Notice(const std::string& message) {
  std::fprintf(stderr, "OrvanACP: %s\n", message.c_str());
}

// Holding by the frames of --frames: each frame's line on standard error.
std::unique_ptr<orvan::tracking::PlateIntake> FramesIntake(const orvan::app::Options& o) {
  if (!o.frames_dir) return nullptr;
  // No leap-second table here: a frame dated 23:59:60 is taken on the two
  // days of the year a leap second may end.
  const auto leap = [](int, int month, int day) {
    constexpr int kJune = 6, kDecember = 12, kLastOfJune = 30, kLastOfDecember = 31;
    return (month == kJune && day == kLastOfJune) || (month == kDecember && day == kLastOfDecember);
  };
  return std::make_unique<orvan::tracking::PlateIntake>(
      orvan::tracking::FrameHoldConfig{o.frames_center, o.frames_outlier_arcsec},
      orvan::J2000SecondsNow, leap, [](const std::string& line) { Notice(line); });
}

// The window on ACP until the program ends; its exit status.
int Run(HINSTANCE instance, const orvan::app::Options& o,
        std::unique_ptr<orvan::tracking::CycleLog> log) {
  orvan::win32::Win32View view(instance);
  orvan::com::ComFactory factory;
  // The hold outlives the window that steers with it.
  const std::unique_ptr<orvan::tracking::PlateIntake> frames = FramesIntake(o);
  // The window goes first: its objects are released at exit, before COM goes.
  std::unique_ptr<orvan::frmMain> main_form;
  orvan::frmMain& form = orvan::Module1::Main(main_form, view, factory, std::move(log));
  // The watch ends before the window it notes frames to.
  std::optional<orvan::intake::PlateWatch> watch;
  if (frames && !form.ended()) {
    form.SteerWith(&frames->hold());
    frames->NoteTo([&form](const orvan::tracking::FrameNote& note) { form.NoteFrame(note); });
    std::string error;
    if (!watch.emplace(orvan::intake::PlateFolderConfig{*o.frames_dir}, *frames).Start(error))
      Notice(error);
  }
  if (!form.ended() && o.threshold) form.Type(orvan::ControlId::Text11, *o.threshold);
  if (!form.ended() && o.start) form.Click();
  const int status = form.ended() ? form.exit_status() : view.Run(form);
  if (watch) {
    if (const std::string left = watch->Stop(); !left.empty()) Notice("frames: " + left);
  }
  return status;
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
    log = orvan::tracking::CycleLog::Open(*o.log_file, {}, Notice, error);
    if (!log) return Refuse(error);
  }

  // ACP's objects live in a single-threaded apartment, called from this thread.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) return 1;
  const int status = Run(instance, o, std::move(log));
  ::CoUninitialize();
  return status;
}
