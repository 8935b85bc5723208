// write-held: a frame written whole by a Windows process that keeps it open
// for writing a while longer, as a camera program may; the frames test
// checks the program takes it only once it is closed.
#include <cstdio>
#include <string>

#include "driver/jobs.h"
#include "standin_files.h"
#include "support/utc_text.h"

namespace orvan::wine {

int WriteHeld(const std::wstring& file, const std::wstring& source, int seconds) {
  const std::string bytes = ReadAll(source);
  if (bytes.empty()) {
    std::fprintf(stderr, "write-held: cannot read the source\n");
    return 1;
  }
  // Others may read it while it is open, as a writer sharing it would allow.
  HANDLE f = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "write-held: cannot create the file (%lu)\n", ::GetLastError());
    return 1;
  }
  DWORD written = 0;
  const bool ok =
      ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
      written == bytes.size() && ::FlushFileBuffers(f) != 0;
  constexpr DWORD kMsPerSecond = 1000;
  ::Sleep(static_cast<DWORD>(seconds) * kMsPerSecond);
  // Printed before the close: the program may take the file from then on.
  std::printf("%s\n", UtcNowText().c_str());
  std::fflush(stdout);
  ::CloseHandle(f);
  return ok ? 0 : 1;
}

}  // namespace orvan::wine
