#include "support/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orvan {
namespace {

// mkstemp's pattern: the file's own name, so a left-over is recognisable.
constexpr char kTemporarySuffix[] = ".XXXXXX";
// A new file is readable by everyone, as the files a user's editor makes.
constexpr mode_t kNewFileMode = 0644;

std::string Reason() {
  return std::strerror(errno);
}

bool WriteAll(int fd, std::string_view text, std::string& reason) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = Reason();
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The mode the replacement gets: the old file's, or that of a new file.
mode_t ModeFor(const std::string& path) {
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) return old.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return kNewFileMode & ~mask;
}

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view text, std::string& reason) {
  std::vector<char> temporary(path.begin(), path.end());
  temporary.insert(temporary.end(), std::begin(kTemporarySuffix), std::end(kTemporarySuffix));
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    reason = Reason();
    return false;
  }
  bool ok = WriteAll(fd, text, reason);
  if (ok && ::fchmod(fd, ModeFor(path)) != 0) {
    reason = Reason();
    ok = false;
  }
  if (ok && ::fsync(fd) != 0) {
    reason = Reason();
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    reason = Reason();
    ok = false;
  }
  if (ok && std::rename(temporary.data(), path.c_str()) != 0) {
    reason = Reason();
    ok = false;
  }
  if (!ok) ::unlink(temporary.data());
  return ok;
}

}  // namespace orvan
