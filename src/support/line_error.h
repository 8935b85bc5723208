#pragma once

#include <stdexcept>
#include <string>

namespace orvan {

// What is wrong with a file read line by line, and the line it is on
// (1-based; 0 when it is about the file as a whole).
class LineError : public std::runtime_error {
 public:
  LineError(long line, const std::string& what) : std::runtime_error(what), line_(line) {}
  long line() const { return line_; }

 private:
  long line_;
};

}  // namespace orvan
