#pragma once

#include <QStatusBar>
#include <QWidget>

class QLabel;
class QPaintEvent;

// The two controls Qt has no widget of the same look for.
namespace orvan::qt {

// Line1: a one-pixel line in the window-text colour, drawn on the window's
// surface; it never takes the mouse or the focus.
class LineControl final : public QWidget {
 public:
  explicit LineControl(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// sbStatusBar: one simple text, set apart from the window above it by an
// etched edge as a docked bar is; no size grip, the window being fixed. At
// its right, apart from that text, a few words on the mount (its pulses have
// no effect), the whole note as their tip; nothing while there are none.
class StatusBarControl final : public QStatusBar {
 public:
  explicit StatusBarControl(QWidget* parent);
  void ShowMountNote(const QString& status, const QString& note);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* mount_;
};

}  // namespace orvan::qt
