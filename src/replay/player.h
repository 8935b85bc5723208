#pragma once

#include <functional>
#include <string>
#include <vector>

#include "replay/scenario.h"
#include "ui/surface.h"

namespace orvan::replay {

// The window as the replay sees it: the controls' properties, kept in memory,
// and every write, message box and error report written as a transcript line.
class Recorder final : public Surface {
 public:
  using LineSink = std::function<void(const std::string&)>;
  Recorder(LineSink out, char decimal);

  void SetText(int box, std::string_view text) override;
  std::string Text(int box) override;
  void SetEnabled(int box, bool enabled) override;
  void SetCaption(std::string_view caption) override;
  void SetTimerInterval(std::int32_t milliseconds) override;
  void SetTimerEnabled(bool enabled) override;
  void SetStatusText(std::string_view text) override;
  char DecimalSeparator() override { return decimal_; }
  void Show() override {}
  void MessageBox(std::string_view text) override;
  void HaltTimer() override { timer_enabled_ = false; }
  void ShowErrorReport(const Error& error) override;
  void EndProgram(int exit_status) override;
  void EventStarted(Event e) override;
  void EventIgnored(Event e) override;
  void EventDeferred(Event e) override;

  // The user's typing into a box (not a program write).
  void Type(int box, const std::string& text) { texts_[box] = text; }
  bool Enabled(int box) const { return enabled_[box]; }
  bool ended() const { return ended_; }
  // Window lines of a dump.
  void DumpWindow() const;
  // An event that falls due during the next message box.
  void NestOnMessageBox(std::function<void()> deliver) {
    msgbox_nests_.push_back(std::move(deliver));
  }

 private:
  LineSink out_;
  char decimal_;
  std::string texts_[12];
  bool enabled_[12] = {};
  std::string caption_;
  std::int32_t interval_;
  bool timer_enabled_;
  std::string status_;
  bool ended_ = false;
  std::vector<std::function<void()>> msgbox_nests_;
};

// Lets a scenario drive a real window as well: it receives every write the
// program makes (the transcript still comes from the recorder, message boxes
// and the error report stay in it), and nested events fall due through
// `nest` (e.g. as window messages dispatched during the access) instead of
// being handed straight to the window logic.
struct PlayHooks {
  Surface* window = nullptr;
  std::function<void(const std::string& event)> nest;
};

// Plays a parsed scenario against the program's own window logic and a
// scripted observatory, writing the transcript line by line.
void Play(const std::vector<Step>& steps, const std::function<void(const std::string&)>& out,
          const PlayHooks& hooks = {});

// Parses and plays; the transcript as lines. Raises ScenarioError.
std::vector<std::string> PlayText(std::string_view scenario);

}  // namespace orvan::replay
