#include "model/points.h"

namespace orvan::model {

std::vector<Point> ReadPoints(const std::string& path, const ReadOptions&) {
  throw PointError(path + ": no reader for this format yet");
}

}  // namespace orvan::model
