#include "ui/qt/qt_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstddef>

#include "ui/qt/app_icon.h"
#include "ui/qt/qt_controls.h"

namespace orvan::qt {
namespace {

using controls::Control;
using controls::Kind;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The message box and the error report look alike but for the icon.
void ShowModal(QMessageBox::Icon icon, std::string_view text, const char* object_name,
               QWidget* parent) {
  QMessageBox box(icon, ToQString(controls::kTitle), ToQString(text), QMessageBox::Ok, parent);
  box.setObjectName(object_name);
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

QtView::QtView(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      dpi_(screen()->logicalDotsPerInch()) {
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

  std::array<QWidget*, controls::kTable.size()> focus_chain{};  // by tab index
  for (const Control& c : controls::kTable) {
    QWidget* widget = Build(c);
    widgets_[static_cast<std::size_t>(c.id)] = widget;
    if (widget == nullptr) continue;
    widget->setObjectName(ToQString(c.name));
    widget->setGeometry(PixelRect(c));
    if (c.tab_index >= 0) {
      widget->setFocusPolicy(Qt::StrongFocus);
      focus_chain.at(static_cast<std::size_t>(c.tab_index)) = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }
  QWidget* previous = nullptr;
  for (QWidget* w : focus_chain) {
    if (w == nullptr) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, w);
    previous = w;
  }

  // Labels and the line are drawn on the window itself, so every other
  // control lies on top of them.
  for (const Control& c : controls::kTable)
    if (c.kind == Kind::Label || c.kind == Kind::Line) WidgetOf(c.id)->lower();
}

QtView::~QtView() = default;

QWidget* QtView::Build(const Control& c) {
  switch (c.kind) {
    case Kind::Button: {
      auto* button = new QPushButton(this);
      // Enter on the focused button clicks it; without a default button,
      // Enter elsewhere and Escape click nothing.
      button->setAutoDefault(true);
      button->setDefault(false);
      connect(button, &QPushButton::clicked, this, [this] {
        if (input_ != nullptr) input_->Click();
      });
      return button;
    }
    case Kind::Label: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(false);
      if (c.bold) {
        QFont bold = font();
        bold.setWeight(static_cast<QFont::Weight>(controls::kBoldWeight));
        label->setFont(bold);
      }
      return label;
    }
    case Kind::TextBox: {
      auto* box = new QLineEdit(this);
      box->setFrame(true);
      // Only the entry box takes input; the readouts are display only.
      box->setReadOnly(c.id != controls::kEntryBox);
      if (c.id == controls::kEntryBox) connect(box, &QLineEdit::textEdited, this, &QtView::Typed);
      return box;
    }
    case Kind::Line:
      return new LineControl(this);
    case Kind::StatusBar:
      return new StatusBarControl(this);
    case Kind::Timer:
      timer1_ = new QTimer(this);
      timer1_->setObjectName(ToQString(c.name));
      timer1_->setTimerType(Qt::PreciseTimer);
      connect(timer1_, &QTimer::timeout, this, [this] {
        if (input_ != nullptr) input_->Tick();
      });
      return nullptr;
  }
  return nullptr;
}

int QtView::Pixels(int twips) const {
  return static_cast<int>(std::lround(twips * dpi_ / controls::kTwipsPerInch));
}

QRect QtView::PixelRect(const Control& c) const {
  // Edges are converted, not sizes, so neighbouring controls stay aligned at
  // any resolution.
  const int left = Pixels(c.left);
  const int top = Pixels(c.top);
  const int right = Pixels(c.left + c.width);
  const int bottom = c.kind == Kind::Line ? top + 1 : Pixels(c.top + c.height);
  return QRect(left, top, right - left, bottom - top);
}

QWidget* QtView::WidgetOf(ControlId control) const {
  return widgets_[static_cast<std::size_t>(control)];
}

char QtView::UserDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  const char16_t first = point.isEmpty() ? u'.' : point.front().unicode();
  // The number texts are built byte by byte; a separator outside ASCII can't
  // be one of them.
  return (first > 0x20 && first < 0x7f) ? static_cast<char>(first) : '.';
}

void QtView::Bind(WindowModel* model, WindowInput* input) {
  model_ = model;
  input_ = input;
  subscription_.Follow(model);
  if (model_ != nullptr) {
    ended_ = false;  // a new program
    for (const Control& c : controls::kTable) RenderControl(c);
  }
  RenderTimer();
}

void QtView::RenderControl(const Control& c) {
  switch (c.kind) {
    case Kind::Button:
    case Kind::Label:
      Written(c.id, Property::Caption, Cause::Program);
      Written(c.id, Property::Enabled, Cause::Program);
      break;
    case Kind::TextBox:
      Written(c.id, Property::Text, Cause::Program);
      Written(c.id, Property::Enabled, Cause::Program);
      break;
    case Kind::StatusBar:
      Written(c.id, Property::SimpleText, Cause::Program);
      break;
    case Kind::Timer:
      RenderTimer();
      break;
    case Kind::Line:
      break;
  }
}

void QtView::Written(ControlId control, Property property, Cause cause) {
  if (model_ == nullptr) return;
  const auto text = [&] { return ToQString(model_->Text(control)); };
  switch (property) {
    case Property::Text: {
      auto* box = static_cast<QLineEdit*>(WidgetOf(control));
      // What the user typed is already there; setting it again would move
      // the cursor from under them.
      if (cause == Cause::User && box->text() == text()) break;
      box->setText(text());
      // Show a long number from its first digit, as a native edit box does.
      box->setCursorPosition(0);
      break;
    }
    case Property::Caption:
      if (controls::Of(control).kind == Kind::Button)
        static_cast<QPushButton*>(WidgetOf(control))->setText(text());
      else
        static_cast<QLabel*>(WidgetOf(control))->setText(text());
      break;
    case Property::Enabled:
      if (controls::Of(control).kind == Kind::Timer)
        RenderTimer();
      else
        WidgetOf(control)->setEnabled(model_->Enabled(control));
      break;
    case Property::Interval:
      RenderTimer();
      break;
    case Property::SimpleText:
      static_cast<QStatusBar*>(WidgetOf(control))->showMessage(text());
      break;
  }
}

void QtView::MountNoted(std::string_view status, std::string_view note) {
  static_cast<StatusBarControl*>(WidgetOf(ControlId::sbStatusBar))
      ->ShowMountNote(ToQString(status), ToQString(note));
}

void QtView::RenderTimer() {
  // Every write restarts the count, so a tick falls due one full period after
  // the timer was armed. An ended program raises no tick whatever the model
  // still says.
  if (model_ != nullptr && !ended_ && model_->Ticking())
    timer1_->start(model_->TimerInterval());
  else
    timer1_->stop();
}

void QtView::Typed(const QString& text) {
  if (input_ == nullptr) return;
  // A box that does not take the text (the program has ended) shows the
  // model's text again.
  if (!input_->Type(controls::kEntryBox, text.toStdString()))
    Written(controls::kEntryBox, Property::Text, Cause::Program);
}

void QtView::Show() {
  for (const Control& c : controls::kTable)
    if (c.tab_index == 0) WidgetOf(c.id)->setFocus(Qt::OtherFocusReason);
  show();
  activateWindow();
}

QWidget* QtView::DialogParent() {
  return isVisible() ? this : nullptr;
}

void QtView::MessageBox(std::string_view text) {
  ShowModal(QMessageBox::NoIcon, text, "MsgBox", DialogParent());
}

void QtView::ErrorReport(const Error& error) {
  ShowModal(QMessageBox::Critical, ErrorReportText(error), "ErrorReport", DialogParent());
}

void QtView::End(int exit_status) {
  ended_ = true;
  RenderTimer();
  // Inside closeEvent the close itself takes the window away.
  if (!in_close_event_) hide();
  // Before the event loop runs (a failed start-up) main returns the status
  // itself; an exit now would make the loop end as soon as it began.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(exit_status);
}

void QtView::closeEvent(QCloseEvent* event) {
  if (!ended_ && input_ != nullptr) {
    const bool outer = in_close_event_;
    in_close_event_ = true;
    input_->Close();
    in_close_event_ = outer;
  }
  // The window goes only once the program has ended; a close that came while
  // a handler was waiting is delivered after it and ends the program then.
  // With no program bound there is nobody to ask.
  if (ended_ || input_ == nullptr)
    event->accept();
  else
    event->ignore();
}

}  // namespace orvan::qt
