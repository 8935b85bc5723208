#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvan {

// Files replaced together, as the outputs of one run: each is written to a
// new file in its own folder and flushed to the disk (Stage), and only when
// every one is ready are they renamed over their targets (Commit). A reader,
// a crash or a failure on the way sees each old file whole or its new one
// whole, never a part; a failure leaves every old file as it was and no
// temporary file behind. To put an old file back when a later rename fails,
// Commit keeps it as a hard link until all are in place, so a set of more
// than one file replaces existing files only where the file system has hard
// links.
class ReplaceFiles {
 public:
  ReplaceFiles() = default;
  ReplaceFiles(const ReplaceFiles&) = delete;
  ReplaceFiles& operator=(const ReplaceFiles&) = delete;
  ~ReplaceFiles();  // removes whatever was staged and not committed

  // `text` (UTF-8) as the whole of `path` once committed. False, with the
  // system's reason, when it could not be written.
  bool Stage(const std::string& path, std::string_view text, std::string& reason);
  // Puts every staged file in place. False, with the path that failed and
  // the system's reason, when any could not be: then none is.
  bool Commit(std::string& failed, std::string& reason);

 private:
  struct Staged {
    std::string path;
    std::string temporary;
    std::string backup;  // the old file, kept while the set goes in; empty: none
  };
  bool KeepOldFiles(std::string& failed, std::string& reason);
  void PutBack(std::size_t placed);
  void RemoveLeftovers();

  std::vector<Staged> staged_;
};

// One file replaced the same way. False, with the system's reason in
// `reason`, when it could not be done.
bool ReplaceFile(const std::string& path, std::string_view text, std::string& reason);

}  // namespace orvan
