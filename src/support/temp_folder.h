#pragma once

#include <string>
#include <string_view>

namespace orvan {

// A private folder (readable by its owner alone) under TMPDIR, or /tmp where
// that is not set, removed with everything in it when it goes. POSIX.
class TempFolder {
 public:
  // Its name begins with `stem`. Where it cannot be made, path() is empty
  // and error() says why.
  explicit TempFolder(std::string_view stem = "orvan");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }
  // The path of `name` in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string error_;
};

}  // namespace orvan
