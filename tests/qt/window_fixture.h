#pragma once

// The whole program in the Qt window, started as main starts it, against a
// scripted observatory: what the window tests share.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modal_watcher.h"
#include "observatory/scripted/scripted_observatory.h"
#include "ui/controls.h"
#include "ui/frmMain.h"
#include "ui/qt/qt_view.h"

namespace orvan::qt {

class WindowTest : public ::testing::Test {
 protected:
  // Starts the program on a new window, as main does.
  void Open(AutomationFactory& observatory) {
    view_ = std::make_unique<QtView>();
    Module1::Main(form_, *view_, observatory);
  }
  void Open() { Open(observatory_); }
  // Opens the window and waits until it is the active window.
  void OpenActive() {
    Open();
    ASSERT_TRUE(view_->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  }

  template <typename W>
  W* Widget(std::string_view name) {
    return view_->findChild<W*>(test_support::Q(name));
  }
  QPushButton* Command1() { return Widget<QPushButton>("Command1"); }
  QLineEdit* Box(int n) { return Widget<QLineEdit>("Text" + std::to_string(n)); }
  QStatusBar* StatusBar() { return Widget<QStatusBar>("sbStatusBar"); }
  QTimer* Timer() { return view_->findChild<QTimer*>("Timer1"); }

  // Every widget shows what the window model holds, the timer included.
  void ExpectWidgetsShowTheModel() {
    const WindowModel& model = form_->model();
    for (ControlId id : controls::kTextBoxes) {
      const std::string name(controls::Of(id).name);
      EXPECT_EQ(Widget<QLineEdit>(name)->text(), test_support::Q(model.Text(id))) << name;
      EXPECT_EQ(Widget<QLineEdit>(name)->isEnabled(), model.Enabled(id)) << name;
    }
    EXPECT_EQ(Command1()->text(), test_support::Q(model.Text(ControlId::Command1)));
    EXPECT_EQ(StatusBar()->currentMessage(), test_support::Q(model.Text(ControlId::sbStatusBar)));
    EXPECT_EQ(Timer()->isActive(), model.Ticking());
    if (model.Ticking()) {
      EXPECT_EQ(Timer()->interval(), model.TimerInterval());
    }
  }

  bool Saw(const std::string& needle) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }

  std::vector<std::string> lines_;
  ScriptedObservatory observatory_{[this](const std::string& line) { lines_.push_back(line); }};
  std::unique_ptr<QtView> view_;
  std::unique_ptr<frmMain> form_;  // last: it refers to the view and the observatory
};

}  // namespace orvan::qt
