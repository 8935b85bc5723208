#include <QGuiApplication>
#include <iostream>
#include <optional>

#include "plot/picture.h"
#include "residual_picture.h"
#include "residual_plot.h"

namespace orvan::model {
namespace {

// Qt's notes on the platform (no runtime directory, say) are not the
// user's business; its errors are.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

// The arguments Qt keeps a reference to while it runs.
int qt_argc = 1;
char qt_name[] = "orvanacp-model";
char* qt_argv[] = {qt_name, nullptr};

}  // namespace

const bool kPlotBuiltIn = true;

std::string ResidualPicture(const std::string& path, std::span<const Point> points,
                            std::span<const SkyResidual> residuals, const std::vector<bool>& used,
                            const std::string& title) {
  // Drawing needs fonts, which need a platform: offscreen, as nothing shows.
  // Qt runs for this picture alone and ends with it, as it must for its
  // fonts to be let go.
  std::optional<QGuiApplication> app;
  if (QGuiApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    app.emplace(qt_argc, qt_argv);
  }
  const QString text = QString::fromStdString(title);
  return plot::PictureBytes(path, QSize(kResidualPlotWidth, kResidualPlotHeight), text,
                            [&](QPainter& p) { DrawResiduals(p, points, residuals, used, text); });
}

}  // namespace orvan::model
