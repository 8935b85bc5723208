#pragma once

#include <string>
#include <string_view>

#include "support/error.h"
#include "tracking/cycle_record.h"
#include "tracking/frame_note.h"
#include "ui/window_model.h"

namespace orvan {

// The events the window delivers to the program.
enum class Event { Load, Click, Tick, Close };
std::string_view EventName(Event e);

// What a view passes back to the program: the user's input and the timer.
class WindowInput {
 public:
  virtual ~WindowInput() = default;
  virtual void Click() = 0;
  virtual void Tick() = 0;
  virtual void Close() = 0;
  // The user typed into a box; false when the box does not take it (disabled).
  virtual bool Type(ControlId box, std::string_view text) = 0;
};

// A window system's rendering of the main window. It draws the model (from
// Bind on, following every change it announces) and passes input back; it
// keeps no property and no rule of its own. What it does besides drawing is
// modal: the message box and the run-time error report.
class WindowView {
 public:
  virtual ~WindowView() = default;

  // The user's decimal separator as the platform has it, read once.
  virtual char UserDecimalSeparator() = 0;
  // From now on render `model` and pass input to `input`; both null: the
  // window logic is going away.
  virtual void Bind(WindowModel* model, WindowInput* input) = 0;
  // The window becomes visible, modeless.
  virtual void Show() = 0;
  // Application-modal, no icon, OK only, titled with the application's
  // title; returns once dismissed.
  virtual void MessageBox(std::string_view text) = 0;
  // The run-time error report (ErrorReportText); returns once dismissed.
  virtual void ErrorReport(const Error& error) = 0;
  // The program is over: take the window away. The status is the program's.
  virtual void End(int exit_status) = 0;

  // Delivery notes, for transcripts; windows ignore them.
  virtual void EventStarted(Event) {}
  virtual void EventIgnored(Event) {}
  virtual void EventDeferred(Event) {}

  // Notes for a record of the night; windows ignore them. A guide pulse has
  // just been sent for an error of `error_arcsec` on `axis`.
  virtual void PulseSent(tracking::GuideAxis, const tracking::SentPulse&, double /*error_arcsec*/) {
  }
  // The cycle log could not be written (said once a run).
  virtual void LogFailed(std::string_view /*message*/) {}
  // What became of a frame (holding by the frames).
  virtual void FrameNoted(const tracking::FrameNote& /*note*/) {}
  // What the window shows of the mount from now on, beside the status (empty:
  // nothing), with the note that says it in full.
  virtual void MountNoted(std::string_view /*status*/, std::string_view /*note*/) {}
};

// The text of the run-time error report: "Run-time error 0x80020005:", a
// blank line, the description.
std::string ErrorReportText(const Error& error);
// The error back from such a text; false when the text is not one.
bool ParseErrorReportText(std::string_view text, Error& error);

}  // namespace orvan
