// frame-dropper: the sky of a drifting mount, as an observatory's camera and
// plate solver would leave it in a folder, for the Windows program's frames
// test under Wine. The ACP stand-in's mount (its `mount` file) says where the
// mount believes it points, its guide pulses included; the sky drifts from
// that by a rate its readings never show. Each frame is solved at the true
// place, PinPoint-style (a WCS marked PLTSOLVD), and moved into the folder.
//
//   frame-dropper drift MOUNT FRAMES LOG   frames while the program holds;
//                                          then whether they stayed still
//   frame-dropper make MOUNT FILE          one frame, at the mount, now
//
// `drift` waits for the program's start line in its cycle log LOG, drops
// kFrames frames, waits for their lines, and checks that from the 5th on
// each frame's true centre is within the threshold and two cycles of drift
// of the reference frame's; exit status 1 where one is not.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framemaker/star_field.h"
#include "pointing/places.h"
#include "support/csv.h"
#include "support/units.h"
#include "support/utc_text.h"
#include "tracking/log_columns.h"

namespace {

using orvan::pointing::RaDec;
using Clock = std::chrono::system_clock;

constexpr int kFrames = 14;
constexpr double kExposureS = 4;
constexpr double kEveryS = 6;
// The sky's drift from what the mount reports, arc-seconds a second (right
// ascension on the sky): 15" a minute, against a hold within 3".
constexpr double kDriftRaArcsecS = 0.2;
constexpr double kDriftDecArcsecS = -0.15;
constexpr double kThresholdArcsec = 1;  // as the program is started with
constexpr double kCycleS = 4;
constexpr int kFirstHeld = 4;  // the 5th frame, from 0
constexpr int kWidth = 96, kHeight = 64;
constexpr double kScaleArcsec = 30;
constexpr auto kPoll = std::chrono::milliseconds(200);
constexpr auto kStartLimit = std::chrono::seconds(180);
constexpr auto kLinesLimit = std::chrono::seconds(60);

double Now() {
  return orvan::J2000SecondsNow();
}

void SleepUntil(double j2000) {
  std::this_thread::sleep_until(orvan::TimeOfJ2000Seconds(j2000));
}

// Where the mount believed it pointed at `time`: the stand-in's place after
// the last pulse before it (apparent, hours and degrees).
std::optional<RaDec> MountAt(const std::string& path, double time) {
  std::ifstream in(path);
  RaDec at{};
  if (!(in >> at.ra >> at.dec)) return std::nullopt;
  long long unix_ms = 0;
  RaDec next{};
  while (in >> unix_ms >> next.ra >> next.dec) {
    const double then =
        static_cast<double>(unix_ms) / orvan::kMillisecondsPerSecond - orvan::kJ2000UnixSeconds;
    if (then > time) break;
    at = next;
  }
  return at;
}

// The true sky at `time`: the mount's place moved by the drift since `since`.
RaDec TrueAt(const RaDec& mount, double time, double since) {
  const double t = time - since;
  const double cos_dec = std::cos(mount.dec * orvan::kRadiansPerDegree);
  return {mount.ra + kDriftRaArcsecS * t / orvan::kArcsecPerDegree / 15 / cos_dec,
          mount.dec + kDriftDecArcsecS * t / orvan::kArcsecPerDegree};
}

double SeparationArcsec(const RaDec& a, const RaDec& b) {
  const double cos_dec = std::cos(a.dec * orvan::kRadiansPerDegree);
  const double ra = (a.ra - b.ra) * 15 * cos_dec, dec = a.dec - b.dec;
  return std::hypot(ra, dec) * orvan::kArcsecPerDegree;
}

// A frame of the apparent place `sky` exposed from `start`, written to `path`.
bool Drop(const RaDec& sky, double start, const std::string& path) {
  orvan::pointing::Utc utc{};
  if (!orvan::pointing::UtcOf(orvan::UtcFieldsOf(orvan::TimeOfJ2000Seconds(start)), utc))
    return false;
  orvan::framemaker::FrameShot shot;
  shot.start_center = shot.end_center = orvan::pointing::MeanPlaceOf(sky, utc);
  shot.width = kWidth;
  shot.height = kHeight;
  shot.scale_arcsec = kScaleArcsec;
  shot.exposure_s = kExposureS;
  shot.date_obs = orvan::UtcTextOfJ2000Seconds(start).substr(0, 23);
  shot.write_wcs = true;
  std::string error;
  if (orvan::framemaker::WriteFrame(shot, {}, path, error)) return true;
  std::fprintf(stderr, "frame-dropper: %s\n", error.c_str());
  return false;
}

struct LogLine {
  std::string event, file, action;
};

std::vector<LogLine> ReadLog(const std::string& path) {
  std::vector<LogLine> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  orvan::CsvReader reader(in);
  std::vector<std::string_view> f;
  using namespace orvan::tracking;
  try {
    while (reader.Next(f)) {
      if (f.size() <= kFrameAction) continue;
      std::string file(f[kFrameFile]);
      file = file.substr(file.find_last_of("\\/") + 1);
      lines.push_back({std::string(f[kEvent]), file, std::string(f[kFrameAction])});
    }
  } catch (const std::exception&) {
    // A line still being written: read again later.
  }
  return lines;
}

template <class Ready>
bool WaitFor(std::chrono::seconds limit, Ready ready) {
  for (const auto end = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(kPoll))
    if (ready()) return true;
  return false;
}

int Drift(const std::string& mount, const std::string& frames, const std::string& log) {
  const auto started = [&] {
    for (const LogLine& l : ReadLog(log))
      if (l.event == "start") return true;
    return false;
  };
  if (!WaitFor(std::chrono::duration_cast<std::chrono::seconds>(kStartLimit), started)) {
    std::fprintf(stderr, "frame-dropper: the program did not start holding\n");
    return 1;
  }
  const double since = Now();
  std::vector<RaDec> truth;
  std::vector<std::string> names;
  for (int i = 0; i < kFrames; ++i) {
    const double start = since + i * kEveryS;
    SleepUntil(start + kExposureS);
    const auto at = MountAt(mount, start + kExposureS / 2);
    if (!at) return std::fprintf(stderr, "frame-dropper: no mount in %s\n", mount.c_str()), 1;
    truth.push_back(TrueAt(*at, start + kExposureS / 2, since));
    char name[32];
    std::snprintf(name, sizeof name, "drift-%02d.fits", i + 1);
    names.emplace_back(name);
    if (!Drop(truth.back(), start, frames + "/" + name)) return 1;
  }
  std::vector<LogLine> lines;
  const auto noted = [&] {
    lines = ReadLog(log);
    for (const LogLine& l : lines)
      if (l.event == "frame" && l.file == names.back()) return true;
    return false;
  };
  if (!WaitFor(std::chrono::duration_cast<std::chrono::seconds>(kLinesLimit), noted)) {
    std::fprintf(stderr, "frame-dropper: the last frame was never logged\n");
    return 1;
  }
  int reference = -1;
  for (const LogLine& l : lines)
    for (int i = 0; i < kFrames && reference < 0; ++i)
      if (l.event == "frame" && l.file == names[static_cast<std::size_t>(i)] &&
          l.action == "reference")
        reference = i;
  if (reference < 0 || reference >= kFirstHeld) {
    std::fprintf(stderr, "frame-dropper: no reference among the first %d frames\n", kFirstHeld);
    return 1;
  }
  const double drift = std::hypot(kDriftRaArcsecS, kDriftDecArcsecS);
  const double bound = kThresholdArcsec + 2 * kCycleS * drift;
  int failed = 0;
  for (int i = 0; i < kFrames; ++i) {
    const double off = SeparationArcsec(truth[static_cast<std::size_t>(i)],
                                        truth[static_cast<std::size_t>(reference)]);
    const bool held = i < kFirstHeld || off <= bound;
    failed += held ? 0 : 1;
    std::printf("%s %6.2f\" from the reference; unheld %6.2f\"%s\n",
                names[static_cast<std::size_t>(i)].c_str(), off, drift * (i - reference) * kEveryS,
                held ? "" : "  BEYOND");
  }
  std::printf("bound %.2f\"; %d frame(s) beyond it\n", bound, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "drift") return Drift(a[1], a[2], a[3]);
  if (a.size() == 3 && a[0] == "make") {
    const double start = Now() - kExposureS;
    const auto at = MountAt(a[1], start);
    return at && Drop(*at, start, a[2]) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: frame-dropper drift MOUNT FRAMES LOG | make MOUNT FILE\n");
  return 2;
}
