// register: the ACP stand-in registers itself for the current user.
#include <cstdio>

#include "driver/jobs.h"
#include "support/error.h"
#include "support/wide.h"

namespace orvan::wine {

int Register(const std::wstring& dll) {
  HMODULE module = ::LoadLibraryW(dll.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load the stand-in (error %lu)\n", ::GetLastError());
    return 1;
  }
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllRegisterServer")));
  if (entry == nullptr) return 1;
  const HRESULT hr = entry();
  if (FAILED(hr)) {
    std::fprintf(stderr,
                 "the stand-in refused to register (%s): ACP.Telescope or ACP.Util belongs "
                 "to another server here\n",
                 HexNumber(static_cast<std::uint32_t>(hr)).c_str());
    return 1;
  }
  return 0;
}

}  // namespace orvan::wine
