#pragma once

#include <memory>
#include <string>

#include "points/point_record.h"
#include "support/append_file.h"

namespace orvan::points {

// Points appended to a point CSV as they are made, each line whole in one
// write, so that a crash leaves no half line. A new or empty file gets the
// header first; a file with another header is refused, as its columns would
// not match.
class PointWriter {
 public:
  explicit PointWriter(std::unique_ptr<Appendable> out) : out_(std::move(out)) {}

  // The file at `path`, appended to; null, with "cannot open points PATH:
  // REASON" in `error`, when it can't be opened or is not such a file.
  static std::unique_ptr<PointWriter> Open(const std::string& path, std::string& error);

  // False, with the system's reason, when the line could not be written.
  bool Append(const PointRecord& record, std::string& reason);

 private:
  std::unique_ptr<Appendable> out_;
};

}  // namespace orvan::points
