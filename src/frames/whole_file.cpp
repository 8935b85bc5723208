#include "whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "points/plate_header.h"

namespace orvan::frames {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

std::optional<DeclaredSize> SizeDeclared(int fd, std::int64_t size) {
  return points::SizeDeclared(
      [fd](std::int64_t at, char* to, std::size_t count) {
        const auto block = static_cast<std::int64_t>(count);
        std::int64_t done = 0;
        while (done < block) {
          const ssize_t got =
              ::pread(fd, to + done, static_cast<std::size_t>(block - done), at + done);
          if (got <= 0) return false;
          done += got;
        }
        return true;
      },
      size);
}

FileStamp StampOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          status.st_size, status.st_mtim.tv_sec * kNanosecondsPerSecond + status.st_mtim.tv_nsec};
}

std::optional<FileLook> LookAt(const std::string& path, std::int64_t settle_ns) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  std::optional<FileLook> look;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    look = FileLook{StampOf(status)};
    const std::optional<DeclaredSize> declared = SizeDeclared(fd, status.st_size);
    look->whole = !declared || declared->complete;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t age =
        now.tv_sec * kNanosecondsPerSecond + now.tv_nsec - look->stamp.mtime_ns;
    look->settled = age >= settle_ns;
  }
  ::close(fd);
  return look;
}

}  // namespace orvan::frames
