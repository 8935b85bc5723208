#include "ui/qt/qt_controls.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

namespace orvan::qt {

LineControl::LineControl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void LineControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::WindowText));
}

StatusBarControl::StatusBarControl(QWidget* parent) : QStatusBar(parent), mount_(new QLabel(this)) {
  setSizeGripEnabled(false);
  mount_->setObjectName(QStringLiteral("mountNote"));
  mount_->setTextFormat(Qt::PlainText);
  addPermanentWidget(mount_);
  mount_->hide();
}

void StatusBarControl::ShowMountNote(const QString& status, const QString& note) {
  mount_->setText(status);
  mount_->setToolTip(note);
  mount_->setVisible(!status.isEmpty());
}

void StatusBarControl::paintEvent(QPaintEvent* event) {
  QStatusBar::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 1, width() - 1, 1);
}

}  // namespace orvan::qt
