#include "synthetic_log.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>

#include "plot/log_reader.h"
#include "support/units.h"

namespace orvan::plot {

namespace {

constexpr std::int64_t kStartMs = 1796763844120;  // 2026-12-08T21:04:04.120Z
constexpr std::int64_t kCycleMs = 4000;
constexpr double kThreshold = 1;
constexpr double kGuideArcsecPerSecond = 15;
constexpr double kTargetRa = 10.5, kTargetDec = 20;
constexpr double kDrift[2] = {0.11, -0.07};  // arc-seconds per cycle
constexpr double kWormAmplitude = 0.35, kWormCycles = 120;
constexpr double kNoise = 0.06;

std::string Number(double v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

constexpr std::int64_t kMsPerDay = 86400000, kMsPerHour = 3600000, kMsPerMinute = 60000;
constexpr std::int64_t kMsPerSecond = 1000;

std::string Time(std::int64_t ms) {
  // Civil date from days since 1970 (after H. Hinnant's civil_from_days).
  const std::int64_t z = ms / kMsPerDay + 719468, era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153, d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
  const std::int64_t of_day = ms % kMsPerDay;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<int>(y),
                static_cast<int>(m), static_cast<int>(d), static_cast<int>(of_day / kMsPerHour),
                static_cast<int>(of_day / kMsPerMinute % 60),
                static_cast<int>(of_day / kMsPerSecond % 60),
                static_cast<int>(of_day % kMsPerSecond));
  return text;
}

struct Maker {
  std::ostream& out;
  std::mt19937_64 random{20261208};
  std::normal_distribution<double> noise{0, kNoise};
  std::int64_t now = kStartMs;
  double error[2] = {0, 0};

  void Line(const char* event, const std::string& status, const std::string& rest) {
    // Up to the error text; the rest (the side of the pier, the air, the
    // frames) empty, as an observatory that tells none of them writes it.
    std::string line = Time(now) + ',' + event + ',' + status + ',' + rest;
    std::size_t fields = 1;
    bool quoted = false;
    for (const char c : line) {
      if (c == '"') quoted = !quoted;
      fields += c == ',' && !quoted;
    }
    line.append(tracking::kLogColumns - fields, ',');
    out << line << "\r\n";
  }
  void Start() {
    Line(
        "start", "Normal Sidereal tracking",
        Number(kTargetRa) + ',' + Number(kTargetDec) + ",,,,,,,,," + Number(kThreshold) + ",,,,,,");
  }
  void Wait(const char* status) {
    Line("cycle", status, ",,,,,,,,,," + Number(kThreshold) + ",,,,,,");
  }
  void Cycle(long i);
};

void Maker::Cycle(long i) {
  const double worm =
      kWormAmplitude * std::sin(2 * std::numbers::pi * static_cast<double>(i) / kWormCycles);
  for (int a = 0; a < 2; ++a) error[a] += kDrift[a] + noise(random) + (a == 0 ? worm / 10 : 0);
  std::string pulses[2];
  for (int a = 0; a < 2; ++a) {
    if (std::abs(error[a]) <= kThreshold) {
      pulses[a] = ",";
      continue;
    }
    const char minus = a == 0 ? 'W' : 'S', plus = a == 0 ? 'E' : 'N';
    pulses[a] = std::string(1, error[a] > 0 ? minus : plus) + ',' +
                Number(std::abs(error[a]) / kGuideArcsecPerSecond * 1000);
  }
  const double ra = kTargetRa + error[0] / kArcsecPerHour;
  const double dec = kTargetDec + error[1] / kArcsecPerDegree;
  Line("cycle", "Orvan tracking",
       Number(kTargetRa) + ',' + Number(kTargetDec) + ',' + Number(ra) + ',' + Number(dec) + ',' +
           Number(kTargetRa) + ',' + Number(kTargetDec) + ',' + Number(ra) + ',' + Number(dec) +
           ',' + Number(error[0]) + ',' + Number(error[1]) + ',' + Number(kThreshold) + ',' +
           pulses[0] + ',' + pulses[1] + ",,");
  // A pulse takes the error out, but for a little.
  for (double& a : error)
    if (std::abs(a) > kThreshold) a = noise(random);
}

}  // namespace

void WriteSyntheticLog(std::ostream& out, long cycles) {
  Maker m{out};
  out << kLogHeader << "\r\n";
  m.Start();
  for (long i = 0; i < cycles; ++i) {
    m.now += kCycleMs + static_cast<std::int64_t>(i % 7);
    const long tenth = cycles / 10;
    if (i >= 2 * tenth && i < 2 * tenth + 8) {
      m.Wait("Waiting for slew to complete");
    } else if (i == 2 * tenth + 8) {
      m.Wait("Updating target coordinates");
      m.error[0] = m.error[1] = 0;
    } else if (i >= 4 * tenth && i < 4 * tenth + 5) {
      m.Wait("Waiting for mount tracking to be enabled");
    } else if (i == 6 * tenth) {
      m.Line("stop", "Orvan stopped", ",,,,,,,,,,,,,,,,");
      m.now += 30 * kCycleMs;
      m.Start();
    } else if (i == 8 * tenth) {
      m.Line("abort", "Aborting Orvan - pulse still running", ",,,,,,,,,,,,,,,,");
      m.now += 5 * kCycleMs;
      m.Start();
    } else {
      m.Cycle(i);
    }
  }
  m.now += kCycleMs;
  m.Line("error", "Orvan tracking",
         ",,,,,,,,,,,,,,,0x80040504,\"INDI server 127.0.0.1:7624: \"\"EQMod Mount\"\", connection "
         "lost\"");
}

}  // namespace orvan::plot
