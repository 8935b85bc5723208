#include <QGuiApplication>
#include <iostream>

#include "picture.h"
#include "residual_picture.h"
#include "residual_plot.h"

namespace orvan::model {
namespace {

// Qt's notes on the platform (no runtime directory, say) are not the
// user's business; its errors are.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

// Drawing needs fonts, which need a platform: offscreen, as nothing shows.
void StartQt() {
  if (QGuiApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQt);
  static int argc = 1;
  static char name[] = "orvanacp-model";
  static char* argv[] = {name, nullptr};
  // Kept for the program's life: Qt's fonts outlive any scope here.
  new QGuiApplication(argc, argv);
}

}  // namespace

const bool kPlotBuiltIn = true;

std::string ResidualPicture(const std::string& path, std::span<const Point> points,
                            std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                            const std::string& title) {
  StartQt();
  const QString text = QString::fromStdString(title);
  return plot::PictureBytes(path, QSize(kResidualPlotWidth, kResidualPlotHeight), text,
                            [&](QPainter& p) { DrawResiduals(p, points, residuals, used, text); });
}

}  // namespace orvan::model
