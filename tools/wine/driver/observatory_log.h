#pragma once

// The stand-in's log of observatory accesses, read as it grows.
#include <cstddef>
#include <string>

namespace orvan::wine {

class ObservatoryLog {
 public:
  explicit ObservatoryLog(std::wstring path) : path_(std::move(path)) {}

  std::size_t Size() const;
  // Whether lines came after the last drain.
  bool Grew() const { return Size() > done_; }
  // Prints the complete lines written since the last drain.
  void Drain();

 private:
  std::wstring path_;
  std::size_t done_ = 0;
};

}  // namespace orvan::wine
