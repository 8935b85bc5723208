#include "ui/frmMain.h"

#include <string>

#include "observatory/acp.h"
#include "support/checked.h"
#include "support/numtext.h"
#include "tracking/tracking.h"
#include "ui/controls.h"

namespace orvan {

std::string_view EventName(Event e) {
  switch (e) {
    case Event::Load:
      return "load";
    case Event::Click:
      return "click";
    case Event::Tick:
      return "tick";
    case Event::Close:
      return "close";
  }
  return "?";
}

frmMain::frmMain(Surface& surface, AutomationFactory& factory)
    : surface_(surface),
      factory_(factory),
      decimal_(surface.DecimalSeparator()),
      timer_enabled_(controls::Find("Timer1")->enabled),
      timer_interval_(controls::kTimerDesignInterval) {
  SetAutomationDecimalSeparator(decimal_);
}

// ---- event delivery -------------------------------------------------------

bool frmMain::Load() {
  Post(Event::Load);
  return !ended_;
}
void frmMain::Click() {
  Post(Event::Click);
}
void frmMain::Tick() {
  Post(Event::Tick);
}
void frmMain::Close() {
  Post(Event::Close);
}

void frmMain::Post(Event e) {
  if (ended_) return;
  if (busy_) {
    surface_.EventDeferred(e);
    // Ticks do not pile up: one deferred tick stands for all that fell due.
    if (e == Event::Tick)
      for (Event d : deferred_)
        if (d == Event::Tick) return;
    deferred_.push_back(e);
    return;
  }
  Run(e);
  while (!deferred_.empty() && !ended_) {
    const Event next = deferred_.front();
    deferred_.pop_front();
    Run(next);
  }
}

void frmMain::Run(Event e) {
  if (e == Event::Tick && !timer_live()) {
    surface_.EventIgnored(e);
    return;
  }
  surface_.EventStarted(e);
  busy_ = true;
  try {
    Dispatch(e);
  } catch (const Error& error) {
    busy_ = false;
    ReportAndEnd(error);
    return;
  }
  busy_ = false;
}

void frmMain::Dispatch(Event e) {
  switch (e) {
    case Event::Load:
      Form_Load();
      break;
    case Event::Click:
      tracking::Command1_Click(state, *this);
      break;
    case Event::Tick:
      tracking::Timer1_Timer(state, *this);
      break;
    case Event::Close: {
      std::int16_t cancel = 0;
      Form_Unload(cancel);
      if (cancel == 0) {
        ended_ = true;
        deferred_.clear();
        surface_.EndProgram(0);
      }
      break;
    }
  }
}

void frmMain::ReportAndEnd(const Error& error) {
  // Nothing may run while the report is up: the timer stops first.
  timer_enabled_ = false;
  surface_.HaltTimer();
  ended_ = true;
  deferred_.clear();
  surface_.ShowErrorReport(error);
  surface_.EndProgram(1);
}

// ---- handlers -------------------------------------------------------------

void frmMain::Form_Load() {
  state.TrackingActive = false;
  state.TargetStale = false;
  state.AcpUtil = acp::Create(factory_, acp::kUtilProgId);
  state.AcpTelescope = acp::Create(factory_, acp::kTelescopeProgId);
  acp::Telescope telescope(state.AcpTelescope);
  telescope.SetConnected(true);
  state.DriverInterfaceVersion = 1;
  try {
    state.DriverInterfaceVersion = telescope.InterfaceVersion();
  } catch (const Error&) {
    // A telescope that can't tell its interface version is taken as version 1.
  }
}

void frmMain::Form_Unload(std::int16_t& /*Cancel*/) {
  // Closing is never refused; the telescope stays connected.
}

void frmMain::UpdateReadouts() {
  using namespace checked;
  auto arcsec_text = [&](double error, double factor) {
    return NumberToText(Div(Floor(Div(Mul(error, 1000000.0), factor)), 1000000.0), decimal_);
  };
  surface_.SetText(1, arcsec_text(state.ErrorRA, ArcsecPerHourFactor));
  surface_.SetText(2, arcsec_text(state.ErrorDec, ArcsecPerDegreeFactor));
  const double positions[] = {state.CurrentScopeRA, state.CurrentScopeDec, state.CurrentTrueRA,
                              state.CurrentTrueDec, state.TargetScopeRA,   state.TargetScopeDec,
                              state.TargetTrueRA,   state.TargetTrueDec};
  int box = 3;
  for (double p : positions) surface_.SetText(box++, NumberToText(p, decimal_));
  surface_.SetStatusText("Orvan tracking");
}

void frmMain::ClearReadouts() {
  surface_.SetText(1, controls::kClearedError);
  surface_.SetText(2, controls::kClearedError);
  for (int box = 3; box <= 10; ++box) surface_.SetText(box, "");
  surface_.SetStatusText(controls::kIdleStatus);
}

// ---- control operations ---------------------------------------------------

std::string frmMain::Text11Text() {
  return surface_.Text(controls::kEntryBox);
}
void frmMain::SetText11Enabled(bool enabled) {
  surface_.SetEnabled(controls::kEntryBox, enabled);
}
void frmMain::SetCommand1Caption(std::string_view caption) {
  surface_.SetCaption(caption);
}

void frmMain::SetTimer1Interval(std::int32_t milliseconds) {
  surface_.SetTimerInterval(milliseconds);
  timer_interval_ = milliseconds;
}

void frmMain::SetTimer1Enabled(bool enabled) {
  surface_.SetTimerEnabled(enabled);
  timer_enabled_ = enabled;
}

void frmMain::SetStatusText(std::string_view text) {
  surface_.SetStatusText(text);
}
void frmMain::MsgBox(std::string_view text) {
  surface_.MessageBox(text);
}
char frmMain::DecimalSeparator() {
  return decimal_;
}

// ---- Module1 --------------------------------------------------------------

namespace Module1 {

std::unique_ptr<frmMain> MainForm;

frmMain& Main(Surface& surface, AutomationFactory& factory) {
  MainForm = std::make_unique<frmMain>(surface, factory);
  if (MainForm->Load()) surface.Show();
  return *MainForm;
}

void Deliver(Event e) {
  if (!MainForm) return;
  switch (e) {
    case Event::Load:
      break;
    case Event::Click:
      MainForm->Click();
      break;
    case Event::Tick:
      MainForm->Tick();
      break;
    case Event::Close:
      MainForm->Close();
      break;
  }
}

}  // namespace Module1

}  // namespace orvan
