#include "points/point_writer.h"

#include "points/point_csv.h"

namespace orvan::points {

std::unique_ptr<PointWriter> PointWriter::Open(const std::string& path, std::string& error) {
  std::string reason;
  std::unique_ptr<AppendFile> file = AppendFile::Open(path, reason);
  const std::string header = PointCsvHeaderLine();
  if (file) {
    const std::string head = file->Head(header.size());
    if (head.empty()) {
      if (file->Append(header, reason)) return std::make_unique<PointWriter>(std::move(file));
    } else if (head == header) {
      return std::make_unique<PointWriter>(std::move(file));
    } else {
      reason = "it is not a point CSV with the air columns (" +
               header.substr(0, header.size() - 1) + ")";
    }
  }
  error = "cannot open points " + path + ": " + reason;
  return nullptr;
}

bool PointWriter::Append(const PointRecord& record, std::string& reason) {
  return out_->Append(PointCsvLine(record), reason);
}

}  // namespace orvan::points
