#include <QApplication>
#include <memory>

#include "observatory/sim/simulated_observatory.h"
#include "ui/frmMain.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/qt_view.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("OrvanACP");
  QApplication::setWindowIcon(orvan::qt::ApplicationIcon());

  std::unique_ptr<orvan::AutomationFactory> observatory = orvan::sim::MakeDefaultObservatory();
  orvan::qt::QtView view;
  orvan::frmMain& form = orvan::Module1::Main(view, *observatory);
  // A failed start-up has shown its report and ended the program before any
  // event loop ran; otherwise the loop runs until the program ends.
  if (!form.ended()) QApplication::exec();
  const int status = form.exit_status();
  // The window logic holds the observatory's objects and is bound to the
  // view, so it goes before either.
  orvan::Module1::MainForm.reset();
  return status;
}
