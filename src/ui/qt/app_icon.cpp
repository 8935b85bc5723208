#include "ui/qt/app_icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QPointF>
#include <QRectF>

namespace orvan::qt {
namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;

  // Night sky.
  p.setPen(QPen(QColor(0x0b, 0x1a, 0x3a), s / 32.0));
  p.setBrush(QColor(0x17, 0x2f, 0x66));
  p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));

  // The guide star: a four-pointed star in the middle.
  const QPointF c(s / 2, s / 2);
  const qreal outer = s * 0.30;
  const qreal inner = s * 0.08;
  QPainterPath star;
  for (int i = 0; i < 8; ++i) {
    const qreal r = (i % 2 == 0) ? outer : inner;
    const qreal dx[] = {0, 1, 1, 1, 0, -1, -1, -1};
    const qreal dy[] = {-1, -1, 0, 1, 1, 1, 0, -1};
    const qreal k = (i % 2 == 0) ? 1.0 : 0.7071;
    const QPointF pt(c.x() + dx[i] * r * k, c.y() + dy[i] * r * k);
    if (i == 0)
      star.moveTo(pt);
    else
      star.lineTo(pt);
  }
  star.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xff, 0xf4, 0xc0));
  p.drawPath(star);

  // Cross-hair ticks around it, in red as on a guiding display.
  p.setPen(QPen(QColor(0xe0, 0x40, 0x30), s >= 32 ? 2.0 : 1.0));
  const qreal a = s * 0.36;
  const qreal b = s * 0.46;
  p.drawLine(QPointF(c.x(), c.y() - b), QPointF(c.x(), c.y() - a));
  p.drawLine(QPointF(c.x(), c.y() + a), QPointF(c.x(), c.y() + b));
  p.drawLine(QPointF(c.x() - b, c.y()), QPointF(c.x() - a, c.y()));
  p.drawLine(QPointF(c.x() + a, c.y()), QPointF(c.x() + b, c.y()));
  return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  icon.addPixmap(DrawIcon(16));
  icon.addPixmap(DrawIcon(32));
  return icon;
}

}  // namespace orvan::qt
