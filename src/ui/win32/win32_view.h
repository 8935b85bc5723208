#pragma once

// The Windows main window as a view of the window model: native controls laid
// out from the control table, showing what the model holds and passing the
// user's input and the timer back. It keeps no property and no rule.
#include <memory>

#include "ui/model_subscription.h"
#include "ui/window_view.h"

namespace orvan {
class frmMain;
}

namespace orvan::win32 {

class Win32View final : public WindowView, public WindowModelObserver {
 public:
  // Creates the window, hidden; `instance` is the module's HINSTANCE.
  explicit Win32View(void* instance);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  // Drawing the model: everything on Bind, then each property as it is written.
  void Bind(WindowModel* model, WindowInput* input) override;
  void Written(ControlId control, Property property, Cause cause) override;

  // The desktop's side: the user's locale, showing, the modal boxes, the end.
  char UserDecimalSeparator() override;
  void Show() override;
  void MessageBox(std::string_view text) override;
  void ErrorReport(const Error& error) override;
  void End(int exit_status) override;

  // Runs the message loop until `form` has ended; returns its exit status.
  int Run(const frmMain& form);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  // Only while there is a window to draw in.
  ModelSubscription subscription_{*this};
};

}  // namespace orvan::win32
