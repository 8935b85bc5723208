// The ACP stand-in as an in-process COM server (acp-standin.dll): the
// objects of standin.cpp served inside the program's own process. Its
// configuration file is named in the program's environment
// (ORVAN_STANDIN_CONFIG, standin_files.h); without it the stand-in answers
// with the observatory's defaults and logs nothing.
#include "standin.h"
#include "standin_files.h"

namespace {

wchar_t g_path[MAX_PATH] = {};

std::wstring Env(const wchar_t* name) {
  wchar_t buf[4096];
  const DWORD n = ::GetEnvironmentVariableW(name, buf, 4096);
  return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ::GetModuleFileNameW(instance, g_path, MAX_PATH);
    ::DisableThreadLibraryCalls(instance);
    orvan::standin::Start(orvan::standin::Host::InProcess, Env(orvan::wine::kConfigVariable));
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  IClassFactory* factory = orvan::standin::ClassObject(clsid);
  return factory != nullptr ? factory->QueryInterface(riid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return orvan::standin::InUse() ? S_FALSE : S_OK;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return orvan::standin::Register(orvan::standin::Host::InProcess, g_path);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  orvan::standin::Unregister();
  return S_OK;
}

}  // extern "C"
