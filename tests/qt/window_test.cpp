#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "observatory/scripted/scripted_observatory.h"
#include "ui/controls.h"
#include "ui/frmMain.h"
#include "ui/qt/qt_surface.h"

namespace orvan::qt {
namespace {

using controls::Control;
using controls::Kind;
using ::testing::HasSubstr;

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// At 96 dpi a pixel is 15 twips.
QRect At96Dpi(const Control& c) {
  const int height = c.kind == Kind::Line ? 1 : c.height / 15;
  return QRect(c.left / 15, c.top / 15, c.width / 15, height);
}

// What a modal box showed before the test dismissed it with its OK button.
struct SeenBox {
  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::WindowModality modality = Qt::NonModal;
  int buttons = 0;
  bool ok_only = false;
};

// Watches for the next modal message box, records it, runs `while_up` while it
// is showing, then presses OK.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void()> while_up = {}) : while_up_(std::move(while_up)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  const SeenBox& box() const { return box_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer_.stop();
    box_.seen = true;
    box_.title = box->windowTitle();
    box_.text = box->text();
    box_.icon = box->icon();
    box_.modality = box->windowModality();
    box_.buttons = static_cast<int>(box->buttons().size());
    box_.ok_only = box->standardButtons() == QMessageBox::Ok;
    if (while_up_) while_up_();
    box->button(QMessageBox::Ok)->click();
  }

  QTimer timer_;
  SeenBox box_;
  std::function<void()> while_up_;
};

class WindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Module1::MainForm.reset();
    surface_.reset();
  }

  // Starts the program on a new window, as main does.
  void Open() {
    surface_ = std::make_unique<QtSurface>();
    Module1::Main(*surface_, observatory_);
  }
  // Opens the window and waits until it is the active window.
  void OpenActive() {
    Open();
    ASSERT_TRUE(surface_->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(surface_.get()));
  }

  template <typename W>
  W* Widget(std::string_view name) {
    return surface_->findChild<W*>(Q(name));
  }
  QPushButton* Command1() { return Widget<QPushButton>("Command1"); }
  QLineEdit* Box(int n) { return Widget<QLineEdit>("Text" + std::to_string(n)); }

  bool Saw(const std::string& needle) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }

  std::vector<std::string> lines_;
  ScriptedObservatory observatory_{[this](const std::string& line) { lines_.push_back(line); }};
  std::unique_ptr<QtSurface> surface_;
};

TEST(Environment, LogicalDpiIs96) {
  ASSERT_NE(QApplication::primaryScreen(), nullptr);
  EXPECT_DOUBLE_EQ(QApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
}

TEST_F(WindowTest, ClientAreaIsFixedAt321By399Pixels) {
  Open();
  EXPECT_EQ(surface_->size(), QSize(321, 399));
  EXPECT_EQ(surface_->minimumSize(), QSize(321, 399));
  EXPECT_EQ(surface_->maximumSize(), QSize(321, 399));
}

TEST_F(WindowTest, TitleIconAndCloseBoxOnly) {
  Open();
  EXPECT_EQ(surface_->windowTitle(), "OrvanACP");
  const Qt::WindowFlags flags = surface_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Window));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  const QIcon icon = surface_->windowIcon();
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
    EXPECT_EQ(w->geometry(), At96Dpi(c)) << c.name;
    EXPECT_EQ(w->geometry(), surface_->PixelRect(c)) << c.name;
    ++checked;
  }
  EXPECT_EQ(checked, 30);
  // A few written out, so a slip shared by the table reading and the check shows.
  EXPECT_EQ(Command1()->geometry(), QRect(80, 16, 161, 57));
  EXPECT_EQ(Box(11)->geometry(), QRect(144, 88, 57, 19));
  EXPECT_EQ(Widget<QLabel>("Label13")->geometry(), QRect(16, 344, 49, 17));
  EXPECT_EQ(Widget<QWidget>("Line1")->geometry(), QRect(8, 192, 288, 1));
  EXPECT_EQ(Widget<QStatusBar>("sbStatusBar")->geometry(), QRect(0, 381, 321, 18));
}

TEST_F(WindowTest, LineIsOnePixelOfWindowTextColour) {
  Open();
  const QImage image = surface_->grab().toImage();
  const QRgb ink = surface_->palette().color(QPalette::WindowText).rgb();
  ASSERT_NE(surface_->palette().color(QPalette::Window).rgb(), ink);
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
  EXPECT_EQ(Widget<QStatusBar>("sbStatusBar")->currentMessage(), "Normal Sidereal tracking");
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

TEST_F(WindowTest, LabelsLeftAlignedAndOnlyCurrentAndTargetBold) {
  Open();
  int bold = 0;
  for (const Control& c : controls::kTable) {
    if (c.kind != Kind::Label) continue;
    auto* label = Widget<QLabel>(c.name);
    EXPECT_TRUE(label->alignment().testFlag(Qt::AlignLeft)) << c.name;
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
      EXPECT_EQ(surface_->childAt(shared.center()), Widget<QWidget>(box.name))
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

  for (QWidget* w : surface_->findChildren<QWidget*>()) {
    if (w == Command1() || w == Box(11)) continue;
    if (w->parentWidget() != surface_.get()) continue;  // parts of the controls themselves
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
  // Once more stops.
  QTest::keyClick(Command1(), Qt::Key_Space);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_TRUE(Box(11)->isEnabled());
}

TEST_F(WindowTest, EnterOnTheButtonClicksIt) {
  OpenActive();
  QTest::keyClick(Command1(), Qt::Key_Return);
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  QTest::keyClick(Command1(), Qt::Key_Enter);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
}

TEST_F(WindowTest, StartArmsTheTimerAtFourSecondsAndStopDisarmsIt) {
  OpenActive();
  auto* timer = surface_->findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());  // design time: enabled, period 0
  QTest::mouseClick(Command1(), Qt::LeftButton);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 4000);
  QTest::mouseClick(Command1(), Qt::LeftButton);
  EXPECT_FALSE(timer->isActive());
}

TEST_F(WindowTest, TimerWithPeriodZeroRaisesNoTick) {
  Open();
  auto* timer = surface_->findChild<QTimer*>("Timer1");
  surface_->SetTimerInterval(0);
  surface_->SetTimerEnabled(true);
  EXPECT_FALSE(timer->isActive());
  surface_->SetTimerInterval(250);
  EXPECT_TRUE(timer->isActive());
  surface_->SetTimerEnabled(false);
  EXPECT_FALSE(timer->isActive());
  surface_->SetTimerEnabled(true);
  EXPECT_TRUE(timer->isActive());
  surface_->HaltTimer();
  EXPECT_FALSE(timer->isActive());
}

TEST_F(WindowTest, FirstTickFallsDueFourSecondsAfterStart) {
  OpenActive();
  QTest::mouseClick(Command1(), Qt::LeftButton);
  ASSERT_EQ(Command1()->text(), "Stop Orvaning");
  QTest::qWait(3700);
  EXPECT_FALSE(Saw("Telescope.slewing"));
  QTest::qWait(800);
  EXPECT_TRUE(Saw("Telescope.slewing"));
  EXPECT_EQ(Widget<QStatusBar>("sbStatusBar")->currentMessage(), "Orvan tracking");
  EXPECT_EQ(Box(1)->text(), "0");
  EXPECT_EQ(Box(3)->text(), "10");
  EXPECT_EQ(Box(4)->text(), "20");
}

TEST_F(WindowTest, RefusalShowsPlainMessageBoxTitledWithTheApplication) {
  OpenActive();
  // After the load, which wrote true to it.
  observatory_.Answer("Telescope", "Connected", {Value::Bool(false)});
  ModalWatcher watcher;
  QTest::mouseClick(Command1(), Qt::LeftButton);
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Error - ACP not connected to mount");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
  EXPECT_EQ(box.buttons, 1);
  EXPECT_TRUE(box.ok_only);
  EXPECT_EQ(Command1()->text(), "Start Orvaning");
  EXPECT_TRUE(surface_->isVisible());
}

TEST_F(WindowTest, MessageBoxReturnsOnceDismissed) {
  Open();
  ModalWatcher watcher;
  surface_->MessageBox("Error - Guiderates are zero");
  ASSERT_TRUE(watcher.box().seen);
  EXPECT_EQ(watcher.box().title, "OrvanACP");
  EXPECT_EQ(watcher.box().text, "Error - Guiderates are zero");
}

TEST_F(WindowTest, CloseBoxEndsTheProgramWithStatusZero) {
  OpenActive();
  EXPECT_TRUE(surface_->close());
  EXPECT_TRUE(surface_->ended());
  EXPECT_EQ(surface_->exit_status(), 0);
  EXPECT_FALSE(surface_->isVisible());
}

TEST_F(WindowTest, CloseDuringAMessageBoxWaitsForItAndThenEnds) {
  OpenActive();
  // After the load, which wrote true to it.
  observatory_.Answer("Telescope", "Connected", {Value::Bool(false)});
  bool closed_while_up = true;
  bool visible_while_up = false;
  ModalWatcher watcher([&] {
    closed_while_up = surface_->close();
    visible_while_up = surface_->isVisible();
  });
  QTest::mouseClick(Command1(), Qt::LeftButton);
  ASSERT_TRUE(watcher.box().seen);
  EXPECT_FALSE(closed_while_up);
  EXPECT_TRUE(visible_while_up);
  EXPECT_TRUE(surface_->ended());
  EXPECT_EQ(surface_->exit_status(), 0);
  EXPECT_FALSE(surface_->isVisible());
}

TEST_F(WindowTest, RunTimeErrorIsReportedAndEndsTheEventLoopWithStatusOne) {
  OpenActive();
  Box(11)->clear();  // empty text does not convert to a number
  ModalWatcher watcher;
  // The application's own loop, as main runs it.
  QTimer::singleShot(0, [&] { QTest::mouseClick(Command1(), Qt::LeftButton); });
  QTimer guard;  // a report that never comes fails the test instead of hanging it
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  EXPECT_EQ(QApplication::exec(), 1);
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_TRUE(box.text.startsWith("Run-time error 0x80020005:\n\n")) << box.text.toStdString();
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
  EXPECT_TRUE(box.ok_only);
  EXPECT_TRUE(surface_->ended());
  EXPECT_EQ(surface_->exit_status(), 1);
  EXPECT_FALSE(surface_->isVisible());
  EXPECT_FALSE(surface_->findChild<QTimer*>("Timer1")->isActive());
}

TEST_F(WindowTest, FailedStartUpReportsAndNeverShowsTheWindow) {
  observatory_.NoCreate("ACP.Util");
  ModalWatcher watcher;
  Open();
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Run-time error 0x800401F3:\n\nInvalid class string");
  EXPECT_TRUE(surface_->ended());
  EXPECT_EQ(surface_->exit_status(), 1);
  EXPECT_FALSE(surface_->isVisible());
}

TEST(ErrorReport, ShowsNumberInHexAndDescription) {
  EXPECT_EQ(QtSurface::ErrorReportText(Error(0x80020005, "Type mismatch")),
            "Run-time error 0x80020005:\n\nType mismatch");
  EXPECT_EQ(QtSurface::ErrorReportText(Error(0x1A, "x")), "Run-time error 0x0000001A:\n\nx");
}

TEST_F(WindowTest, SettersReachTheirControls) {
  Open();
  surface_->SetText(3, "10.5");
  EXPECT_EQ(Box(3)->text(), "10.5");
  EXPECT_EQ(surface_->Text(3), "10.5");
  surface_->SetText(4, "10.4567890123456");  // wider than the box: shown from its start
  EXPECT_EQ(Box(4)->cursorPosition(), 0);
  surface_->SetText(11, "2,5");
  EXPECT_EQ(surface_->Text(11), "2,5");
  surface_->SetEnabled(11, false);
  EXPECT_FALSE(Box(11)->isEnabled());
  surface_->SetCaption("Stop Orvaning");
  EXPECT_EQ(Command1()->text(), "Stop Orvaning");
  surface_->SetStatusText("Waiting for slew to complete");
  EXPECT_EQ(Widget<QStatusBar>("sbStatusBar")->currentMessage(), "Waiting for slew to complete");
  EXPECT_THROW(surface_->SetText(0, "x"), std::out_of_range);
  EXPECT_THROW(surface_->SetText(12, "x"), std::out_of_range);
}

TEST_F(WindowTest, DecimalSeparatorIsTheUsersLocales) {
  Open();
  const QString point = QLocale::system().decimalPoint();
  ASSERT_FALSE(point.isEmpty());
  EXPECT_EQ(QString(QChar(surface_->DecimalSeparator())), point.left(1));
}

}  // namespace
}  // namespace orvan::qt

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Each test opens and closes its own window; none may end the run's loops.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
