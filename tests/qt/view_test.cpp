// The view on its own: bound to a window model the test writes, passing its
// input to a recorder of calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "modal_watcher.h"
#include "support/error.h"
#include "ui/controls.h"
#include "ui/qt/qt_view.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

namespace orvan::qt {
namespace {

using test_support::kEventWaitLimitMs;
using test_support::ModalWatcher;
using test_support::Q;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using enum ControlId;

// Records what the view passes back; typing goes on to the model unless the
// test makes the window logic refuse it.
class RecordingInput final : public WindowInput {
 public:
  explicit RecordingInput(WindowModel& model) : model_(model) {}

  void Click() override { calls.emplace_back("click"); }
  void Tick() override {
    calls.emplace_back("tick");
    if (on_tick) on_tick();
  }
  void Close() override {
    calls.emplace_back("close");
    if (on_close) on_close();
  }
  bool Type(ControlId box, std::string_view text) override {
    calls.push_back("type " + std::string(controls::Of(box).name) + " " + std::string(text));
    return takes_typing && model_.Type(box, text);
  }

  std::vector<std::string> calls;
  bool takes_typing = true;
  std::function<void()> on_tick;
  std::function<void()> on_close;

 private:
  WindowModel& model_;
};

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override { view_.Bind(&model_, &input_); }

  template <typename W>
  W* Widget(const QtView& view, ControlId id) {
    return view.findChild<W*>(Q(controls::Of(id).name));
  }
  QLineEdit* Box(ControlId id) { return Widget<QLineEdit>(view_, id); }
  QPushButton* Command1() { return Widget<QPushButton>(view_, ControlId::Command1); }
  QStatusBar* StatusBar() { return Widget<QStatusBar>(view_, sbStatusBar); }
  QTimer* Timer() { return view_.findChild<QTimer*>("Timer1"); }

  WindowModel model_{','};
  RecordingInput input_{model_};
  QtView view_;  // goes first: it unsubscribes from the model
};

TEST_F(ViewTest, BindRendersTheModelNotTheDesign) {
  model_.SetText(Text3, "12,5");
  model_.SetText(Text11, "2,5");
  model_.SetEnabled(Text11, false);
  model_.SetCaption(ControlId::Command1, "Stop Orvaning");
  model_.SetStatusText("Orvan tracking");
  model_.SetTimerInterval(4000);

  QtView other;
  other.Bind(&model_, &input_);
  EXPECT_EQ(Widget<QLineEdit>(other, Text3)->text(), "12,5");
  EXPECT_EQ(Widget<QLineEdit>(other, Text11)->text(), "2,5");
  EXPECT_FALSE(Widget<QLineEdit>(other, Text11)->isEnabled());
  EXPECT_FALSE(Widget<QLineEdit>(other, Text1)->isEnabled());
  EXPECT_EQ(Widget<QLineEdit>(other, Text1)->text(), "0.000000");
  EXPECT_EQ(Widget<QPushButton>(other, ControlId::Command1)->text(), "Stop Orvaning");
  EXPECT_EQ(Widget<QLabel>(other, Label15)->text(), "Maximum Allowable error");
  EXPECT_EQ(Widget<QStatusBar>(other, sbStatusBar)->currentMessage(), "Orvan tracking");
  auto* timer = other.findChild<QTimer*>("Timer1");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 4000);
  other.Bind(nullptr, nullptr);
}

TEST_F(ViewTest, ProgramWritesReachTheirWidgets) {
  model_.SetText(Text3, "10,5");
  EXPECT_EQ(Box(Text3)->text(), "10,5");
  model_.SetText(Text4, "10,4567890123456");  // wider than the box: shown from its start
  EXPECT_EQ(Box(Text4)->cursorPosition(), 0);
  model_.SetEnabled(Text11, false);
  EXPECT_FALSE(Box(Text11)->isEnabled());
  model_.SetEnabled(Text11, true);
  EXPECT_TRUE(Box(Text11)->isEnabled());
  model_.SetCaption(ControlId::Command1, "Stop Orvaning");
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  model_.SetStatusText("Waiting for slew to complete");
  EXPECT_EQ(StatusBar()->currentMessage(), "Waiting for slew to complete");
  // A write of the text already there still shows it from its first digit.
  Box(Text4)->end(false);
  ASSERT_NE(Box(Text4)->cursorPosition(), 0);
  model_.SetText(Text4, "10,4567890123456");
  EXPECT_EQ(Box(Text4)->cursorPosition(), 0);
  EXPECT_THAT(input_.calls, IsEmpty());
}

TEST_F(ViewTest, TypingGoesToTheModelAndStaysWhereTheUserIs) {
  Box(Text11)->selectAll();
  QTest::keyClicks(Box(Text11), "2,5");
  EXPECT_THAT(input_.calls, ElementsAre("type Text11 2", "type Text11 2,", "type Text11 2,5"));
  EXPECT_EQ(model_.Text(Text11), "2,5");
  EXPECT_EQ(Box(Text11)->text(), "2,5");
  EXPECT_EQ(Box(Text11)->cursorPosition(), 3);
  // Editing in the middle keeps the cursor there too.
  Box(Text11)->setCursorPosition(1);
  QTest::keyClick(Box(Text11), Qt::Key_Backspace);
  EXPECT_EQ(model_.Text(Text11), ",5");
  EXPECT_EQ(Box(Text11)->cursorPosition(), 0);
  QTest::keyClick(Box(Text11), Qt::Key_9);
  EXPECT_EQ(model_.Text(Text11), "9,5");
  EXPECT_EQ(Box(Text11)->cursorPosition(), 1);
}

TEST_F(ViewTest, TypingTheWindowLogicRefusesIsTakenBack) {
  input_.takes_typing = false;
  QTest::keyClick(Box(Text11), Qt::Key_7);
  EXPECT_THAT(input_.calls, ElementsAre("type Text11 71.0"));
  EXPECT_EQ(model_.Text(Text11), "1.0");
  EXPECT_EQ(Box(Text11)->text(), "1.0");
}

TEST_F(ViewTest, TypingFromElsewhereReplacesTheBoxText) {
  ASSERT_TRUE(model_.Type(Text11, "3,25"));
  EXPECT_EQ(Box(Text11)->text(), "3,25");
}

TEST_F(ViewTest, TimerRunsExactlyWhileTheModelSaysItTicks) {
  EXPECT_FALSE(Timer()->isActive());  // design time: enabled, period 0
  model_.SetTimerInterval(250);
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 250);
  model_.SetEnabled(Timer1, false);
  EXPECT_FALSE(Timer()->isActive());
  model_.SetTimerInterval(300);
  EXPECT_FALSE(Timer()->isActive());
  model_.SetEnabled(Timer1, true);
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 300);
  model_.SetTimerInterval(0);
  EXPECT_FALSE(Timer()->isActive());
  model_.SetTimerInterval(4000);
  EXPECT_TRUE(Timer()->isActive());
  model_.HaltTimer();
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(ViewTest, EveryTimerWriteRestartsThePeriodAndNoOtherWriteDoes) {
  model_.SetTimerInterval(10000);
  ASSERT_TRUE(Timer()->isActive());
  // A restart shows as more time left than just before the write; the waits
  // are for some of the period to run out, however long that takes.
  auto elapsed_a_little = [this] { return Timer()->remainingTime() < 9700; };
  ASSERT_TRUE(QTest::qWaitFor(elapsed_a_little, kEventWaitLimitMs));
  int before = Timer()->remainingTime();
  model_.SetEnabled(Timer1, true);  // already enabled
  EXPECT_GT(Timer()->remainingTime(), before);
  ASSERT_TRUE(QTest::qWaitFor(elapsed_a_little, kEventWaitLimitMs));
  before = Timer()->remainingTime();
  model_.SetTimerInterval(10000);  // the same period
  EXPECT_GT(Timer()->remainingTime(), before);
  ASSERT_TRUE(QTest::qWaitFor(elapsed_a_little, kEventWaitLimitMs));
  before = Timer()->remainingTime();
  model_.SetText(Text3, "1");
  model_.SetStatusText("Orvan tracking");
  EXPECT_LE(Timer()->remainingTime(), before);
}

TEST_F(ViewTest, ButtonTimerAndCloseBoxGoBackInTheirOrder) {
  view_.Show();
  QTest::mouseClick(Command1(), Qt::LeftButton);
  input_.on_tick = [this] { model_.SetEnabled(Timer1, false); };
  model_.SetTimerInterval(5);
  ASSERT_TRUE(QTest::qWaitFor([this] { return input_.calls.size() >= 2; }, kEventWaitLimitMs));
  EXPECT_FALSE(view_.close());
  EXPECT_THAT(input_.calls, ElementsAre("click", "tick", "close"));
  EXPECT_TRUE(view_.isVisible());
}

TEST_F(ViewTest, CloseIsAcceptedOnceTheProgramEndsAndEndStopsTheTimer) {
  view_.Show();
  model_.SetTimerInterval(4000);
  input_.on_close = [this] { view_.End(0); };
  EXPECT_TRUE(view_.close());
  EXPECT_THAT(input_.calls, ElementsAre("close"));
  EXPECT_FALSE(view_.isVisible());
  EXPECT_FALSE(Timer()->isActive());
  // An ended program raises no tick, whatever its model still says.
  model_.SetTimerInterval(4000);
  EXPECT_FALSE(Timer()->isActive());
  // Nor is the ended program asked again.
  view_.Show();
  EXPECT_TRUE(view_.close());
  EXPECT_THAT(input_.calls, ElementsAre("close"));
}

TEST_F(ViewTest, EndHidesTheWindowAndEndsTheEventLoopWithTheStatus) {
  view_.Show();
  ASSERT_TRUE(view_.isVisible());
  EXPECT_EQ(test_support::RunLoop([this] { view_.End(7); }), 7);
  EXPECT_FALSE(view_.isVisible());
}

TEST_F(ViewTest, AnUnboundViewPassesNothingOnAndClosesFreely) {
  view_.Show();
  model_.SetTimerInterval(5);
  view_.Bind(nullptr, nullptr);
  EXPECT_FALSE(Timer()->isActive());
  QTest::mouseClick(Command1(), Qt::LeftButton);
  QTest::keyClick(Box(Text11), Qt::Key_7);
  model_.SetText(Text3, "5");  // no longer followed
  EXPECT_EQ(Box(Text3)->text(), "");
  EXPECT_TRUE(view_.close());
  EXPECT_THAT(input_.calls, IsEmpty());
}

TEST_F(ViewTest, MessageBoxIsPlainOkOnlyApplicationModal) {
  ModalWatcher watcher;
  view_.MessageBox("Error - Guiderates are zero");
  const test_support::SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.object_name, "MsgBox");
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Error - Guiderates are zero");
  EXPECT_EQ(box.format, Qt::PlainText);
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
  EXPECT_EQ(box.buttons, 1);
  EXPECT_TRUE(box.ok_only);
  EXPECT_EQ(box.parent, nullptr);  // the window is not showing
}

TEST_F(ViewTest, ErrorReportShowsTheCoresTextWithTheCriticalIcon) {
  view_.Show();
  for (const Error& error : {Error(0x80020005, "Type mismatch"), Error(0x1A, "<b>x</b>")}) {
    ModalWatcher watcher;
    view_.ErrorReport(error);
    const test_support::SeenBox& box = watcher.box();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.object_name, "ErrorReport");
    EXPECT_EQ(box.title, "OrvanACP");
    EXPECT_EQ(box.text, Q(ErrorReportText(error)));
    EXPECT_EQ(box.format, Qt::PlainText);
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.modality, Qt::ApplicationModal);
    EXPECT_TRUE(box.ok_only);
    EXPECT_EQ(box.parent, &view_);
  }
  EXPECT_EQ(ErrorReportText(Error(0x80020005, "Type mismatch")),
            "Run-time error 0x80020005:\n\nType mismatch");
  EXPECT_EQ(ErrorReportText(Error(0x1A, "x")), "Run-time error 0x0000001A:\n\nx");
}

}  // namespace
}  // namespace orvan::qt
