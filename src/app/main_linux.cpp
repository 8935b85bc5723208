// OrvanACP for Linux: the window (or none) on the built-in simulated
// observatory or on an INDI telescope, as the command line says.
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/program/pointing_file.h"
#include "observatory/program/rate_follower.h"
#include "observatory/sim/simulated_observatory.h"
#include "replay/trace.h"
#include "tracking/cycle_log.h"
#include "tracking/model_tracking.h"
#include "ui/frmMain.h"
#include "ui/headless/headless_view.h"
#ifndef ORVAN_NO_WINDOW
#include <QApplication>

#include "ui/qt/app_icon.h"
#include "ui/qt/qt_view.h"
#endif

namespace {

using namespace orvan;

// SIGINT and SIGTERM end the program like a closed window: the handler only
// wakes the event loop, which closes the window on the user-interface thread.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

// Installed before the start, so that a signal during a slow start-up (an
// INDI server that takes its time) closes the window once it is up.
void CloseOnSignals(QObject* parent) {
  if (::pipe(g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
    if (Module1::MainForm) Module1::MainForm->Close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

// What the program finds out for itself and has no window for: a mount's
// reversed axis, what model tracking cannot do.
void Notice(const std::string& text) {
  std::fprintf(stderr, "%s %s\n", headless::UtcNowText().c_str(), text.c_str());
  std::fflush(stderr);
}

// `side` receives where the observatory tells the side of the pier.
std::unique_ptr<AutomationFactory> MakeObservatory(
    const app::Options& o, std::shared_ptr<program::ObservatoryProgram>& program,
    std::shared_ptr<PierSideSource>& side) {
  program::SkyOptions sky;
  sky.pressure_hpa = o.pressure_hpa;
  sky.temperature_c = o.temperature_c;
  if (o.model_file) sky.terms = program::LoadPointingModel(*o.model_file);
  if (!o.indi_host) return sim::MakeDefaultObservatory(sky, &program);
  indi::IndiOptions indi;
  indi.host = *o.indi_host;
  indi.port = o.indi_port;
  indi.device = o.device;
  indi.sky = sky;
  indi.notice = Notice;
  indi.reverse_on_pier_west = o.reverse_on_pier_west;
  return indi::MakeIndiObservatory(indi, &program, &side);
}

// Starts the program on `view` and runs it to its end; the exit status.
int Run(const app::Options& o, WindowView& view, AutomationFactory& observatory,
        std::unique_ptr<tracking::CycleLog> log, tracking::TrackingObserver* listener) {
  CloseOnSignals(QCoreApplication::instance());
  frmMain& form = Module1::Main(view, observatory, std::move(log));
  form.Listen(listener);
  if (!form.ended()) {
    if (o.threshold) form.Type(ControlId::Text11, *o.threshold);
    if (o.start) form.Click();
  }
  // A failed start-up has shown its report and ended the program before any
  // event loop ran; otherwise the loop runs until the program ends.
  if (!form.ended()) QCoreApplication::exec();
  const int status = form.exit_status();
  // The window logic holds the observatory's objects and is bound to the
  // view, so it goes before either.
  Module1::MainForm.reset();
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  // A server that goes away leaves a socket that raises SIGPIPE on the next
  // write, which would end the program instead of reporting the error.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const app::Parsed parsed = app::ParseCommandLine(args);
  const app::Options& o = parsed.options;
  if (!parsed.error.empty()) {
    std::cerr << "orvanacp: " << parsed.error << "\n" << app::Usage();
    return 2;
  }
  if (o.help) {
    std::cout << app::Usage();
    return 0;
  }
  if (o.version) {
    std::cout << app::kVersionText << "\n";
    return 0;
  }

  // The log is opened first: a run that could not keep it should not start.
  std::unique_ptr<tracking::CycleLog> log;
  if (o.log_file) {
    std::string error;
    log = tracking::CycleLog::Open(
        *o.log_file, {},
        [](const std::string& message) { std::fprintf(stderr, "orvanacp: %s\n", message.c_str()); },
        error);
    if (!log) {
      std::cerr << "orvanacp: " << error << "\n" << app::Usage();
      return 2;
    }
  }

  std::unique_ptr<AutomationFactory> observatory;
  std::shared_ptr<program::ObservatoryProgram> program;
  std::shared_ptr<PierSideSource> side;
  try {
    observatory = MakeObservatory(o, program, side);
  } catch (const Error& e) {
    // A model file that can't be read is a bad value on the command line.
    std::cerr << "orvanacp: " << e.description() << "\n" << app::Usage();
    return 2;
  }
  // The log's pier_side, from the mount's own report: no access of the objects.
  if (log && side) log->ReadSideFrom(side);
  std::unique_ptr<AutomationFactory> traced;
  if (o.trace)
    traced = transcript::Traced(*observatory, [](const std::string& line) {
      std::fprintf(stderr, "%s\n", line.c_str());
      std::fflush(stderr);
    });
  AutomationFactory& used = traced ? *traced : *observatory;
  // Model tracking, where asked for: it outlives the window, and gives the
  // mount its own tracking back at the latest when it goes.
  std::optional<program::RateFollower> follower;
  std::optional<tracking::ModelTracking> model_tracking;
  if (o.rates) {
    follower.emplace(program, Notice);
    model_tracking.emplace(*follower);
  }
  tracking::TrackingObserver* listener = model_tracking ? &*model_tracking : nullptr;

  if (o.headless) {
    QCoreApplication app(argc, argv);
    headless::HeadlessView view([](const std::string& line) {
      std::fprintf(stdout, "%s\n", line.c_str());
      std::fflush(stdout);
    });
    return Run(o, view, used, std::move(log), listener);
  }
#ifdef ORVAN_NO_WINDOW
  // Built on Qt Core alone (ORVAN_QT_WIDGETS OFF): there is no window.
  std::cerr << "orvanacp: this build has no window; run it with --headless\n" << app::Usage();
  return 2;
#else
  QApplication app(argc, argv);
  QApplication::setApplicationName("OrvanACP");
  QApplication::setWindowIcon(qt::ApplicationIcon());
  qt::QtView view;
  return Run(o, view, used, std::move(log), listener);
#endif
}
