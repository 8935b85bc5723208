#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "ui/model_subscription.h"
#include "ui/window_view.h"

namespace orvan::headless {

// The main window without a window: Timer1 runs on the event loop, and what a
// user would read (each change of the status text, each message box, the
// run-time error report) is printed as one timestamped line, and so is each
// guide pulse sent, a failure to write the cycle log and what the program
// says of the air. Message boxes
// are dismissed at once. It keeps nothing of the window's own but the last
// status text it printed, so that it prints changes only.
class HeadlessView final : public QObject, public WindowView, public WindowModelObserver {
 public:
  using LineSink = std::function<void(const std::string&)>;
  using ClockText = std::function<std::string()>;

  // `now` gives the time stamp of each line (UTC, ISO 8601, by default).
  explicit HeadlessView(LineSink out, ClockText now = {});
  ~HeadlessView() override;

  char UserDecimalSeparator() override { return '.'; }
  void Bind(WindowModel* model, WindowInput* input) override;
  void Show() override {}
  void MessageBox(std::string_view text) override;
  void ErrorReport(const Error& error) override;
  void End(int exit_status) override;
  void Written(ControlId control, Property property, Cause cause) override;
  void PulseSent(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
                 double error_arcsec) override;
  void LogFailed(std::string_view message) override;
  // The air the program uses, and what it hears from a weather device.
  void AirNoted(std::string_view message);
  void FrameNoted(const tracking::FrameNote& note) override;

  // Ticks fall due here as Timer1 raises them.
  const QTimer& timer() const { return timer_; }

 private:
  void Print(const std::string& what);

  LineSink out_;
  ClockText now_;
  WindowModel* model_ = nullptr;
  WindowInput* input_ = nullptr;
  ModelSubscription subscription_{*this};
  QTimer timer_;
  std::string shown_status_;
};

// The time now as 2026-12-07T23:22:01.123Z.
std::string UtcNowText();

// What follows the time stamp on a pulse's line:
// pulse W 359.99999999999704 ms (RA error 5.4")
std::string PulseLine(tracking::GuideAxis axis, const tracking::SentPulse& pulse,
                      double error_arcsec);

}  // namespace orvan::headless
