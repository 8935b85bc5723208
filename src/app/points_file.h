#pragma once

#include <functional>
#include <memory>
#include <string>

#include "points/point_writer.h"

namespace orvan::app {

// The point CSV --points appends to: each sync another client makes and
// each frame solved, one whole line each. A failure is said once; the
// program goes on.
class PointsFile {
 public:
  using Say = std::function<void(const std::string&)>;

  // The file at `path`; null, with the reason, when it can't be opened.
  static std::shared_ptr<PointsFile> Open(const std::string& path, Say say, std::string& error);

  // Appends `point` and says `what` "recorded in PATH".
  void Append(const points::PointRecord& point, const std::string& what);
  // `what` could not be made into a point, for `reason`.
  void Failed(const std::string& what, const std::string& reason);

 private:
  PointsFile(std::unique_ptr<points::PointWriter> writer, std::string path, Say say);

  std::unique_ptr<points::PointWriter> writer_;
  std::string path_;
  Say say_;
  bool failed_ = false;  // said once
};

}  // namespace orvan::app
