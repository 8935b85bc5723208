#include "intake/win32/plate_watch.h"

#include "support/error_text.h"
#include "support/wide.h"

namespace orvan::intake {
namespace {

constexpr wchar_t kClassName[] = L"OrvanACP.Frames";
constexpr UINT kNews = WM_APP + 1;
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMs = 1000;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* watch = reinterpret_cast<PlateWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (watch != nullptr && (message == kNews || (message == WM_TIMER && w == kRetryTimer))) {
    watch->Take();
    return 0;
  }
  return ::DefWindowProcW(window, message, w, l);
}

}  // namespace

PlateWatch::PlateWatch(PlateFolderConfig config, tracking::PlateIntake& intake)
    : intake_(intake), config_(std::move(config)) {}

PlateWatch::~PlateWatch() {
  Stop();
}

bool PlateWatch::Start(std::string& error) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = Proc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClassName;
  if (::RegisterClassW(&window_class) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    error = "cannot watch for frames: " + WindowsErrorText(::GetLastError());
    return false;
  }
  HWND window =
      ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
  if (window == nullptr) {
    error = "cannot watch for frames: " + WindowsErrorText(::GetLastError());
    return false;
  }
  window_ = window;
  folder_ =
      std::make_unique<PlateFolder>(config_, [window] { ::PostMessageW(window, kNews, 0, 0); });
  return folder_->Start(error);
}

void PlateWatch::Take() {
  if (!folder_) return;
  intake_.Take(folder_->Take());
  auto* window = static_cast<HWND>(window_);
  if (intake_.Waiting()) {
    ::SetTimer(window, kRetryTimer, kRetryMs, nullptr);
  } else {
    ::KillTimer(window, kRetryTimer);
  }
}

std::string PlateWatch::Stop() {
  std::string left;
  if (folder_) left = folder_->Stop();
  folder_.reset();
  if (window_ != nullptr) ::DestroyWindow(static_cast<HWND>(window_));
  window_ = nullptr;
  return left;
}

}  // namespace orvan::intake
