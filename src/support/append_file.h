#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace orvan {

// Text added at the end of something, each piece whole in one write.
class Appendable {
 public:
  virtual ~Appendable() = default;
  // Writes `text` at the end; false, with the system's reason, when it could not.
  virtual bool Append(std::string_view text, std::string& reason) = 0;
};

// A file opened for appending only (O_APPEND; FILE_APPEND_DATA on Windows):
// every write lands at the end, whatever else writes to the file, and goes
// straight to the operating system, unbuffered.
class AppendFile final : public Appendable {
 public:
  // Opens `path` (UTF-8), creating it when missing; null, with the system's
  // reason in `reason`, when it can't be opened for writing.
  static std::unique_ptr<AppendFile> Open(const std::string& path, std::string& reason);
  ~AppendFile() override;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Refuses once the file has been removed from its folder: lines written
  // there would be lost unseen.
  bool Append(std::string_view text, std::string& reason) override;
  // Up to `size` bytes from the start of the file, or from its end; fewer
  // when it is shorter, none when it can't be read.
  std::string Head(std::size_t size) const;
  std::string Tail(std::size_t size) const;

 private:
  struct Handle;
  AppendFile(std::string path, std::unique_ptr<Handle> handle);
  // Up to `size` bytes of the file, from the start or up to its end.
  std::string Read(std::size_t size, bool from_end) const;

  std::string path_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace orvan
