#pragma once

// The stand-in's record of the calls the program makes on its objects, for
// bench/cycle-time: one line per name look-up (GetIDsOfNames) and per access
// (Invoke), with the event clock and when the call began and ended in the
// stand-in, in microseconds:
//
//   CLOCK lookup|invoke BEGIN END
//
// A look-up is written with the access that follows it and under that
// access's clock: reading the clock file at every look-up would add its own
// cost to the calls being counted. All of an access's lines go out in one
// write, so a look-up adds no write of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "support/wide.h"  // and with it windows.h

namespace orvan::standin {

class CallRecord {
 public:
  using Micros = std::int64_t;

  // Nowhere to write: nothing is recorded.
  explicit CallRecord(std::wstring path) : path_(std::move(path)) {}
  ~CallRecord() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }
  CallRecord(const CallRecord&) = delete;
  CallRecord& operator=(const CallRecord&) = delete;

  bool on() const { return !path_.empty(); }

  static Micros Now() {
    static const LONGLONG frequency = [] {
      LARGE_INTEGER f;
      ::QueryPerformanceFrequency(&f);
      return f.QuadPart;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    constexpr LONGLONG kMicrosPerSecond = 1000000;
    return t.QuadPart / frequency * kMicrosPerSecond +
           t.QuadPart % frequency * kMicrosPerSecond / frequency;
  }

  void LookedUp(Micros began) {
    if (on()) lookups_.push_back({began, Now()});
  }

  void Invoked(int clock, Micros began) {
    if (!on()) return;
    const Micros ended = Now();
    std::string text;
    for (const Span& s : lookups_) text += Line(clock, "lookup", s.began, s.ended);
    lookups_.clear();
    text += Line(clock, "invoke", began, ended);
    Write(text);
  }

 private:
  struct Span {
    Micros began, ended;
  };

  static std::string Line(int clock, const char* what, Micros began, Micros ended) {
    return std::to_string(clock) + " " + what + " " + std::to_string(began) + " " +
           std::to_string(ended) + "\n";
  }

  // Kept open: the record's own cost stays small beside the calls it times.
  void Write(const std::string& text) {
    if (file_ == INVALID_HANDLE_VALUE)
      file_ = ::CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }

  std::wstring path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::vector<Span> lookups_;
};

}  // namespace orvan::standin
