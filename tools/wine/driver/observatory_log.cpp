#include "driver/observatory_log.h"

#include <sstream>

#include "driver/output.h"
#include "standin_files.h"

namespace orvan::wine {

std::size_t ObservatoryLog::Size() const {
  return ReadAll(path_).size();
}

void ObservatoryLog::Drain() {
  const std::string all = ReadAll(path_);
  const std::size_t end = all.rfind('\n');
  if (end == std::string::npos || end + 1 <= done_) return;
  std::istringstream lines(all.substr(done_, end + 1 - done_));
  for (std::string line; std::getline(lines, line);) Out(line);
  done_ = end + 1;
}

}  // namespace orvan::wine
