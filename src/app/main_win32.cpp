// OrvanACP for Windows: the main window on native controls, ACP through COM.
#include <memory>

#include "observatory/com/com_factory.h"
#include "ui/frmMain.h"
#include "ui/win32/win32_surface.h"

#include <windows.h>
// The COM headers build on windows.h.
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // ACP's objects live in a single-threaded apartment, called from this thread.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) return 1;

  int status = 0;
  {
    orvan::win32::Win32Surface surface(instance);
    orvan::com::ComFactory factory;
    surface.OnEvent(orvan::Module1::Deliver);
    orvan::Module1::Main(surface, factory);
    status = surface.ended() ? surface.exit_status() : surface.Run();
    // The objects are released at exit, before COM goes.
    orvan::Module1::MainForm.reset();
  }
  ::CoUninitialize();
  return status;
}
