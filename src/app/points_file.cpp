#include "app/points_file.h"

namespace orvan::app {

std::shared_ptr<PointsFile> PointsFile::Open(const std::string& path, Say say, std::string& error) {
  std::unique_ptr<points::PointWriter> writer = points::PointWriter::Open(path, error);
  if (!writer) return nullptr;
  return std::shared_ptr<PointsFile>(new PointsFile(std::move(writer), path, std::move(say)));
}

PointsFile::PointsFile(std::unique_ptr<points::PointWriter> writer, std::string path, Say say)
    : writer_(std::move(writer)), path_(std::move(path)), say_(std::move(say)) {}

void PointsFile::Append(const points::PointRecord& point, const std::string& what) {
  std::string reason;
  if (writer_->Append(point, reason)) return say_(what + " recorded in " + path_);
  Failed(what, reason);
}

void PointsFile::Failed(const std::string& what, const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  say_("cannot record " + what + " in " + path_ + ": " + reason);
}

}  // namespace orvan::app
