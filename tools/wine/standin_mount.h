#pragma once

// A mount that the stand-in's guide pulses move (its `mount` file): where
// ACP reports the telescope starts where the file's first line says
// ("RA_HOURS DEC_DEG"), and each pulse moves it at the default guide rate,
// as a real mount's encoders follow its pulses. After each pulse a line
// "UNIX_MS RA_HOURS DEC_DEG" is appended, for a test to know where the mount
// believed it pointed when. Test tool.
#include <cstdio>
#include <optional>
#include <string>

#include "observatory/units.h"
#include "support/units.h"
#include "support/wide.h"

namespace orvan::wine {

class MovingMount {
 public:
  // None where the file does not start with a place.
  static std::optional<MovingMount> Open(const std::wstring& path) {
    FILE* f = ::_wfopen(path.c_str(), L"rb");
    if (f == nullptr) return std::nullopt;
    double ra = 0, dec = 0;
    const bool read = std::fscanf(f, "%lf %lf", &ra, &dec) == 2;
    std::fclose(f);
    if (!read) return std::nullopt;
    return MovingMount(path, ra, dec);
  }

  double ra() const { return ra_; }
  double dec() const { return dec_; }

  void Pulse(GuideDirection direction, double ms) {
    const double seconds = ms / kMillisecondsPerSecond;
    const double deg = DefaultGuideRate * seconds;
    const double hours = DefaultGuideRate * kHoursPerTurn / kDegreesPerTurn * seconds;
    switch (direction) {
      case GuideDirection::North:
        dec_ += deg;
        break;
      case GuideDirection::South:
        dec_ -= deg;
        break;
      case GuideDirection::East:
        ra_ += hours;
        break;
      case GuideDirection::West:
        ra_ -= hours;
        break;
    }
    FILE* f = ::_wfopen(path_.c_str(), L"ab");
    if (f == nullptr) return;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    // 100-ns steps since 1601 to milliseconds since 1970.
    constexpr unsigned long long kUnixEpoch = 116444736000000000ULL, kStepsPerMs = 10000;
    const unsigned long long steps =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::fprintf(f, "%llu %.12f %.12f\n", (steps - kUnixEpoch) / kStepsPerMs, ra_, dec_);
    std::fclose(f);
  }

 private:
  MovingMount(std::wstring path, double ra, double dec)
      : path_(std::move(path)), ra_(ra), dec_(dec) {}

  std::wstring path_;
  double ra_;
  double dec_;
};

}  // namespace orvan::wine
