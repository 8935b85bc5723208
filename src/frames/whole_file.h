#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "points/fits_file.h"

struct stat;

// Whether a FITS file is all there: the sizes its own headers declare, read
// from the file as it stands, whoever wrote it and however.
namespace orvan::frames {

// A file as one look found it: a change to any part is a write.
struct FileStamp {
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const struct stat& status);

using points::DeclaredSize;

// The size the headers of the file open at `fd`, `size` bytes long, declare;
// nullopt where it does not read as FITS (not SIMPLE or XTENSION first, a
// size card missing or out of range, a header that never ends): the frame
// reader says why.
std::optional<DeclaredSize> SizeDeclared(int fd, std::int64_t size);

// A look at a frame before it is read: whether it is all there by its
// headers (or cannot be told so: compressed whole, not FITS, which the
// reader judges), and whether it was last written `settle_ns` ago or more
// by the system's clock. Nullopt where it is not a regular file or cannot be
// looked at: the reader says why.
struct FileLook {
  FileStamp stamp;
  bool whole = false;
  bool settled = false;
};
std::optional<FileLook> LookAt(const std::string& path, std::int64_t settle_ns);

}  // namespace orvan::frames
