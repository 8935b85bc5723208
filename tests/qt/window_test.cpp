// The whole program in the Qt window, started as main starts it, against a
// scripted observatory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "modal_watcher.h"
#include "observatory/scripted/scripted_observatory.h"
#include "ui/controls.h"
#include "ui/frmMain.h"
#include "ui/qt/qt_view.h"
#include "window_fixture.h"

namespace orvan::qt {
namespace {

using controls::Control;
using controls::Kind;
using test_support::kEventWaitLimitMs;
using test_support::ModalWatcher;
using test_support::Q;
using test_support::SeenBox;

// At 96 dpi a pixel is 15 twips.
QRect At96Dpi(const Control& c) {
  const int height = c.kind == Kind::Line ? 1 : c.height / 15;
  return QRect(c.left / 15, c.top / 15, c.width / 15, height);
}

TEST(Environment, LogicalDpiIs96) {
  ASSERT_NE(QApplication::primaryScreen(), nullptr);
  EXPECT_DOUBLE_EQ(QApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
}

TEST_F(WindowTest, ClientAreaIsFixedAt321By399Pixels) {
  Open();
  EXPECT_EQ(view_->size(), QSize(321, 399));
  EXPECT_EQ(view_->minimumSize(), QSize(321, 399));
  EXPECT_EQ(view_->maximumSize(), QSize(321, 399));
}

TEST_F(WindowTest, TitleIconAndCloseBoxOnly) {
  Open();
  EXPECT_EQ(view_->windowTitle(), "OrvanACP");
  const Qt::WindowFlags flags = view_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Window));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  const QIcon icon = view_->windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST_F(WindowTest, EveryControlSitsAtItsTableRectangle) {
  Open();
  int checked = 0;
  for (const Control& c : controls::kTable) {
    if (c.kind == Kind::Timer) continue;
    auto* w = Widget<QWidget>(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->parentWidget(), view_.get()) << c.name;
    EXPECT_EQ(w->geometry(), At96Dpi(c)) << c.name;
    EXPECT_EQ(w->geometry(), view_->PixelRect(c)) << c.name;
    ++checked;
  }
  EXPECT_EQ(checked, 30);
  // A few written out, so a slip shared by the table reading and the check shows.
  EXPECT_EQ(Command1()->geometry(), QRect(80, 16, 161, 57));
  EXPECT_EQ(Box(11)->geometry(), QRect(144, 88, 57, 19));
  EXPECT_EQ(Widget<QLabel>("Label13")->geometry(), QRect(16, 344, 49, 17));
  EXPECT_EQ(Widget<QWidget>("Line1")->geometry(), QRect(8, 192, 288, 1));
  EXPECT_EQ(StatusBar()->geometry(), QRect(0, 381, 321, 18));
}

TEST_F(WindowTest, LineIsOnePixelOfWindowTextColour) {
  Open();
  const QImage image = view_->grab().toImage();
  const QRgb ink = view_->palette().color(QPalette::WindowText).rgb();
  ASSERT_NE(view_->palette().color(QPalette::Window).rgb(), ink);
  for (int x = 8; x <= 295; ++x) ASSERT_EQ(image.pixel(x, 192), ink) << "x " << x;
  EXPECT_NE(image.pixel(7, 192), ink);
  EXPECT_NE(image.pixel(296, 192), ink);
  for (int x : {8, 150, 295}) {
    EXPECT_NE(image.pixel(x, 191), ink) << "x " << x;
    EXPECT_NE(image.pixel(x, 193), ink) << "x " << x;
  }
}

TEST_F(WindowTest, DesignTimeContents) {
  Open();
  for (const Control& c : controls::kTable) {
    switch (c.kind) {
      case Kind::Button:
        EXPECT_EQ(Widget<QPushButton>(c.name)->text(), Q(c.text)) << c.name;
        break;
      case Kind::Label:
        EXPECT_EQ(Widget<QLabel>(c.name)->text(), Q(c.text)) << c.name;
        break;
      case Kind::TextBox:
        EXPECT_EQ(Widget<QLineEdit>(c.name)->text(), Q(c.text)) << c.name;
        break;
      case Kind::StatusBar:
        EXPECT_EQ(Widget<QStatusBar>(c.name)->currentMessage(), Q(c.text)) << c.name;
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_EQ(Box(11)->text(), "1.0");
  EXPECT_EQ(Box(1)->text(), "0.000000");
  EXPECT_EQ(Box(2)->text(), "0.000000");
  for (int n = 3; n <= 10; ++n) EXPECT_EQ(Box(n)->text(), "") << n;
  EXPECT_EQ(Widget<QLabel>("Label15")->text(), "Maximum Allowable error");
  EXPECT_EQ(Widget<QLabel>("Label14")->text(), "True DEC :");
  EXPECT_EQ(StatusBar()->currentMessage(), "Normal Sidereal tracking");
  ExpectWidgetsShowTheModel();
}

TEST_F(WindowTest, OnlyTheEntryBoxIsEnabled) {
  Open();
  EXPECT_TRUE(Box(11)->isEnabled());
  EXPECT_FALSE(Box(11)->isReadOnly());
  for (int n = 1; n <= 10; ++n) {
    EXPECT_FALSE(Box(n)->isEnabled()) << n;
    EXPECT_TRUE(Box(n)->isReadOnly()) << n;
  }
  for (int n = 1; n <= 11; ++n) EXPECT_TRUE(Box(n)->hasFrame()) << n;
  EXPECT_TRUE(Command1()->isEnabled());
}

// A mount's pulses with no effect are shown at the status bar's right, the
// whole note as their tip, the program's own status left as it was; a note
// that changes nothing there (a turned direction) leaves them.
TEST_F(WindowTest, AMountNoteShowsBesideTheStatusUntilItIsOver) {
  OpenActive();
  const QString status = StatusBar()->currentMessage();
  auto* shown = StatusBar()->findChild<QLabel*>("mountNote");
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(shown->isVisible());
  const std::string none = "INDI mount \"m\": right ascension pulses have no effect";
  const std::string again = "INDI mount \"m\": right ascension pulses move the mount again";
  struct Step {
    MountNote note;
    bool visible;
    const char* text;
    std::string tip;
  };
  const Step steps[] = {
      {{none, "RA pulses: no effect"}, true, "RA pulses: no effect", none},
      {{"INDI mount \"m\": declination pulses move the other way"},
       true,
       "RA pulses: no effect",
       none},
      {{again, ""}, false, "", again},
  };
  for (const Step& step : steps) {
    form_->NoteMount(step.note);
    EXPECT_EQ(shown->isVisible(), step.visible) << step.note.text;
    EXPECT_EQ(shown->text(), step.text);
    EXPECT_EQ(shown->toolTip(), Q(step.tip));
    EXPECT_EQ(StatusBar()->currentMessage(), status);
  }
}

TEST_F(WindowTest, LabelsLeftAlignedAndOnlyCurrentAndTargetBold) {
  Open();
  int bold = 0;
  for (const Control& c : controls::kTable) {
    if (c.kind != Kind::Label) continue;
    auto* label = Widget<QLabel>(c.name);
    EXPECT_TRUE(label->alignment().testFlag(Qt::AlignLeft)) << c.name;
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << c.name;
    const QFont f = label->font();
    const bool expect_bold = c.name == "Label5" || c.name == "Label10";
    EXPECT_EQ(f.weight(), expect_bold ? QFont::Bold : QFont::Normal) << c.name;
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 8.25) << c.name;
    EXPECT_EQ(f.family(), "MS Sans Serif") << c.name;
    bold += f.bold() ? 1 : 0;
  }
  EXPECT_EQ(bold, 2);
  EXPECT_EQ(Widget<QLabel>("Label5")->text(), "Current:");
  EXPECT_EQ(Widget<QLabel>("Label10")->text(), "Target:");
  EXPECT_FALSE(Command1()->font().bold());
  EXPECT_EQ(Command1()->font().family(), "MS Sans Serif");
  EXPECT_DOUBLE_EQ(Box(11)->font().pointSizeF(), 8.25);
}

TEST_F(WindowTest, BoxesLieOnTopOfLabelsRunningUnderThem) {
  Open();
  int overlaps = 0;
  for (const Control& label : controls::kTable) {
    if (label.kind != Kind::Label) continue;
    for (const Control& box : controls::kTable) {
      if (box.kind != Kind::TextBox) continue;
      const QRect shared = At96Dpi(label).intersected(At96Dpi(box));
      if (shared.isEmpty()) continue;
      ++overlaps;
      EXPECT_EQ(view_->childAt(shared.center()), Widget<QWidget>(box.name))
          << label.name << " under " << box.name;
    }
  }
  // Scope RA/DEC and True RA/DEC labels run one pixel under their boxes.
  EXPECT_GE(overlaps, 4);
}

TEST_F(WindowTest, FocusStartsOnTheButtonAndTabMovesOnlyBetweenButtonAndEntryBox) {
  OpenActive();
  EXPECT_EQ(QApplication::focusWidget(), Command1());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Box(11));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Command1());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), Box(11));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), Command1());

  for (QWidget* w : view_->findChildren<QWidget*>()) {
    if (w == Command1() || w == Box(11)) continue;
    if (w->parentWidget() != view_.get()) continue;  // parts of the controls themselves
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
  }
  EXPECT_EQ(Command1()->focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(Box(11)->focusPolicy(), Qt::StrongFocus);
}

TEST_F(WindowTest, EnterInEntryBoxAndEscapeClickNothing) {
  OpenActive();
  const std::size_t before = lines_.size();
  Box(11)->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), Box(11));
  // The button is the default only while it has the focus itself.
  EXPECT_FALSE(Command1()->isDefault());
  QTest::keyClick(Box(11), Qt::Key_Return);
  QTest::keyClick(Box(11), Qt::Key_Enter);
  QTest::keyClick(Box(11), Qt::Key_Escape);
  Command1()->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), Command1());
  QTest::keyClick(Command1(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(lines_.size(), before);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_TRUE(Box(11)->isEnabled());
}

TEST_F(WindowTest, SpaceOnTheButtonClicksIt) {
  OpenActive();
  const std::size_t before = lines_.size();
  QTest::keyClick(Command1(), Qt::Key_Space);
  EXPECT_GT(lines_.size(), before);
  EXPECT_TRUE(Saw("get Telescope.Connected"));
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  EXPECT_FALSE(Box(11)->isEnabled());
  ExpectWidgetsShowTheModel();
  // Once more stops.
  QTest::keyClick(Command1(), Qt::Key_Space);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_TRUE(Box(11)->isEnabled());
  ExpectWidgetsShowTheModel();
}

TEST_F(WindowTest, EnterOnTheButtonClicksIt) {
  OpenActive();
  QTest::keyClick(Command1(), Qt::Key_Return);
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  QTest::keyClick(Command1(), Qt::Key_Enter);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
}

TEST_F(WindowTest, TextTypedInTheEntryBoxIsWhatTheStartReads) {
  OpenActive();
  Box(11)->setFocus();
  Box(11)->selectAll();
  QTest::keyClicks(Box(11), "2.5");
  EXPECT_EQ(form_->model().Text(ControlId::Text11), "2.5");
  EXPECT_EQ(Box(11)->cursorPosition(), 3);
  QTest::mouseClick(Command1(), Qt::LeftButton);
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  EXPECT_DOUBLE_EQ(form_->state.MaxErrorArcsec, 2.5);
  // Frozen while tracking: the box takes no typing.
  QTest::keyClicks(Box(11), "9");
  EXPECT_EQ(form_->model().Text(ControlId::Text11), "2.5");
  EXPECT_EQ(Box(11)->text(), "2.5");
}

TEST_F(WindowTest, StartArmsTheTimerAtFourSecondsAndStopDisarmsIt) {
  OpenActive();
  ASSERT_NE(Timer(), nullptr);
  EXPECT_FALSE(Timer()->isActive());  // design time: enabled, period 0
  QTest::mouseClick(Command1(), Qt::LeftButton);
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 4000);
  EXPECT_EQ(form_->model().TimerInterval(), 4000);
  QTest::mouseClick(Command1(), Qt::LeftButton);
  EXPECT_FALSE(Timer()->isActive());
  ExpectWidgetsShowTheModel();
}

TEST_F(WindowTest, ATimerWriteOfTheProgramRestartsTheQTimerWithTheModelsPeriod) {
  OpenActive();
  QTest::mouseClick(Command1(), Qt::LeftButton);
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return Timer()->remainingTime() < 3700; }, kEventWaitLimitMs));
  const int before = Timer()->remainingTime();
  form_->SetTimer1Enabled(true);
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_GT(Timer()->remainingTime(), before);
  form_->SetTimer1Interval(6000);
  EXPECT_EQ(Timer()->interval(), 6000);
  EXPECT_GT(Timer()->remainingTime(), 5700);
  form_->SetTimer1Enabled(false);
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(WindowTest, FirstTickFallsDueFourSecondsAfterStart) {
  OpenActive();
  QTest::mouseClick(Command1(), Qt::LeftButton);
  ASSERT_EQ(Command1()->text(), "Stop Orvaning");
  ASSERT_FALSE(Saw("Telescope.slewing"));
  // The first cycle is Timer1's first timeout, one period of 4 s after the
  // click: waited for as an event, however slow the machine.
  ASSERT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 4000);
  QSignalSpy timeouts(Timer(), &QTimer::timeout);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Saw("Telescope.slewing"); }, kEventWaitLimitMs));
  EXPECT_EQ(timeouts.count(), 1);
  EXPECT_EQ(StatusBar()->currentMessage(), "Orvan tracking");
  EXPECT_EQ(Box(1)->text(), "0");
  EXPECT_EQ(Box(3)->text(), "10");
  EXPECT_EQ(Box(4)->text(), "20");
  ExpectWidgetsShowTheModel();
}

TEST_F(WindowTest, RefusalShowsPlainMessageBoxTitledWithTheApplication) {
  OpenActive();
  // After the load, which wrote true to it.
  observatory_.Answer("Telescope", "Connected", {Value::Bool(false)});
  ModalWatcher watcher;
  QTest::mouseClick(Command1(), Qt::LeftButton);
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.object_name, "MsgBox");
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Error - ACP not connected to mount");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
  EXPECT_EQ(box.buttons, 1);
  EXPECT_TRUE(box.ok_only);
  EXPECT_EQ(box.parent, view_.get());
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_TRUE(view_->isVisible());
  EXPECT_FALSE(form_->ended());
}

TEST_F(WindowTest, DecimalSeparatorIsTheUsersLocales) {
  Open();
  const QString point = QLocale::system().decimalPoint();
  ASSERT_FALSE(point.isEmpty());
  EXPECT_EQ(QString(QChar(view_->UserDecimalSeparator())), point.left(1));
  EXPECT_EQ(form_->model().DecimalSeparator(), view_->UserDecimalSeparator());
}

}  // namespace
}  // namespace orvan::qt
