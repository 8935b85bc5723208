#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "observatory/automation.h"
#include "tracking/window.h"
#include "ui/surface.h"
#include "ui/tracker_state.h"

namespace orvan {

// The main window's logic: its state, its handlers and readout routines, and
// the delivery of its events. Written once against Surface; every front end
// passes its events in through Load, Click, Tick and Close.
class frmMain final : public TrackerWindow {
 public:
  frmMain(Surface& surface, AutomationFactory& factory);

  // Event entry points. Handlers never run nested: an event arriving while one
  // runs (waiting on the observatory or a message box) is deferred and
  // delivered after it returns; deferred ticks coalesce and are dropped if the
  // timer is off by then. An error no handler catches goes to the run-time
  // error report and ends the program.
  // Load returns false when the program ended during start-up.
  bool Load();
  void Click();
  void Tick();
  void Close();

  bool ended() const { return ended_; }
  bool timer_live() const { return timer_enabled_ && timer_interval_ > 0; }
  std::int32_t timer_interval() const { return timer_interval_; }
  bool timer_enabled() const { return timer_enabled_; }

  TrackerState state;

  // Handlers and routines of the window.
  void Form_Load();
  void Form_Unload(std::int16_t& Cancel);
  void UpdateReadouts() override;
  void ClearReadouts() override;

  // TrackerWindow: the control operations, through the surface.
  std::string Text11Text() override;
  void SetText11Enabled(bool enabled) override;
  void SetCommand1Caption(std::string_view caption) override;
  void SetTimer1Interval(std::int32_t milliseconds) override;
  void SetTimer1Enabled(bool enabled) override;
  void SetStatusText(std::string_view text) override;
  void MsgBox(std::string_view text) override;
  char DecimalSeparator() override;

 private:
  void Post(Event e);
  void Run(Event e);
  void Dispatch(Event e);
  void ReportAndEnd(const Error& error);

  Surface& surface_;
  AutomationFactory& factory_;
  char decimal_;
  bool busy_ = false;
  bool ended_ = false;
  bool timer_enabled_;
  std::int32_t timer_interval_;
  std::deque<Event> deferred_;
};

// Module1: the start-up procedure and the one reference to the main window.
namespace Module1 {
// The main window, kept for the whole run.
extern std::unique_ptr<frmMain> MainForm;
// Creates the main window, loads it and shows it. When start-up fails the
// error report has been shown, the program has ended and nothing is shown.
frmMain& Main(Surface& surface, AutomationFactory& factory);
// Passes a window event on to the main window, if there is one.
void Deliver(Event e);
}  // namespace Module1

}  // namespace orvan
