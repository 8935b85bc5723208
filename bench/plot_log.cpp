// What drawing a night costs (orvanacp-plot's reading and drawing, Google
// Benchmark): a ten-hour night (9000 cycles) read and drawn as a PNG and as an
// SVG, and a million-line log read and drawn.
//
//   plot_log [benchmark options]
//   plot_log --write-log FILE CYCLES   writes a synthetic log and exits
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "plot/night.h"
#include "plot/night_plot.h"
#include "plot/picture.h"
#include "support/temp_folder.h"
#include "synthetic_log.h"

namespace {

using namespace orvan::plot;

constexpr long kTenHours = 9000;  // cycles at 4 s
constexpr long kMillionLines = 1000000;

std::string Log(long cycles) {
  std::ostringstream out;
  WriteSyntheticLog(out, cycles);
  return out.str();
}

// In a folder of the run's own, removed as the program ends.
std::filesystem::path Scratch(const std::string& name) {
  static const orvan::TempFolder folder("orvan-plot-bench");
  return folder.File(name);
}

// The million-line log, written once.
const std::filesystem::path& MillionLineLog() {
  static const std::filesystem::path path = [] {
    auto p = Scratch("million.csv");
    std::ofstream out(p, std::ios::binary);
    WriteSyntheticLog(out, kMillionLines);
    return p;
  }();
  return path;
}

void Draw(const Night& night, const std::string& path) {
  WritePicture(path, QSize(kNightWidth, kNightHeight), "night",
               [&](QPainter& p) { DrawNight(p, night, "night.csv"); });
}

void TenHourNight(benchmark::State& state, const char* ending) {
  const std::string log = Log(kTenHours);
  const std::string out = Scratch(std::string("ten-hours") + ending).string();
  for (auto _ : state) {
    std::istringstream in(log);
    Draw(ReadNight(in), out);
  }
  state.counters["log_bytes"] = static_cast<double>(log.size());
  state.counters["picture_bytes"] = static_cast<double>(std::filesystem::file_size(out));
}
BENCHMARK_CAPTURE(TenHourNight, png, ".png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TenHourNight, svg, ".svg")->Unit(benchmark::kMillisecond);

void ReadMillionLines(benchmark::State& state) {
  const auto& path = MillionLineLog();
  std::size_t kept = 0;
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    const Night night = ReadNight(in);
    kept = night.measured().capacity() * sizeof(CycleRecord);
    benchmark::DoNotOptimize(night.ra().sum_squares);
  }
  state.counters["log_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  state.counters["records_bytes"] = static_cast<double>(kept);
  state.SetItemsProcessed(state.iterations() * kMillionLines);
}
BENCHMARK(ReadMillionLines)->Unit(benchmark::kMillisecond);

void PlotMillionLines(benchmark::State& state) {
  const auto& path = MillionLineLog();
  const std::string out = Scratch("million.png").string();
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    Draw(ReadNight(in), out);
  }
}
BENCHMARK(PlotMillionLines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--write-log") {
    long cycles = 0;
    if (argc != 4 || (cycles = std::atol(argv[3])) <= 0) {
      std::cerr << "usage: plot_log --write-log FILE CYCLES\n";
      return 2;
    }
    std::ofstream out(argv[2], std::ios::binary);
    WriteSyntheticLog(out, cycles);
    return out ? 0 : 1;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QGuiApplication app(qt_argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
