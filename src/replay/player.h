#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "observatory/position_news.h"
#include "replay/scenario.h"
#include "tracking/cycle_log.h"
#include "ui/model_subscription.h"
#include "ui/window_view.h"

namespace orvan::replay {

using LineSink = std::function<void(const std::string&)>;

// The window as a transcript: every program write of a property, every
// message box, the error report, the end and the delivery notes as lines.
// It keeps nothing of the window's own: the model holds it all.
class Recorder final : public WindowView, public WindowModelObserver {
 public:
  Recorder(LineSink out, char decimal);
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  char UserDecimalSeparator() override { return decimal_; }
  void Bind(WindowModel* model, WindowInput* input) override;
  void Show() override {}
  void MessageBox(std::string_view text) override;
  void ErrorReport(const Error& error) override;
  void End(int exit_status) override;
  void EventStarted(Event e) override;
  void EventIgnored(Event e) override;
  void EventDeferred(Event e) override;

  void Written(ControlId control, Property property, Cause cause) override;

  bool ended() const { return ended_; }
  // An event that falls due during the next message box.
  void NestOnMessageBox(std::function<void()> deliver) {
    msgbox_nests_.push_back(std::move(deliver));
  }

 private:
  LineSink out_;
  char decimal_;
  WindowModel* model_ = nullptr;
  ModelSubscription subscription_{*this};
  bool ended_ = false;
  std::vector<std::function<void()>> msgbox_nests_;
};

// Lets a scenario drive a real window as well: it renders the model beside
// the recorder (the transcript still comes from the recorder; message boxes
// and the error report stay in it), and nested events fall due through
// `nest` (e.g. as window messages dispatched during the access) instead of
// being handed straight to the window logic.
struct PlayHooks {
  WindowView* window = nullptr;
  std::function<void(const std::string& event)> nest;
  // A cycle log for the window, attached as it loads.
  std::function<std::unique_ptr<tracking::CycleLog>()> log = nullptr;
  // Whether the mount has reported its position anew since a pulse, told to
  // the window as it loads; none: every reading is news.
  PositionNews* news = nullptr;
};

// Plays a parsed scenario against the program's own window logic and a
// scripted observatory, writing the transcript line by line.
void Play(const std::vector<Step>& steps, const LineSink& out, const PlayHooks& hooks = {});

// Parses and plays; the transcript as lines. Raises ScenarioError.
std::vector<std::string> PlayText(std::string_view scenario);

}  // namespace orvan::replay
