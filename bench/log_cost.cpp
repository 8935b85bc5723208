// What the cycle log adds to a correction cycle: one line, from the record to
// the file, time stamp and all; and the whole tick with a log and without.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "simulated_night.h"
#include "support/temp_folder.h"
#include "tracking/cycle_log.h"

namespace {

using namespace orvan;
namespace fs = std::filesystem;

// A log in a folder of its own, removed afterwards.
class TemporaryLog {
 public:
  std::unique_ptr<tracking::CycleLog> Open(std::string& error) const {
    return tracking::CycleLog::Open(dir_.File("night.csv"), {}, {}, error);
  }

 private:
  TempFolder dir_{"orvan-bench"};
};

// A cycle that read, mapped and pulsed on both axes: the longest line.
tracking::CycleRecord FullCycle() {
  tracking::CycleRecord r;
  r.threshold_arcsec = 0.5;
  r.target = tracking::AxisPair{4.14561391743086, 19.999999999558618};
  r.current = tracking::AxisPair{4.145613748657562, 19.999996045678408};
  r.target_scope = tracking::AxisPair{4.143486179681941, 19.9996911401626};
  r.current_scope = tracking::AxisPair{4.1434860108795055, 19.99968718784005};
  r.error_arcsec = tracking::AxisPair{-5.400001, 0.359999};
  r.ra_pulse = tracking::SentPulse{GuideDirection::East, 359.99999999915804};
  r.dec_pulse = tracking::SentPulse{GuideDirection::South, 23.99999999994387};
  return r;
}

void BM_LogLine(benchmark::State& state) {
  TemporaryLog file;
  std::string error;
  auto log = file.Open(error);
  if (!log) return state.SkipWithError(error.c_str());
  const tracking::CycleRecord record = FullCycle();
  for (auto _ : state) log->Record(record, "Orvan tracking");
  if (log->failed()) state.SkipWithError("a write failed");
}
BENCHMARK(BM_LogLine);

// The tick of bench/cycle_cost.cpp, with a log when the argument is 1.
void BM_TickLogged(benchmark::State& state) {
  bench::SimulatedNight night = bench::StartNight();
  TemporaryLog file;
  std::string error;
  auto log = state.range(0) != 0 ? file.Open(error) : nullptr;
  if (state.range(0) != 0 && !log) return state.SkipWithError(error.c_str());
  bench::TickThroughTheNight(state, night, std::move(log));
}
BENCHMARK(BM_TickLogged)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
