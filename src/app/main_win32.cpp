// OrvanACP for Windows: the main window on native controls, ACP through COM.
#include <memory>

#include "observatory/com/com_factory.h"
#include "ui/frmMain.h"
#include "ui/win32/win32_view.h"

#include <windows.h>
// The COM headers build on windows.h.
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // ACP's objects live in a single-threaded apartment, called from this thread.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) return 1;

  int status = 0;
  {
    orvan::win32::Win32View view(instance);
    orvan::com::ComFactory factory;
    orvan::frmMain& form = orvan::Module1::Main(view, factory);
    status = form.ended() ? form.exit_status() : view.Run(form);
    // The objects are released at exit, before COM goes.
    orvan::Module1::MainForm.reset();
  }
  ::CoUninitialize();
  return status;
}
