#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "observatory/automation.h"
#include "observatory/mount_note.h"
#include "observatory/position_news.h"
#include "tracking/cycle_log.h"
#include "tracking/cycle_record.h"
#include "tracking/frame_note.h"
#include "tracking/target_steering.h"
#include "tracking/tracker_state.h"
#include "tracking/tracking.h"
#include "tracking/window.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

namespace orvan {

// The main window: its state (the window model and TrackerState), its
// handlers and readout routines, and the delivery of its events. Views render
// the model and pass their input in through WindowInput.
class frmMain final : public TrackerWindow, public WindowInput, private tracking::TrackingObserver {
 public:
  frmMain(WindowView& view, AutomationFactory& factory);
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // Event entry points. Handlers never run nested: an event arriving while one
  // runs (waiting on the observatory or a message box) is deferred and
  // delivered after it returns; deferred ticks coalesce, and one that fell due
  // before the timer was switched off is dropped. Anything a handler throws
  // goes to the run-time error report and ends the program.
  // Load returns false when the program ended during start-up.
  bool Load();
  void Click() override;
  void Tick() override;
  void Close() override;
  bool Type(ControlId box, std::string_view text) override;

  // From now on every start, cycle, stop, abort and the run-time error report
  // is recorded in `log`; a write that fails is also told to the view.
  void AttachLog(std::unique_ptr<tracking::CycleLog> log);
  // `listener` hears each record the handlers make (the same records the
  // log gets), each guide pulse sent, and that the program ends. It must outlive the
  // window, or be removed (Listen(nullptr)) before it goes.
  void Listen(tracking::TrackingObserver* listener) { listener_ = listener; }
  // `steering` moves the held position before each cycle and hears the
  // records as a listener does; the same lifetime rule.
  void SteerWith(tracking::TargetSteering* steering) { steering_ = steering; }
  // `news` tells the cycle whether the mount has reported its position anew
  // since a pulse (tracking::Timer1_Timer); the same lifetime rule.
  void HearPositionsFrom(PositionNews* news) { unseen_ = {news, {}}; }
  // What became of a frame: to the log and the view.
  void NoteFrame(const tracking::FrameNote& note) noexcept;
  // A note on the mount, said on standard error already: to the log, and
  // where it changes what the window shows of the mount, to the view.
  void NoteMount(const MountNote& note) noexcept;

  bool ended() const { return ended_; }
  int exit_status() const { return exit_status_; }
  const WindowModel& model() const { return model_; }

  TrackerState state;

  // Handlers and routines of the window.
  void Form_Load();
  void Form_Unload(std::int16_t& Cancel);
  void UpdateReadouts() override;
  void ClearReadouts() override;

  // TrackerWindow: the control operations, on the model.
  std::string Text11Text() override;
  void SetText11Enabled(bool enabled) override;
  void SetCommand1Caption(std::string_view caption) override;
  void SetTimer1Interval(std::int32_t milliseconds) override;
  void SetTimer1Enabled(bool enabled) override;
  void SetStatusText(std::string_view text) override;
  void MsgBox(std::string_view text) override;
  char DecimalSeparator() override;

 private:
  struct Pending {
    Event event;
    bool dropped = false;  // a tick whose timer was switched off meanwhile
  };
  void Post(Event e);
  void Run(const Pending& p);
  void Dispatch(Event e);
  void DropDueTicksIfStopped();
  void End(int exit_status);
  void ReportAndEnd(const Error& error);
  // TrackingObserver: pulses go to the view, records to the log.
  void Pulsed(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
              double error_arcsec) noexcept override;
  void Recorded(const tracking::CycleRecord& record) noexcept override;

  WindowView& view_;
  AutomationFactory& factory_;
  WindowModel model_;
  bool busy_ = false;
  bool ended_ = false;
  int exit_status_ = 0;
  std::deque<Pending> deferred_;
  std::unique_ptr<tracking::CycleLog> log_;
  tracking::TrackingObserver* listener_ = nullptr;
  tracking::TargetSteering* steering_ = nullptr;
  tracking::UnseenPulses unseen_;
};

// Module1: the start-up procedure.
namespace Module1 {
// Creates the main window in `MainForm`, the caller's one reference to it,
// kept for the whole run, then loads it and shows it; the window is there
// during its load handler already, for events that fall due meanwhile. A
// window `MainForm` held before lets go of the view first. When start-up
// fails the error report has been shown, the program has ended and nothing
// is shown. A log, when given, is attached before the load, so that it has a
// failed start-up's report too.
frmMain& Main(std::unique_ptr<frmMain>& MainForm, WindowView& view, AutomationFactory& factory,
              std::unique_ptr<tracking::CycleLog> log = nullptr);
}  // namespace Module1

}  // namespace orvan
