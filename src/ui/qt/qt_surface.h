#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/controls.h"
#include "ui/surface.h"

class QCloseEvent;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTimer;

namespace orvan::qt {

// The main window as Qt widgets, laid out from the control table. It holds no
// behaviour: the button's click, the timer's tick and the close box go to
// Module1::MainForm, which decides everything. Each control's widget carries
// the control's name as its object name.
class QtSurface final : public QWidget, public Surface {
 public:
  explicit QtSurface(QWidget* parent = nullptr);
  ~QtSurface() override;

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

  // Whether the program has ended, and with what status; main returns it
  // when the end came before the event loop ran.
  bool ended() const { return ended_; }
  int exit_status() const { return exit_status_; }

  // A control's rectangle in this window's pixels.
  QRect PixelRect(const controls::Control& control) const;

  // The text of the run-time error report.
  static std::string ErrorReportText(const Error& error);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int Pixels(int twips) const;
  QLineEdit* Box(int box) const;
  void ApplyTimer();
  QWidget* DialogParent();

  qreal dpi_;
  std::array<QLineEdit*, controls::kTextBoxCount + 1> boxes_{};  // 1-based
  QPushButton* command1_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  QTimer* timer1_ = nullptr;
  std::int32_t timer_interval_;
  bool timer_enabled_;
  bool in_close_event_ = false;
  bool ended_ = false;
  int exit_status_ = 0;
};

}  // namespace orvan::qt
