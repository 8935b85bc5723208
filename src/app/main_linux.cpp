// OrvanACP for Linux: the window (or none) on the built-in simulated
// observatory or on an INDI telescope, as the command line says.
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/points_file.h"
#include "app/sync_points.h"
#include "intake/frame_intake.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/indi/indi_trace.h"
#include "observatory/mount_note.h"
#include "observatory/sim/simulated_observatory.h"
#include "pointing/model_file.h"
#include "rates/rate_follower.h"
#include "replay/trace.h"
#include "support/air.h"
#include "support/units.h"
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

// What the frames' worker made is taken in this often, on the program's thread.
constexpr std::chrono::milliseconds kTakeFramesEvery{1000};

// SIGINT and SIGTERM end the program like a closed window: the handler only
// wakes the event loop, which closes the window on the user-interface thread.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

// Installed before the start, so that a signal during a slow start-up (an
// INDI server that takes its time) closes the window once it is up. The
// window is reached through `main_form`, which must outlive the notifier.
std::unique_ptr<QSocketNotifier> CloseOnSignals(const std::unique_ptr<frmMain>& main_form) {
  if (::pipe(g_signal_pipe) != 0) return nullptr;
  auto notifier = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [&main_form] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
    if (main_form) main_form->Close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  return notifier;
}

// What the program finds out for itself and has no window for: a mount's
// reversed axis, what model tracking cannot do.
void Notice(const std::string& text) {
  std::fprintf(stderr, "%s %s\n", headless::UtcNowText().c_str(), text.c_str());
  std::fflush(stderr);
}

// What the program says of the air or the mount: on standard error and,
// once the view or the window is there, to it as well (with --headless, the
// view's `air` line; a mount's note, to the log and the window's status bar).
const std::string& TextOf(const std::string& note) {
  return note;
}
const std::string& TextOf(const MountNote& note) {
  return note.text;
}
template <class Note>
struct Notices {
  std::function<void(const Note&)> also;
  void Say(const Note& note) const {
    Notice(TextOf(note));
    if (also) also(note);
  }
};
using AirNotices = Notices<std::string>;
using MountNotices = Notices<MountNote>;

// Which air the program maps with, said once at the start.
std::string AirInUse(const app::Options& o, const program::ObservatoryProgram& program) {
  const std::string fixed = program::AirText(program.config());
  if (!o.weather) return "air for refraction: " + fixed;
  return "air for refraction: read from INDI weather device \"" + *o.weather +
         "\"; until it reads, and for what it does not: " + fixed;
}

// The INDI trace, where asked for: to standard error, or appended to a file;
// null, with the reason in `error`, when the file can't be opened.
std::shared_ptr<indi::IndiTrace> OpenIndiTrace(const std::string& path, std::string& error) {
  if (path.empty())
    return std::make_shared<indi::IndiTrace>([](const std::string& line) {
      std::fprintf(stderr, "%s\n", line.c_str());
      std::fflush(stderr);
    });
  std::shared_ptr<std::FILE> file(std::fopen(path.c_str(), "a"), [](std::FILE* f) {
    if (f) std::fclose(f);
  });
  if (!file) {
    error = "cannot open INDI trace " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_shared<indi::IndiTrace>([file](const std::string& line) {
    std::fprintf(file.get(), "%s\n", line.c_str());
    std::fflush(file.get());
  });
}

// `side` receives where the observatory tells the side of the pier, `news`
// where it tells whether the mount has reported its position anew since a pulse.
std::unique_ptr<AutomationFactory> MakeObservatory(
    const app::Options& o, std::shared_ptr<indi::IndiTrace> trace, app::SyncPoints* syncs,
    std::shared_ptr<program::ObservatoryProgram>& program, std::shared_ptr<PierSideSource>& side,
    std::shared_ptr<PositionNews>& news, const AirNotices& air, const MountNotices& mount) {
  program::SkyOptions sky;
  sky.pressure_hpa = o.pressure_hpa;
  sky.temperature_c = o.temperature_c;
  if (o.humidity_percent) sky.relative_humidity = *o.humidity_percent / kPercent;
  if (o.model_file) sky.terms = pointing::LoadPointingModel(*o.model_file);
  if (!o.indi_host) {
    sim::SimOptions truth;
    if (o.sim_truth_file) truth.truth = pointing::LoadPointingModel(*o.sim_truth_file);
    truth.german = o.sim_german;
    return sim::MakeDefaultObservatory(sky, &program, truth);
  }
  indi::IndiOptions indi;
  indi.host = *o.indi_host;
  indi.port = o.indi_port;
  indi.device = o.device;
  indi.sky = sky;
  indi.notice = [&mount](const MountNote& note) { mount.Say(note); };
  indi.trace = std::move(trace);
  indi.reverse_on_pier_west = o.reverse_on_pier_west;
  indi.guide_rate = o.guide_rate;
  if (syncs) indi.syncs = syncs->watch();
  indi.weather = o.weather;
  indi.air_notice = [&air](const std::string& text) { air.Say(text); };
  return indi::MakeIndiObservatory(indi, &program, &side, &news);
}

// What runs beside the window: the cycle log, model tracking, the syncs
// recorded as points, holding by the frames; each where asked for.
struct Companions {
  std::unique_ptr<tracking::CycleLog> log;
  tracking::TrackingObserver* listener = nullptr;
  app::SyncPoints* syncs = nullptr;
  intake::FrameIntake* frames = nullptr;
  std::shared_ptr<program::ObservatoryProgram> program;
  std::shared_ptr<PierSideSource> side;
  std::shared_ptr<PositionNews> news;
  MountNotices* mount = nullptr;
};

// Starts the program on `view` and runs it to its end; the exit status.
int Run(const app::Options& o, WindowView& view, AutomationFactory& observatory, Companions c) {
  // The window logic holds the observatory's objects and is bound to the
  // view, so it goes before either.
  std::unique_ptr<frmMain> main_form;
  QTimer frames_timer;  // ends before the window logic it notes frames to
  const std::unique_ptr<QSocketNotifier> signal_notifier = CloseOnSignals(main_form);
  frmMain& form = Module1::Main(main_form, view, observatory, std::move(c.log));
  form.Listen(c.listener);
  form.HearPositionsFrom(c.news.get());
  if (c.mount) c.mount->also = [&form](const MountNote& note) { form.NoteMount(note); };
  if (c.frames) {
    form.SteerWith(&c.frames->hold());
    c.frames->NoteTo([&form](const tracking::FrameNote& note) { form.NoteFrame(note); });
    frames_timer.callOnTimeout([frames = c.frames] { frames->Take(); });
    frames_timer.start(kTakeFramesEvery);
  }
  if (!form.ended()) {
    if (o.threshold) form.Type(ControlId::Text11, *o.threshold);
    if (o.start) form.Click();
  }
  if (c.syncs) c.syncs->Start(c.program, c.side);
  // A failed start-up has shown its report and ended the program before any
  // event loop ran; otherwise the loop runs until the program ends.
  if (!form.ended()) QCoreApplication::exec();
  if (c.mount) c.mount->also = nullptr;
  // The frames stop within their limit; a thread stuck in a folder that
  // hangs is said, and the program ends without it.
  if (c.frames) {
    if (const std::string left = c.frames->Stop(); !left.empty()) Notice("frames: " + left);
  }
  return form.exit_status();
}

// A bad command line, or an output that can't be opened: said with the
// usage, exit status 2.
int Refuse(const std::string& reason) {
  std::cerr << "orvanacp: " << reason << "\n" << app::Usage();
  return 2;
}

// The cycle log, where asked for; false, with the reason, when it can't be
// opened: a run that could not keep it should not start.
bool OpenLog(const app::Options& o, std::unique_ptr<tracking::CycleLog>& log, std::string& error) {
  if (!o.log_file) return true;
  log = tracking::CycleLog::Open(
      *o.log_file, {},
      [](const std::string& message) { std::fprintf(stderr, "orvanacp: %s\n", message.c_str()); },
      error);
  return log != nullptr;
}

// Holding by the frames of --frames; each frame's line on standard error
// where no headless view prints it.
std::unique_ptr<intake::FrameIntake> OpenFrames(
    const app::Options& o, std::shared_ptr<program::ObservatoryProgram> program,
    std::shared_ptr<PierSideSource> side, std::shared_ptr<app::PointsFile> point_file) {
  intake::FrameIntake::Config config;
  config.dir = *o.frames_dir;
  config.solve = o.solve_frames;
  config.any_wcs = o.any_frame_wcs;
  config.pixel_scale_arcsec = o.pixel_scale_arcsec;
  config.hold = {o.frames_center, o.frames_outlier_arcsec};
  if (o.frames_wait_s) {
    config.whole_wait =
        std::chrono::milliseconds(std::llround(*o.frames_wait_s * kMillisecondsPerSecond));
  }
  intake::FrameIntake::Say say;
  if (!o.headless) say = [](const std::string& text) { Notice("frame " + text); };
  intake::FrameIntake::PointSink to_points;
  if (point_file) {
    to_points = [file = std::move(point_file)](const points::PointRecord& point,
                                               const std::string& source) {
      file->Append(point, source);
    };
  }
  return std::make_unique<intake::FrameIntake>(config, std::move(program), std::move(side),
                                               std::move(to_points), std::move(say));
}

// The observatory's accesses on standard error, where asked for.
std::unique_ptr<AutomationFactory> Traced(const app::Options& o, AutomationFactory& observatory) {
  if (!o.trace) return nullptr;
  return transcript::Traced(observatory, [](const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  });
}

// Runs the program on its view: the headless one or the window; `air_in_use`
// is said first.
int RunOnView(int argc, char* argv[], const app::Options& o, AutomationFactory& observatory,
              Companions c, AirNotices& air, const std::string& air_in_use) {
  if (o.headless) {
    QCoreApplication app(argc, argv);
    headless::HeadlessView view([](const std::string& line) {
      std::fprintf(stdout, "%s\n", line.c_str());
      std::fflush(stdout);
    });
    air.also = [&view](const std::string& text) { view.AirNoted(text); };
    air.Say(air_in_use);
    const int status = Run(o, view, observatory, std::move(c));
    air.also = nullptr;
    return status;
  }
  air.Say(air_in_use);
#ifdef ORVAN_NO_WINDOW
  // Built on Qt Core alone (ORVAN_QT_WIDGETS OFF): there is no window.
  return Refuse("this build has no window; run it with --headless");
#else
  QApplication app(argc, argv);
  QApplication::setApplicationName("OrvanACP");
  QApplication::setWindowIcon(qt::ApplicationIcon());
  qt::QtView view;
  return Run(o, view, observatory, std::move(c));
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  // A server that goes away leaves a socket that raises SIGPIPE on the next
  // write, which would end the program instead of reporting the error.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const app::Parsed parsed = app::ParseCommandLine(args);
  const app::Options& o = parsed.options;
  if (!parsed.error.empty()) return Refuse(parsed.error);
  if (o.help || o.version) {
    std::cout << (o.help ? std::string(app::Usage()) : std::string(app::kVersionText) + "\n");
    return 0;
  }

  std::string error;
  std::unique_ptr<tracking::CycleLog> log;
  if (!OpenLog(o, log, error)) return Refuse(error);
  const auto indi_trace = o.trace_indi ? OpenIndiTrace(*o.trace_indi, error) : nullptr;
  if (!error.empty()) return Refuse(error);
  std::shared_ptr<app::PointsFile> points;
  if (o.points_file && !(points = app::PointsFile::Open(*o.points_file, Notice, error)))
    return Refuse(error);
  std::unique_ptr<app::SyncPoints> syncs;
  if (points && o.indi_host) syncs = std::make_unique<app::SyncPoints>(points);

  AirNotices air;
  MountNotices mount;
  std::unique_ptr<AutomationFactory> observatory;
  std::shared_ptr<program::ObservatoryProgram> program;
  std::shared_ptr<PierSideSource> side;
  std::shared_ptr<PositionNews> news;
  try {
    observatory = MakeObservatory(o, indi_trace, syncs.get(), program, side, news, air, mount);
  } catch (const Error& e) {
    // A model file that can't be read is a bad value on the command line.
    return Refuse(e.description());
  }
  // The log's pier_side, from the mount's own report: no access of the objects.
  if (log && side) log->ReadSideFrom(side);
  // The air each cycle mapped with, from the program itself.
  if (log && program) log->ReadAirFrom(program);
  const std::unique_ptr<AutomationFactory> traced = Traced(o, *observatory);
  // Model tracking, where asked for: it outlives the window, and gives the
  // mount its own tracking back at the latest when it goes.
  std::unique_ptr<intake::FrameIntake> frames;
  if (o.frames_dir) {
    frames = OpenFrames(o, program, side, points);
    if (!frames->Start(error)) return Refuse(error);
  }
  std::optional<program::RateFollower> follower;
  std::optional<tracking::ModelTracking> model_tracking;
  if (o.rates) {
    follower.emplace(program, Notice);
    model_tracking.emplace(*follower, frames ? &frames->hold() : nullptr);
  }
  return RunOnView(argc, argv, o, traced ? *traced : *observatory,
                   {std::move(log), model_tracking ? &*model_tracking : nullptr, syncs.get(),
                    frames.get(), program, side, news, &mount},
                   air, program ? AirInUse(o, *program) : std::string());
}
