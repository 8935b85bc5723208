#include "ui/qt/qt_controls.h"

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

StatusBarControl::StatusBarControl(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
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
