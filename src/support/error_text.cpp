#include "support/error_text.h"

#ifdef _WIN32
#include "support/wide.h"
#else
#include <array>
#include <cstring>
#endif

namespace orvan {

#ifdef _WIN32

std::string WindowsErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason(text != nullptr ? std::wstring_view(text, n) : std::wstring_view());
  if (text != nullptr) ::LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L' ' || reason.back() == L'.'))
    reason.pop_back();
  if (reason.empty()) return "system error " + std::to_string(code);
  return win::Narrow(reason);
}

#else

std::string ErrorText(int err) {
  std::array<char, 256> buffer{};
  // The GNU strerror_r, which may return its own static text instead.
  return strerror_r(err, buffer.data(), buffer.size());
}

#endif

}  // namespace orvan
