#include <QApplication>
#include <memory>

#include "observatory/sim/simulated_observatory.h"
#include "ui/frmMain.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/qt_surface.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("OrvanACP");
  QApplication::setWindowIcon(orvan::qt::ApplicationIcon());

  std::unique_ptr<orvan::AutomationFactory> observatory = orvan::sim::MakeDefaultObservatory();
  orvan::qt::QtSurface surface;
  orvan::Module1::Main(surface, *observatory);
  // A failed start-up has shown its report and ended the program before any
  // event loop ran; otherwise the loop runs until the program ends. Either way
  // the status is the one the program ended with.
  int status = 1;
  if (!surface.ended()) status = QApplication::exec();
  if (surface.ended()) status = surface.exit_status();
  // The window logic holds the observatory's objects, so it goes first.
  orvan::Module1::MainForm.reset();
  return status;
}
