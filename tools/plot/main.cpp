// orvanacp-plot LOG [-o FILE.png|FILE.svg]: a cycle log drawn as a picture of
// the night.
#include <QGuiApplication>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "night.h"
#include "night_plot.h"
#include "picture.h"
#include "plot_command_line.h"

namespace {

using namespace orvan::plot;
using orvan::LineError;

constexpr int kBadInput = 2;
constexpr int kCannotWrite = 1;
constexpr char kName[] = "orvanacp-plot: ";

// Qt's notes on the platform (no runtime directory, say) are not the
// user's business; its errors are.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

QString BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

int Plot(const PlotOptions& options) {
  std::ifstream in(options.log, std::ios::binary);
  if (!in) {
    std::cerr << kName << options.log << ": cannot open\n";
    return kBadInput;
  }
  Night night;
  SkippedLines skipped;
  try {
    night = ReadNight(in, skipped.Sink());
  } catch (const LineError& e) {
    std::cerr << kName << options.log;
    if (e.line() > 0) std::cerr << ':' << e.line();
    std::cerr << ": " << e.what() << '\n';
    return kBadInput;
  }
  for (const std::string& line : skipped.Report(options.log)) std::cerr << kName << line << '\n';
  if (night.empty()) {
    std::cerr << kName << options.log << ": no cycles to draw\n";
    return kBadInput;
  }
  // Drawing needs fonts, which need a platform: offscreen, as nothing shows.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQt);
  int qt_argc = 1;
  char qt_name[] = "orvanacp-plot";
  char* qt_argv[] = {qt_name, nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  const QString title = BaseName(options.log);
  try {
    WritePicture(options.output, QSize(kNightWidth, kNightHeight), title,
                 [&](QPainter& p) { DrawNight(p, night, title); });
  } catch (const std::runtime_error& e) {
    std::cerr << kName << e.what() << '\n';
    return kCannotWrite;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const ParsedPlotCommand parsed = ParsePlotCommand(args);
  if (!parsed.error.empty()) {
    std::cerr << kName << parsed.error << '\n' << kPlotUsage;
    return kBadInput;
  }
  if (parsed.options.help) {
    std::cout << kPlotUsage;
    return 0;
  }
  return Plot(parsed.options);
}
