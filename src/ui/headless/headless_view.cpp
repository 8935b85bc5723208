#include "ui/headless/headless_view.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include "support/numtext.h"
#include "ui/window_lines.h"

namespace orvan::headless {

std::string UtcNowText() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

std::string PulseLine(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
                      double error_arcsec) {
  const char letter = DirectionLetter(pulse.direction);
  const char* name = axis == tracking::GuideAxis::RightAscension ? "RA" : "Dec";
  std::string line = std::string("pulse ") + letter + " " + ShortestText(pulse.milliseconds) +
                     " ms (" + name + " error " + ShortestText(error_arcsec) + "\")";
  if (pulse.sent_as)
    line += std::string(", sent to the mount as ") + DirectionLetter(*pulse.sent_as);
  return line;
}

HeadlessView::HeadlessView(LineSink out, ClockText now)
    : out_(std::move(out)), now_(now ? std::move(now) : ClockText(UtcNowText)) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] {
    if (input_ != nullptr) input_->Tick();
  });
}

HeadlessView::~HeadlessView() = default;

void HeadlessView::Bind(WindowModel* model, WindowInput* input) {
  model_ = model;
  input_ = input;
  subscription_.Follow(model);
  if (model_ == nullptr) {
    timer_.stop();
    return;
  }
  shown_status_ = model_->Text(ControlId::sbStatusBar);
  Print("status " + Quote(shown_status_));
}

void HeadlessView::Written(ControlId control, Property, Cause) {
  if (control == ControlId::Timer1) {
    // Every write restarts the period, as enabling a timer does.
    if (model_->Ticking())
      timer_.start(model_->TimerInterval());
    else
      timer_.stop();
  } else if (control == ControlId::sbStatusBar && model_->Text(control) != shown_status_) {
    shown_status_ = model_->Text(control);
    Print("status " + Quote(shown_status_));
  }
}

void HeadlessView::MessageBox(std::string_view text) {
  Print(transcript::MsgBoxLine(text));
}

void HeadlessView::ErrorReport(const Error& error) {
  Print(transcript::ErrorLine(error));
}

void HeadlessView::PulseSent(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
                             double error_arcsec) {
  Print(PulseLine(axis, pulse, error_arcsec));
}

void HeadlessView::LogFailed(std::string_view message) {
  Print("log " + Quote(message));
}

void HeadlessView::AirNoted(std::string_view message) {
  Print("air " + Quote(message));
}

void HeadlessView::FrameNoted(const tracking::FrameNote& note) {
  Print("frame " + tracking::FrameNoteText(note));
}

void HeadlessView::End(int exit_status) {
  timer_.stop();
  // Before the event loop runs (a failed start-up) main returns the status itself.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(exit_status);
}

void HeadlessView::Print(const std::string& what) {
  out_(now_() + " " + what);
}

}  // namespace orvan::headless
