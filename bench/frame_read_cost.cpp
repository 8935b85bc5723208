// The cost of reading one frame's header: in the program's own process, and
// in a child held to limits as the program reads every frame, from a
// process of the program's size (its mappings are what fork copies).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frames/frame_reader.h"
#include "testing/temp_dir.h"

namespace {

using namespace orvan;

constexpr std::size_t kCard = 80;
constexpr std::size_t kBlock = 2880;
constexpr std::size_t kMiB = std::size_t{1} << 20U;

std::string Card(const char* key, const char* value) {
  char card[kCard + 1];
  std::snprintf(card, sizeof card, "%-8.8s= %20s", key, value);
  return std::string(card).append(kCard - std::strlen(card), ' ');
}

// A 16-bit frame of 3000 x 2000 pixels with a PinPoint-style TAN WCS.
std::string Frame() {
  std::string header;
  for (const auto& [key, value] : {std::pair{"SIMPLE", "T"},
                                   {"BITPIX", "16"},
                                   {"NAXIS", "2"},
                                   {"NAXIS1", "3000"},
                                   {"NAXIS2", "2000"},
                                   {"DATE-OBS", "'2026-12-08T21:04:08'"},
                                   {"EXPTIME", "30"},
                                   {"CTYPE1", "'RA---TAN'"},
                                   {"CTYPE2", "'DEC--TAN'"},
                                   {"CRVAL1", "83.82"},
                                   {"CRVAL2", "-5.39"},
                                   {"CRPIX1", "1500.5"},
                                   {"CRPIX2", "1000.5"},
                                   {"CD1_1", "-4.166666E-04"},
                                   {"CD1_2", "0"},
                                   {"CD2_1", "0"},
                                   {"CD2_2", "4.166666E-04"},
                                   {"PLTSOLVD", "T"}}) {
    header += Card(key, value);
  }
  header += std::string("END").append(kCard - 3, ' ');
  header.append((kBlock - header.size() % kBlock) % kBlock, ' ');
  std::string data(std::size_t{3000} * 2000 * 2, '\0');
  data.append((kBlock - data.size() % kBlock) % kBlock, '\0');
  return header + data;
}

class FrameOnDisk {
 public:
  FrameOnDisk() : path_(dir_.File("frame.fits")) {
    if (std::FILE* out = std::fopen(path_.c_str(), "wb")) {
      const std::string bytes = Frame();
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      std::fclose(out);
    }
  }
  const std::string& path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_;
};

// The program's own memory, written to, so that a fork has its pages to map.
std::vector<char> Footprint(benchmark::State& state) {
  return std::vector<char>(static_cast<std::size_t>(state.range(0)) * kMiB, 'x');
}

void BM_ReadInProcess(benchmark::State& state) {
  const FrameOnDisk frame;
  const std::vector<char> footprint = Footprint(state);
  for (auto _ : state) {
    const frames::FrameRead read = frames::ReadFrame(frame.path());
    if (!read.header) state.SkipWithError(read.error.c_str());
  }
}
BENCHMARK(BM_ReadInProcess)->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_ReadInChild(benchmark::State& state) {
  const FrameOnDisk frame;
  const std::vector<char> footprint = Footprint(state);
  for (auto _ : state) {
    std::string error;
    const frames::FrameFile file = frames::FrameFile::Open(frame.path(), error);
    const frames::FrameRead read =
        frames::ReadInChild([&file] { return frames::ReadFrame(file); }, {}, -1, file.fd());
    if (!read.header) state.SkipWithError(read.error.c_str());
  }
}
BENCHMARK(BM_ReadInChild)->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
