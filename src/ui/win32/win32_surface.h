#pragma once

// The Windows main window: native controls laid out from the control table,
// and nothing of the program's behaviour. Events (click, tick, close) go to
// the handler given to OnEvent.
#include <functional>
#include <memory>

#include "ui/surface.h"

namespace orvan::win32 {

class Win32Surface final : public Surface {
 public:
  // Creates the window, hidden; `instance` is the module's HINSTANCE.
  explicit Win32Surface(void* instance);
  ~Win32Surface() override;
  Win32Surface(const Win32Surface&) = delete;
  Win32Surface& operator=(const Win32Surface&) = delete;

  void OnEvent(std::function<void(Event)> handler);

  void SetText(int box, std::string_view text) override;
  std::string Text(int box) override;
  void SetEnabled(int box, bool enabled) override;
  void SetCaption(std::string_view caption) override;
  void SetTimerInterval(std::int32_t milliseconds) override;
  void SetTimerEnabled(bool enabled) override;
  void SetStatusText(std::string_view text) override;
  char DecimalSeparator() override;
  void Show() override;
  void MessageBox(std::string_view text) override;
  void HaltTimer() override;
  void ShowErrorReport(const Error& error) override;
  void EndProgram(int exit_status) override;

  // Runs the message loop until the program ends; returns its exit status.
  int Run();
  bool ended() const;
  int exit_status() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvan::win32
