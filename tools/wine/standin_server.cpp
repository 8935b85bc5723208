// The ACP stand-in as a local server (acp-standin-server.exe): the objects of
// standin.cpp in a process of their own, as ACP's are. COM starts it without
// the driver's environment, so the registered command line names its
// configuration file; COM appends -Embedding.
//
//   acp-standin-server.exe /RegServer [--config FILE]
//       registers both classes as LocalServer32, "EXE" --config "FILE"
//   acp-standin-server.exe /UnregServer
//   acp-standin-server.exe [--config FILE] -Embedding
//       serves both classes until the last object and lock are let go
//
// Once nothing uses it, it takes its classes back at once; its process then
// ends with the program it serves (the configuration names it; at once where
// it names none). Wine sends a call's answer from another thread after the
// call has returned: a server that ended at once could lose the answer to the
// call that let go of its last object, or the failure of its only creation.
// A server whose program ended holding objects (Wine releases no object of a
// dead client) ends with it too.
#include <cstdio>
#include <string>

#include "standin.h"
#include "standin_files.h"
#include "support/error.h"
#include "wine_limits.h"

#include <shellapi.h>

namespace {

using orvan::standin::Host;

DWORD g_cookies[2] = {};
HANDLE g_client = nullptr;  // the program served, if the configuration names it

void Revoke() {
  for (DWORD& cookie : g_cookies) {
    if (cookie != 0) ::CoRevokeClassObject(cookie);
    cookie = 0;
  }
}

// Nothing uses the server any more: no new object may come to it, and it
// ends, at once or with the program it serves.
void Unused() {
  Revoke();
  if (g_client == nullptr) ::PostQuitMessage(0);
}

// Serves calls (and the clock, if watched) until told to quit or until the
// program served has ended.
void Run() {
  for (;;) {
    const DWORD waits = g_client != nullptr ? 1 : 0;
    const DWORD woke = ::MsgWaitForMultipleObjects(waits, &g_client, FALSE, INFINITE, QS_ALLINPUT);
    if (waits == 1 && woke == WAIT_OBJECT_0) return;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
        orvan::standin::LookAtClock();
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

struct Options {
  bool register_server = false;
  bool unregister_server = false;
  bool embedding = false;
  std::wstring config;
};

bool Is(const wchar_t* arg, const wchar_t* flag) {
  return (arg[0] == L'/' || arg[0] == L'-') && ::_wcsicmp(arg + 1, flag) == 0;
}

bool Parse(Options& options) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr) return false;
  bool good = true;
  for (int i = 1; i < argc; ++i) {
    if (::wcscmp(argv[i], L"--config") == 0 && i + 1 < argc)
      options.config = argv[++i];
    else if (Is(argv[i], L"RegServer"))
      options.register_server = true;
    else if (Is(argv[i], L"UnregServer"))
      options.unregister_server = true;
    else if (Is(argv[i], L"Embedding"))
      options.embedding = true;
    else
      good = false;
  }
  ::LocalFree(argv);
  return good;
}

int RegisterServer(const std::wstring& config) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(path) + L"\"";
  if (!config.empty()) command += L" --config \"" + config + L"\"";
  const HRESULT hr = orvan::standin::Register(Host::LocalServer, command);
  if (SUCCEEDED(hr)) return 0;
  // Said, as the DLL's registration says it: a refusal is not a start that
  // Wine refused.
  std::fprintf(stderr,
               "the stand-in refused to register (%s): ACP.Telescope or ACP.Util belongs to "
               "another server here\n",
               orvan::HexNumber(static_cast<std::uint32_t>(hr)).c_str());
  return 1;
}

int Serve(const std::wstring& config) {
  // Held as long as the process runs: the driver waits for its end.
  [[maybe_unused]] HANDLE running = ::CreateMutexW(nullptr, TRUE, orvan::wine::kServerMutex);
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  orvan::standin::Start(Host::LocalServer, config, Unused);
  if (const DWORD client = orvan::standin::ClientProcess())
    g_client = ::OpenProcess(SYNCHRONIZE, FALSE, client);
  const auto classes = orvan::standin::Classes();
  for (std::size_t i = 0; i < classes.size(); ++i) {
    const CLSID& clsid = *classes[i].clsid;
    if (FAILED(::CoRegisterClassObject(clsid, orvan::standin::ClassObject(clsid),
                                       CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &g_cookies[i]))) {
      Revoke();
      ::CoUninitialize();
      return 1;
    }
  }
  // A side file that ends the server at an event: the clock is looked at
  // between calls.
  if (orvan::standin::WatchesClock())
    ::SetTimer(nullptr, 0, orvan::wine::limits::Ms(orvan::wine::limits::kStandinClockPoll),
               nullptr);
  Run();
  Revoke();
  ::CoUninitialize();
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Options options;
  if (!Parse(options)) return 2;
  if (options.register_server) return RegisterServer(options.config);
  if (options.unregister_server) {
    orvan::standin::Unregister();
    return 0;
  }
  // Started by hand: there is nothing to serve.
  if (!options.embedding) return 2;
  return Serve(options.config);
}
