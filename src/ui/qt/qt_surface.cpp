#include "ui/qt/qt_surface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QString>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <stdexcept>

#include "ui/frmMain.h"
#include "ui/qt/app_icon.h"

namespace orvan::qt {
namespace {

using controls::Control;
using controls::Kind;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Line1: drawn on the window's surface, beneath the other controls, one pixel
// thick in the window-text colour.
class LineControl final : public QWidget {
 public:
  explicit LineControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
  }
};

// sbStatusBar: one simple text, set apart from the window above it by an
// etched edge as a docked bar is.
class StatusBarControl final : public QStatusBar {
 public:
  explicit StatusBarControl(QWidget* parent) : QStatusBar(parent) { setSizeGripEnabled(false); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QStatusBar::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
  }
};

// Text boxes are numbered by their names: "Text1" is box 1.
int BoxNumber(const Control& control) {
  return std::stoi(std::string(control.name.substr(std::string_view("Text").size())));
}

}  // namespace

QtSurface::QtSurface(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      dpi_(screen()->logicalDotsPerInch()),
      timer_interval_(controls::kTimerDesignInterval),
      timer_enabled_(controls::Find("Timer1")->enabled) {
  setObjectName("frmMain");
  setWindowTitle(ToQString(controls::kTitle));
  setWindowIcon(ApplicationIcon());
  setFixedSize(Pixels(controls::kClientWidth), Pixels(controls::kClientHeight));

  // The dialog font is rarely installed outside Windows; the nearest in width
  // keeps the captions inside their designed rectangles.
  QFont::insertSubstitutions(
      ToQString(controls::kFontFamily),
      {"Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arimo", "Arial", "Nimbus Sans"});
  QFont font(ToQString(controls::kFontFamily));
  font.setPointSizeF(controls::kFontPoints);
  // The substitutes run a few per cent wider than the bitmap original.
  if (QFontInfo(font).family() != font.family()) font.setStretch(97);
  setFont(font);
  QFont bold = font;
  bold.setWeight(static_cast<QFont::Weight>(controls::kBoldWeight));

  QWidget* focus_chain[2] = {};
  for (const Control& c : controls::kTable) {
    QWidget* widget = nullptr;
    switch (c.kind) {
      case Kind::Button: {
        command1_ = new QPushButton(ToQString(c.text), this);
        // Enter on the focused button clicks it; without a default button,
        // Enter elsewhere and Escape click nothing.
        command1_->setAutoDefault(true);
        command1_->setDefault(false);
        connect(command1_, &QPushButton::clicked, this, [] { Module1::Deliver(Event::Click); });
        widget = command1_;
        break;
      }
      case Kind::Label: {
        auto* label = new QLabel(ToQString(c.text), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(false);
        if (c.bold) label->setFont(bold);
        widget = label;
        break;
      }
      case Kind::TextBox: {
        auto* box = new QLineEdit(ToQString(c.text), this);
        box->setFrame(true);
        const int number = BoxNumber(c);
        // Only the entry box takes input; the readouts are display only.
        box->setReadOnly(number != controls::kEntryBox);
        boxes_.at(static_cast<std::size_t>(number)) = box;
        widget = box;
        break;
      }
      case Kind::Line:
        widget = new LineControl(this);
        break;
      case Kind::StatusBar: {
        status_bar_ = new StatusBarControl(this);
        status_bar_->showMessage(ToQString(c.text));
        widget = status_bar_;
        break;
      }
      case Kind::Timer: {
        timer1_ = new QTimer(this);
        timer1_->setObjectName(ToQString(c.name));
        timer1_->setTimerType(Qt::PreciseTimer);
        connect(timer1_, &QTimer::timeout, this, [] { Module1::Deliver(Event::Tick); });
        break;
      }
    }
    if (widget == nullptr) continue;
    widget->setObjectName(ToQString(c.name));
    widget->setGeometry(PixelRect(c));
    widget->setEnabled(c.enabled);
    if (c.tab_index >= 0 && c.tab_index < 2) {
      widget->setFocusPolicy(Qt::StrongFocus);
      focus_chain[c.tab_index] = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }
  if (focus_chain[0] != nullptr && focus_chain[1] != nullptr)
    QWidget::setTabOrder(focus_chain[0], focus_chain[1]);

  // Labels and the line are drawn on the window itself, so every other
  // control lies on top of them.
  for (const Control& c : controls::kTable)
    if (c.kind == Kind::Label || c.kind == Kind::Line)
      if (auto* w = findChild<QWidget*>(ToQString(c.name), Qt::FindDirectChildrenOnly)) w->lower();

  ApplyTimer();
}

QtSurface::~QtSurface() = default;

int QtSurface::Pixels(int twips) const {
  return static_cast<int>(std::lround(twips * dpi_ / controls::kTwipsPerInch));
}

QRect QtSurface::PixelRect(const Control& c) const {
  // Edges are converted, not sizes, so neighbouring controls stay aligned at
  // any resolution.
  const int left = Pixels(c.left);
  const int top = Pixels(c.top);
  const int right = Pixels(c.left + c.width);
  const int bottom = c.kind == Kind::Line ? top + 1 : Pixels(c.top + c.height);
  return QRect(left, top, right - left, bottom - top);
}

QLineEdit* QtSurface::Box(int box) const {
  if (box < 1 || box > controls::kTextBoxCount)
    throw std::out_of_range("no text box " + std::to_string(box));
  return boxes_[static_cast<std::size_t>(box)];
}

void QtSurface::SetText(int box, std::string_view text) {
  QLineEdit* edit = Box(box);
  edit->setText(ToQString(text));
  // Show a long number from its first digit, as a native edit box does.
  edit->setCursorPosition(0);
}

std::string QtSurface::Text(int box) {
  return Box(box)->text().toStdString();
}

void QtSurface::SetEnabled(int box, bool enabled) {
  Box(box)->setEnabled(enabled);
}

void QtSurface::SetCaption(std::string_view caption) {
  command1_->setText(ToQString(caption));
}

void QtSurface::SetTimerInterval(std::int32_t milliseconds) {
  timer_interval_ = milliseconds;
  ApplyTimer();
}

void QtSurface::SetTimerEnabled(bool enabled) {
  timer_enabled_ = enabled;
  ApplyTimer();
}

void QtSurface::ApplyTimer() {
  // Every write restarts the count, so a tick falls due one full period after
  // the timer was armed. A period of 0 raises no tick.
  if (timer_enabled_ && timer_interval_ > 0)
    timer1_->start(timer_interval_);
  else
    timer1_->stop();
}

void QtSurface::HaltTimer() {
  timer_enabled_ = false;
  ApplyTimer();
}

void QtSurface::SetStatusText(std::string_view text) {
  status_bar_->showMessage(ToQString(text));
}

char QtSurface::DecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  const char16_t first = point.isEmpty() ? u'.' : point.front().unicode();
  // The number texts are built byte by byte; a separator outside ASCII can't
  // be one of them.
  return (first > 0x20 && first < 0x7f) ? static_cast<char>(first) : '.';
}

void QtSurface::Show() {
  command1_->setFocus(Qt::OtherFocusReason);
  show();
  activateWindow();
}

QWidget* QtSurface::DialogParent() {
  return isVisible() ? this : nullptr;
}

void QtSurface::MessageBox(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(controls::kTitle), ToQString(text),
                  QMessageBox::Ok, DialogParent());
  box.setObjectName("MsgBox");
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::string QtSurface::ErrorReportText(const Error& error) {
  return "Run-time error " + HexNumber(error.number()) + ":\n\n" + error.description();
}

void QtSurface::ShowErrorReport(const Error& error) {
  QMessageBox box(QMessageBox::Critical, ToQString(controls::kTitle),
                  ToQString(ErrorReportText(error)), QMessageBox::Ok, DialogParent());
  box.setObjectName("ErrorReport");
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtSurface::EndProgram(int exit_status) {
  ended_ = true;
  exit_status_ = exit_status;
  timer1_->stop();
  // Inside closeEvent the close itself takes the window away.
  if (!in_close_event_) hide();
  // Before the event loop runs (a failed start-up) main returns the status
  // itself; an exit now would make the loop end as soon as it began.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(exit_status);
}

void QtSurface::closeEvent(QCloseEvent* event) {
  if (!ended_) {
    in_close_event_ = true;
    Module1::Deliver(Event::Close);
    in_close_event_ = false;
  }
  // The window goes only once the program has ended; a close that came while
  // a handler was waiting is delivered later and ends it then.
  if (ended_)
    event->accept();
  else
    event->ignore();
}

}  // namespace orvan::qt
