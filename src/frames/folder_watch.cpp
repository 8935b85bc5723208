#include "folder_watch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "child.h"
#include "support/error_text.h"

namespace orvan::frames {

namespace {

// What a watched folder reports: files written whole or moved in, folders
// made, moved or given new permissions, and the folder itself going.
// IN_CREATE and IN_ATTRIB are wanted for the folders alone; a file is never
// taken on them.
constexpr std::uint32_t kFolderMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                      IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                      IN_EXCL_UNLINK;
// A folder inside is not followed through a link; the root may be one.
constexpr std::uint32_t kInnerMask = kFolderMask | IN_DONT_FOLLOW;
constexpr std::uint32_t kRootGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
constexpr std::size_t kReadBuffer = std::size_t{64} * 1024;
std::string Join(const std::string& dir, const std::string& name) {
  return dir == "/" ? dir + name : dir + "/" + name;
}

bool Under(const std::string& path, const std::string& top) {
  return path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
                         path[top.size()] == '/');
}

}  // namespace

FolderWatch::FolderWatch(std::string root) : root_(std::move(root)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) close(fd_);
}

bool FolderWatch::Open(std::string& error) {
  if (fd_ >= 0) return true;
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    error = "cannot watch for frames: inotify: " + ErrorText(errno);
    return false;
  }
  return true;
}

bool FolderWatch::WatchRoot(WatchNews& news, int& err) {
  return AddTree(root_, true, false, news, err);
}

void FolderWatch::ReadEvents(WatchNews& news) {
  alignas(inotify_event) std::array<char, kReadBuffer> buffer{};
  while (fd_ >= 0) {
    const ssize_t got = read(fd_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EAGAIN)
      news.notes.push_back("cannot read folder events: " + ErrorText(errno));
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      inotify_event raw{};
      std::memcpy(&raw, buffer.data() + at, sizeof raw);
      const char* name = buffer.data() + at + sizeof raw;
      Handle({raw.wd, raw.mask, raw.cookie, raw.len > 0 ? std::string(name) : std::string()}, news);
      at += static_cast<ssize_t>(sizeof raw + raw.len);
    }
  }
  // Every event made before the last scan has now been read: a close that
  // comes later is a new write. A folder moved out of sight is let go.
  scanned_.clear();
  for (const auto& [cookie, moved] : moved_from_) Forget(moved.path);
  moved_from_.clear();
}

void FolderWatch::Handle(const Event& event, WatchNews& news) {
  if ((event.mask & IN_Q_OVERFLOW) != 0) {
    news.overflowed = true;
    return;
  }
  if (event.wd == root_wd_ && (event.mask & kRootGone) != 0) {
    LoseRoot(news);
    return;
  }
  const auto folder = folders_.find(event.wd);
  if (folder == folders_.end()) return;
  if ((event.mask & IN_IGNORED) != 0) {
    folders_.erase(folder);
    return;
  }
  for (auto& [cookie, moved] : moved_from_) {
    if (Under(folder->second, moved.path)) {
      moved.held.push_back(event);
      return;
    }
  }
  if (event.name.empty()) return;
  const std::string path = Join(folder->second, event.name);
  if ((event.mask & IN_ISDIR) != 0) {
    HandleFolder(event, path, news);
  } else if ((event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0 && IsFrameName(event.name) &&
             !SeenByScan(path)) {
    news.frames.push_back(path);
  }
}

void FolderWatch::HandleFolder(const Event& event, const std::string& path, WatchNews& news) {
  if ((event.mask & IN_MOVED_FROM) != 0) {
    moved_from_[event.cookie] = {path, {}};
    return;
  }
  const auto from = moved_from_.find(event.cookie);
  if ((event.mask & IN_MOVED_TO) != 0 && from != moved_from_.end()) {
    const Moved moved = std::move(from->second);
    moved_from_.erase(from);
    // Moved within: the same folders under a new name, nothing new in them
    // but what was written meanwhile; unless it moved before it was watched.
    if (Rename(moved.path, path)) {
      for (const Event& held : moved.held) Handle(held, news);
      return;
    }
  }
  // A folder that could not be watched is tried again when its permissions
  // change.
  const bool retry = (event.mask & IN_ATTRIB) != 0 && refused_.contains(path);
  if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0 || retry) {
    int err = 0;
    AddTree(path, false, true, news, err);
    if (retry && !refused_.contains(path)) news.notes.push_back("watching folder " + path);
  }
}

bool FolderWatch::AddTree(const std::string& top, bool is_root, bool scan, WatchNews& news,
                          int& err) {
  std::vector<std::string> pending{top};
  bool first = true;
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    const bool at_root = is_root && std::exchange(first, false);
    const int wd = inotify_add_watch(fd_, dir.c_str(), at_root ? kFolderMask : kInnerMask);
    if (wd < 0) {
      if (at_root) {
        err = errno;
        return false;
      }
      // A folder gone again, or replaced by a file, has nothing to watch;
      // one refused is said once, and tried again when it changes.
      if (errno != ENOENT && errno != ENOTDIR && refused_.insert(dir).second) {
        news.notes.push_back("cannot watch folder " + dir + ": " + ErrorText(errno));
      }
      continue;
    }
    refused_.erase(dir);
    if (at_root) root_wd_ = wd;
    // Watched already (made and then seen again): its files were scanned then.
    if (!folders_.emplace(wd, dir).second) continue;
    ScanFolder(dir, scan, pending, news);
  }
  return true;
}

void FolderWatch::ScanFolder(const std::string& dir, bool scan, std::vector<std::string>& folders,
                             WatchNews& news) {
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) {
    if (errno != ENOENT)
      news.notes.push_back("cannot read folder " + dir + ": " + ErrorText(errno));
    return;
  }
  while (true) {
    errno = 0;
    const dirent* entry = readdir(listing);
    if (entry == nullptr) {
      if (errno != 0) news.notes.push_back("cannot read folder " + dir + ": " + ErrorText(errno));
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = Join(dir, name);
    unsigned char type = entry->d_type;
    struct stat status {};
    if (type == DT_UNKNOWN && lstat(path.c_str(), &status) == 0) {
      type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      folders.push_back(path);
    } else if (scan && type == DT_REG && IsFrameName(name)) {
      TakeFound(path, news);
    }
  }
  closedir(listing);
}

void FolderWatch::TakeFound(const std::string& path, WatchNews& news) {
  const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (file < 0 && errno == ENOENT) return;
  struct stat status {};
  const bool known = file >= 0 ? fstat(file, &status) == 0 : stat(path.c_str(), &status) == 0;
  // The kernel refuses a read lease while anyone has the file open for
  // writing: its close is still to come, and is taken then. Where leases are
  // refused for another cause, the file is taken as found.
  bool being_written = false;
  if (file >= 0) {
    if (fcntl(file, F_SETLEASE, F_RDLCK) == 0) {
      fcntl(file, F_SETLEASE, F_UNLCK);
    } else {
      being_written = errno == EAGAIN;
    }
    close(file);
  }
  if (being_written || (known && !S_ISREG(status.st_mode))) return;
  if (known) {
    scanned_[path] = StampOf(status);
  }
  news.frames.push_back(path);
}

bool FolderWatch::SeenByScan(const std::string& path) {
  const auto found = scanned_.find(path);
  if (found == scanned_.end()) return false;
  const FileStamp then = found->second;
  scanned_.erase(found);
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return true;  // gone; taken once already
  return StampOf(status) == then;
}

bool FolderWatch::Rename(const std::string& from, const std::string& to) {
  ForgetRefused(from);
  bool any = false;
  for (auto& [wd, path] : folders_) {
    if (Under(path, from)) {
      path = to + path.substr(from.size());
      any = true;
    }
  }
  return any;
}

void FolderWatch::ForgetRefused(const std::string& top) {
  std::erase_if(refused_, [&](const std::string& path) { return Under(path, top); });
}

void FolderWatch::Forget(const std::string& top) {
  ForgetRefused(top);
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (Under(it->second, top)) {
      inotify_rm_watch(fd_, it->first);
      it = folders_.erase(it);
    } else {
      ++it;
    }
  }
}

void FolderWatch::LoseRoot(WatchNews& news) {
  // The watches' own IN_IGNORED events come later, for watches no longer known.
  for (const auto& [wd, path] : folders_) inotify_rm_watch(fd_, wd);
  folders_.clear();
  moved_from_.clear();
  scanned_.clear();
  refused_.clear();
  root_wd_ = -1;
  news.notes.push_back(points::FolderGoneText(root_));
}

}  // namespace orvan::frames
