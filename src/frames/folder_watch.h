#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "frames/whole_file.h"
#include "points/fits_file.h"

// A folder and every folder in it, at any depth, watched with inotify for
// FITS files written whole. Single-threaded: one thread owns it.
namespace orvan::frames {

// What one pass over the watch's events found.
struct WatchNews {
  std::vector<std::string> frames;  // FITS files written whole, in order
  std::vector<std::string> notes;   // about the folders, to be said
  bool overflowed = false;          // the kernel's event queue overflowed
};

using points::IsFrameName;

class FolderWatch {
 public:
  explicit FolderWatch(std::string root);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // The inotify instance; false, with `error`, when the system gives none.
  bool Open(std::string& error);
  int fd() const { return fd_; }
  bool Watching() const { return root_wd_ >= 0; }

  // Watches the root and the folders in it; the files already there are not
  // news. False, with errno's value in `err`, when the root can't be watched.
  bool WatchRoot(WatchNews& news, int& err);
  // Reads every event waiting. When the root goes, every watch is let go.
  void ReadEvents(WatchNews& news);

 private:
  struct Event {
    int wd;
    std::uint32_t mask;
    std::uint32_t cookie;
    std::string name;
  };
  // A folder moved away, whose events wait to learn whether it moved within.
  struct Moved {
    std::string path;
    std::vector<Event> held;
  };

  void Handle(const Event& event, WatchNews& news);
  void HandleFolder(const Event& event, const std::string& path, WatchNews& news);
  // Watches `top` and the folders in it; `scan` takes the files found.
  // False, with `err`, when `top` itself can't be watched.
  bool AddTree(const std::string& top, bool is_root, bool scan, WatchNews& news, int& err);
  void ScanFolder(const std::string& dir, bool scan, std::vector<std::string>& folders,
                  WatchNews& news);
  void TakeFound(const std::string& path, WatchNews& news);
  bool SeenByScan(const std::string& path);
  // False when no folder watched was under `from`.
  bool Rename(const std::string& from, const std::string& to);
  void Forget(const std::string& top);
  void ForgetRefused(const std::string& top);
  void LoseRoot(WatchNews& news);

  std::string root_;
  int fd_ = -1;
  int root_wd_ = -1;
  std::unordered_map<int, std::string> folders_;  // watch → its path
  std::map<std::uint32_t, Moved> moved_from_;     // by the move's cookie
  std::map<std::string, FileStamp> scanned_;      // taken by a scan since the last drain
  std::set<std::string> refused_;                 // folders inside that could not be watched
};

}  // namespace orvan::frames
