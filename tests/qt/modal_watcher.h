#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <string_view>
#include <utility>

namespace orvan::qt::test_support {

// How long a test waits for an event before it gives up: far beyond what any
// event here takes, so that only a missing event fails, never a slow machine.
inline constexpr int kEventWaitLimitMs = 30000;

inline QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// What a modal box showed before the test dismissed it with its OK button.
struct SeenBox {
  bool seen = false;
  QString object_name;
  QString title;
  QString text;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::WindowModality modality = Qt::NonModal;
  int buttons = 0;
  bool ok_only = false;
  QWidget* parent = nullptr;
};

// Watches for the next modal message box, records it, runs `while_up` while it
// is showing, then presses OK. The box's own event loop runs the watch.
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
    box_.object_name = box->objectName();
    box_.title = box->windowTitle();
    box_.text = box->text();
    box_.format = box->textFormat();
    box_.icon = box->icon();
    box_.modality = box->windowModality();
    box_.buttons = static_cast<int>(box->buttons().size());
    box_.ok_only = box->standardButtons() == QMessageBox::Ok;
    box_.parent = box->parentWidget();
    if (while_up_) while_up_();
    box->button(QMessageBox::Ok)->click();
  }

  QTimer timer_;
  SeenBox box_;
  std::function<void()> while_up_;
};

// Runs the application's own loop, as main does, with `first` as its first
// event; returns the loop's exit code, or 99 when nothing ended it in time.
inline int RunLoop(std::function<void()> first) {
  QTimer::singleShot(0, std::move(first));
  QTimer guard;  // a loop nothing ends fails the test instead of hanging it
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  return QApplication::exec();
}

}  // namespace orvan::qt::test_support
