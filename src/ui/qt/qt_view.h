#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <string_view>

#include "ui/controls.h"
#include "ui/model_subscription.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

class QCloseEvent;
class QTimer;

namespace orvan::qt {

// The main window as Qt widgets, laid out from the control table. It shows
// the window model and nothing else: every property it draws is read from the
// model when bound and again on each write the model announces. The button,
// the timer, the close box and typing in the entry box go back to the window
// logic through WindowInput, which decides everything. Each control's widget
// (and Timer1's QTimer) carries the control's name as its object name.
class QtView final : public QWidget, public WindowView, public WindowModelObserver {
 public:
  explicit QtView(QWidget* parent = nullptr);
  ~QtView() override;
  QtView(const QtView&) = delete;
  QtView& operator=(const QtView&) = delete;

  char UserDecimalSeparator() override;
  void Bind(WindowModel* model, WindowInput* input) override;
  void Show() override;
  void MessageBox(std::string_view text) override;
  void ErrorReport(const Error& error) override;
  void End(int exit_status) override;
  void MountNoted(std::string_view status, std::string_view note) override;

  // Draws the property as the model now has it.
  void Written(ControlId control, Property property, Cause cause) override;

  // A control's rectangle in this window's pixels.
  QRect PixelRect(const controls::Control& control) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int Pixels(int twips) const;
  QWidget* Build(const controls::Control& control);
  void RenderControl(const controls::Control& control);
  QWidget* WidgetOf(ControlId control) const;
  void RenderTimer();
  void Typed(const QString& text);
  QWidget* DialogParent();

  qreal dpi_;
  std::array<QWidget*, controls::kTable.size()> widgets_{};  // by ControlId; null for Timer1
  QTimer* timer1_ = nullptr;
  WindowModel* model_ = nullptr;
  WindowInput* input_ = nullptr;
  ModelSubscription subscription_{*this};
  // The window's own lifecycle, not properties: whether the bound program has
  // ended (the close box may go then) and whether a close is being asked now.
  bool ended_ = false;
  bool in_close_event_ = false;
};

}  // namespace orvan::qt
