#pragma once

#include <stdexcept>
#include <string>

namespace orvan::plot {

// What is wrong with a log, and the line it is on (1-based; 0 when it is about
// the file as a whole).
class ReadError : public std::runtime_error {
 public:
  ReadError(long line, const std::string& what) : std::runtime_error(what), line_(line) {}
  long line() const { return line_; }

 private:
  long line_;
};

}  // namespace orvan::plot
