#include <QApplication>
#include <memory>
#include <string>

#include "observatory/scripted/scripted_observatory.h"
#include "ui/frmMain.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/qt_surface.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("OrvanACP");
  QApplication::setWindowIcon(orvan::qt::ApplicationIcon());

  auto factory = std::make_unique<orvan::ScriptedObservatory>([](const std::string&) {});
  orvan::qt::QtSurface surface;
  orvan::Module1::Main(surface, *factory);
  // A start-up that failed has shown its report and ended the program before
  // any event loop ran.
  int status = surface.ended() ? surface.exit_status() : QApplication::exec();
  if (surface.ended()) status = surface.exit_status();
  // The window logic holds the observatory's objects; it goes before them.
  orvan::Module1::MainForm.reset();
  return status;
}
