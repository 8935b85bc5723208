#include "support/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/error_text.h"

namespace orvan {
namespace {

// mkstemp's pattern: the file's own name, so a left-over is recognisable.
constexpr char kTemporarySuffix[] = ".XXXXXX";
// The old file, kept beside its staged replacement while the set goes in.
constexpr char kBackupSuffix[] = ".old";
// A new file is readable by everyone, as the files a user's editor makes.
constexpr mode_t kNewFileMode = 0644;

std::string Reason(int error = errno) {
  return ErrorText(error);
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

// Whether something is at `path` (a dangling link counts); a folder is
// reported as the reason a file cannot go there.
bool Exists(const std::string& path, bool& folder) {
  struct stat st {};
  folder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return folder || ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

ReplaceFiles::~ReplaceFiles() {
  RemoveLeftovers();
}

void ReplaceFiles::RemoveLeftovers() {
  for (const Staged& s : staged_) {
    ::unlink(s.temporary.c_str());
    if (!s.backup.empty()) ::unlink(s.backup.c_str());
  }
  staged_.clear();
}

bool ReplaceFiles::Stage(const std::string& path, std::string_view text, std::string& reason) {
  std::string temporary = path + kTemporarySuffix;
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    reason = Reason();
    return false;
  }
  staged_.push_back({path, temporary, {}});
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
  return ok;
}

// Refuses a folder where a file should go, and keeps a link to each old file
// of a set of more than one, all before anything is renamed.
bool ReplaceFiles::KeepOldFiles(std::string& failed, std::string& reason) {
  for (Staged& s : staged_) {
    bool folder = false;
    const bool exists = Exists(s.path, folder);
    if (folder) {
      failed = s.path;
      reason = Reason(EISDIR);
      return false;
    }
    if (!exists || staged_.size() == 1) continue;
    const std::string backup = s.temporary + kBackupSuffix;
    if (::link(s.path.c_str(), backup.c_str()) != 0) {
      failed = s.path;
      reason = Reason();
      return false;
    }
    s.backup = backup;
  }
  return true;
}

// The first `placed` targets as they were before Commit.
void ReplaceFiles::PutBack(std::size_t placed) {
  for (std::size_t i = placed; i-- > 0;) {
    Staged& s = staged_[i];
    if (s.backup.empty()) {
      ::unlink(s.path.c_str());
    } else if (std::rename(s.backup.c_str(), s.path.c_str()) == 0) {
      s.backup.clear();
    }
  }
}

bool ReplaceFiles::Commit(std::string& failed, std::string& reason) {
  bool ok = KeepOldFiles(failed, reason);
  for (std::size_t i = 0; ok && i < staged_.size(); ++i) {
    if (std::rename(staged_[i].temporary.c_str(), staged_[i].path.c_str()) == 0) continue;
    failed = staged_[i].path;
    reason = Reason();
    PutBack(i);
    ok = false;
  }
  RemoveLeftovers();
  return ok;
}

bool ReplaceFile(const std::string& path, std::string_view text, std::string& reason) {
  ReplaceFiles file;
  std::string failed;
  return file.Stage(path, text, reason) && file.Commit(failed, reason);
}

}  // namespace orvan
