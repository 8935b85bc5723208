#include "support/append_file.h"

#ifdef _WIN32
#include "support/error_text.h"
#include "support/wide.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvan {
namespace {

// Lines written to a file no folder holds any more would be lost unseen: a
// removed file takes no more, as if it were full.
constexpr std::string_view kRemoved = "the file has been removed";

}  // namespace

#ifdef _WIN32

namespace {

// Others may read, write, rename or delete the log while it is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

struct AppendFile::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  }
};

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& reason) {
  auto handle = std::make_unique<Handle>();
  handle->file = ::CreateFileW(win::Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShareAll,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle->file == INVALID_HANDLE_VALUE) {
    reason = WindowsErrorText(::GetLastError());
    return nullptr;
  }
  return std::unique_ptr<AppendFile>(new AppendFile(path, std::move(handle)));
}

bool AppendFile::Append(std::string_view text, std::string& reason) {
  FILE_STANDARD_INFO info{};
  if (::GetFileInformationByHandleEx(handle_->file, FileStandardInfo, &info, sizeof info) &&
      info.DeletePending) {
    reason = std::string(kRemoved);
    return false;
  }
  // One write takes a line whole; the loop only finishes one the system cut short.
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteFile(handle_->file, text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) ||
        written == 0) {
      reason = WindowsErrorText(::GetLastError());
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

std::string AppendFile::Read(std::size_t size, bool from_end) const {
  HANDLE file = ::CreateFileW(win::Widen(path_).c_str(), GENERIC_READ, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER length{};
  std::string text;
  if (::GetFileSizeEx(file, &length)) {
    const auto available = static_cast<std::size_t>(length.QuadPart);
    if (size > available) size = available;
    LARGE_INTEGER start{};
    start.QuadPart = from_end ? static_cast<LONGLONG>(available - size) : 0;
    text.resize(size);
    DWORD read = 0;
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !::ReadFile(file, text.data(), static_cast<DWORD>(size), &read, nullptr))
      read = 0;
    text.resize(read);
  }
  ::CloseHandle(file);
  return text;
}

#else

namespace {

constexpr mode_t kNewFileMode = 0644;

}  // namespace

struct AppendFile::Handle {
  int fd = -1;
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& reason) {
  auto handle = std::make_unique<Handle>();
  handle->fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (handle->fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<AppendFile>(new AppendFile(path, std::move(handle)));
}

bool AppendFile::Append(std::string_view text, std::string& reason) {
  struct stat info {};
  if (::fstat(handle_->fd, &info) == 0 && info.st_nlink == 0) {
    reason = std::string(kRemoved);
    return false;
  }
  // One write takes a line whole; the loop only finishes one the system cut short.
  while (!text.empty()) {
    const ssize_t n = ::write(handle_->fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = n < 0 ? std::strerror(errno) : "nothing written";
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string AppendFile::Read(std::size_t size, bool from_end) const {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  struct stat info {};
  if (::fstat(fd, &info) == 0) {
    const auto available = static_cast<std::size_t>(info.st_size);
    if (size > available) size = available;
    text.resize(size);
    const off_t start = from_end ? info.st_size - static_cast<off_t>(size) : 0;
    const ssize_t n = ::pread(fd, text.data(), size, start);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::close(fd);
  return text;
}

#endif

AppendFile::AppendFile(std::string path, std::unique_ptr<Handle> handle)
    : path_(std::move(path)), handle_(std::move(handle)) {}

AppendFile::~AppendFile() = default;

std::string AppendFile::Head(std::size_t size) const {
  return Read(size, false);
}

std::string AppendFile::Tail(std::size_t size) const {
  return Read(size, true);
}

}  // namespace orvan
