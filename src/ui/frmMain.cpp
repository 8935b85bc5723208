#include "ui/frmMain.h"

#include <exception>
#include <new>
#include <string>

#include "observatory/acp.h"
#include "support/numtext.h"
#include "tracking/tracking.h"
#include "ui/controls.h"

namespace orvan {
namespace {

using enum ControlId;

// The readouts of UpdateReadouts, in the order it writes them, with what each shows.
struct PositionReadout {
  ControlId box;
  double TrackerState::*value;
};
constexpr PositionReadout kPositionReadouts[] = {
    {Text3, &TrackerState::CurrentScopeRA}, {Text4, &TrackerState::CurrentScopeDec},
    {Text5, &TrackerState::CurrentTrueRA},  {Text6, &TrackerState::CurrentTrueDec},
    {Text7, &TrackerState::TargetScopeRA},  {Text8, &TrackerState::TargetScopeDec},
    {Text9, &TrackerState::TargetTrueRA},   {Text10, &TrackerState::TargetTrueDec},
};

// Whatever a handler throws, as the error the run-time error report shows.
Error CurrentError() {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return errors::ErrorOf(errors::kOutOfMemory);
  } catch (const std::exception& e) {
    const std::string what = e.what();
    return Error(errors::kUnspecified,
                 what.empty() ? std::string(errors::TextOf(errors::kUnspecified)) : what);
  } catch (...) {
    return errors::ErrorOf(errors::kUnspecified);
  }
}

}  // namespace

frmMain::frmMain(WindowView& view, AutomationFactory& factory)
    : view_(view), factory_(factory), model_(view.UserDecimalSeparator()) {
  view_.Bind(&model_, this);
}

frmMain::~frmMain() {
  view_.Bind(nullptr, nullptr);
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

bool frmMain::Type(ControlId box, std::string_view text) {
  return !ended_ && model_.Type(box, text);
}

void frmMain::Post(Event e) {
  if (ended_) return;
  if (busy_) {
    view_.EventDeferred(e);
    // Ticks do not pile up: one deferred tick stands for all that fell due.
    if (e == Event::Tick)
      for (const Pending& d : deferred_)
        if (d.event == Event::Tick && !d.dropped) return;
    deferred_.push_back({e});
    return;
  }
  Run({e});
  while (!deferred_.empty() && !ended_) {
    const Pending next = deferred_.front();
    deferred_.pop_front();
    Run(next);
  }
}

void frmMain::Run(const Pending& p) {
  if (p.event == Event::Tick && (p.dropped || !model_.Ticking())) {
    view_.EventIgnored(p.event);
    return;
  }
  view_.EventStarted(p.event);
  busy_ = true;
  try {
    Dispatch(p.event);
  } catch (...) {
    const Error error = CurrentError();
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
      tracking::Command1_Click(state, *this, *this);
      break;
    case Event::Tick:
      if (steering_) steering_->Steer(state);
      tracking::Timer1_Timer(state, *this, *this, &unseen_);
      break;
    case Event::Close: {
      std::int16_t cancel = 0;
      Form_Unload(cancel);
      if (cancel == 0) End(0);
      break;
    }
  }
}

void frmMain::DropDueTicksIfStopped() {
  // Switching a timer off discards a tick already due, even if it is armed
  // again before that tick would have been delivered.
  if (model_.Ticking()) return;
  for (Pending& d : deferred_)
    if (d.event == Event::Tick) d.dropped = true;
}

void frmMain::End(int exit_status) {
  if (listener_) listener_->Ending();
  ended_ = true;
  exit_status_ = exit_status;
  deferred_.clear();
  view_.End(exit_status);
}

void frmMain::ReportAndEnd(const Error& error) {
  // Nothing may run while the report is up: the timer stops first. The
  // program ends whatever the report itself does.
  ended_ = true;
  exit_status_ = 1;
  deferred_.clear();
  // Logged before the report, which may wait for the user.
  if (log_) log_->RecordError(error, model_.Text(sbStatusBar));
  if (listener_) listener_->Ending();
  try {
    model_.HaltTimer();
    view_.ErrorReport(error);
  } catch (...) {
  }
  try {
    view_.End(1);
  } catch (...) {
  }
}

// ---- the record of the night ---------------------------------------------

void frmMain::AttachLog(std::unique_ptr<tracking::CycleLog> log) {
  log_ = std::move(log);
  if (log_) log_->AlsoOnFailure([this](const std::string& message) { view_.LogFailed(message); });
}

void frmMain::Pulsed(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
                     double error_arcsec) noexcept {
  if (listener_) listener_->Pulsed(axis, pulse, error_arcsec);
  try {
    tracking::SentPulse told = pulse;
    if (unseen_.news) told.sent_as = unseen_.news->SentAs(pulse.direction);
    view_.PulseSent(axis, told, error_arcsec);
  } catch (...) {
    // A note the view could not print changes nothing.
  }
}

void frmMain::NoteFrame(const tracking::FrameNote& note) noexcept {
  if (log_) log_->RecordFrame(note, model_.Text(sbStatusBar));
  try {
    view_.FrameNoted(note);
  } catch (...) {
  }
}

void frmMain::NoteMount(const MountNote& note) noexcept {
  if (log_) log_->RecordMount(note.text, model_.Text(sbStatusBar));
  if (!note.status) return;
  try {
    view_.MountNoted(*note.status, note.text);
  } catch (...) {
    // A note the view could not show changes nothing.
  }
}

void frmMain::Recorded(const tracking::CycleRecord& record) noexcept {
  if (log_) log_->Record(record, model_.Text(sbStatusBar));
  if (listener_) listener_->Recorded(record);
  if (steering_) steering_->Recorded(record);
}

// ---- handlers -------------------------------------------------------------

void frmMain::Form_Load() {
  state.TrackingActive = false;
  state.TargetStale = false;
  state.AcpUtil = acp::Create(factory_, acp::kUtilProgId);
  state.AcpTelescope = acp::Create(factory_, acp::kTelescopeProgId);
  acp::Telescope telescope(state.AcpTelescope, DecimalSeparator());
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
  const char decimal = DecimalSeparator();
  auto arcsec_text = [&](double error, double factor) {
    return NumberToText(tracking::ReadoutArcsec(error, factor), decimal);
  };
  model_.SetText(Text1, arcsec_text(state.ErrorRA, ArcsecPerHourFactor));
  model_.SetText(Text2, arcsec_text(state.ErrorDec, ArcsecPerDegreeFactor));
  for (const PositionReadout& r : kPositionReadouts)
    model_.SetText(r.box, NumberToText(state.*r.value, decimal));
  model_.SetStatusText("Orvan tracking");
}

void frmMain::ClearReadouts() {
  model_.SetText(Text1, controls::kClearedError);
  model_.SetText(Text2, controls::kClearedError);
  for (const PositionReadout& r : kPositionReadouts) model_.SetText(r.box, "");
  model_.SetStatusText(texts::kIdleStatus);
}

// ---- control operations ---------------------------------------------------

std::string frmMain::Text11Text() {
  return model_.Text(controls::kEntryBox);
}
void frmMain::SetText11Enabled(bool enabled) {
  model_.SetEnabled(controls::kEntryBox, enabled);
}
void frmMain::SetCommand1Caption(std::string_view caption) {
  model_.SetCaption(Command1, caption);
}
void frmMain::SetTimer1Interval(std::int32_t milliseconds) {
  model_.SetTimerInterval(milliseconds);
  DropDueTicksIfStopped();
}
void frmMain::SetTimer1Enabled(bool enabled) {
  model_.SetEnabled(Timer1, enabled);
  DropDueTicksIfStopped();
}
void frmMain::SetStatusText(std::string_view text) {
  model_.SetStatusText(text);
}
void frmMain::MsgBox(std::string_view text) {
  view_.MessageBox(text);
}
char frmMain::DecimalSeparator() {
  return model_.DecimalSeparator();
}

// ---- Module1 --------------------------------------------------------------

namespace Module1 {

frmMain& Main(std::unique_ptr<frmMain>& MainForm, WindowView& view, AutomationFactory& factory,
              std::unique_ptr<tracking::CycleLog> log) {
  // A window of an earlier run lets go of the view before the new one binds it.
  MainForm.reset();
  MainForm = std::make_unique<frmMain>(view, factory);
  if (log) MainForm->AttachLog(std::move(log));
  if (MainForm->Load()) view.Show();
  return *MainForm;
}

}  // namespace Module1

}  // namespace orvan
