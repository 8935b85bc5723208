#include "whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <string_view>

#include "frame_wcs.h"

namespace orvan::frames {

namespace {

constexpr std::int64_t kBlock = 2880;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
// Beyond any frame, and far within what the sums below can hold.
constexpr double kMostCount = 1e12;
constexpr int kMostAxes = 999;
constexpr std::int64_t kMostHeaderBlocks = 1000;
constexpr int kMostUnits = 1000;

std::int64_t Blocks(std::int64_t bytes) {
  return (bytes + kBlock - 1) / kBlock * kBlock;
}

// The numbers of one header that size its data.
struct Unit {
  bool ended = false;
  std::optional<double> bitpix, naxis, pcount, gcount;
  std::array<std::optional<double>, kMostAxes + 1> axis{};
};

void Take(std::string_view card, Unit& unit) {
  const std::string_view key = card.substr(0, kKeywordLength);
  if (key.find_first_not_of(' ', 3) == std::string_view::npos && key.starts_with("END")) {
    unit.ended = true;
    return;
  }
  if (card.substr(kKeywordLength, kValueIndicator.size()) != kValueIndicator) return;
  std::string_view value = card.substr(kKeywordLength + kValueIndicator.size());
  value = value.substr(0, value.find('/'));
  const std::string_view name = key.substr(0, key.find(' '));
  const auto set = [&](std::optional<double>& to) { to = FitsNumber(value); };
  if (name == "BITPIX") set(unit.bitpix);
  if (name == "NAXIS") set(unit.naxis);
  if (name == "PCOUNT") set(unit.pcount);
  if (name == "GCOUNT") set(unit.gcount);
  if (name.starts_with("NAXIS") && name.size() > 5 && name[5] != '0') {
    const std::string_view digits = name.substr(5);
    int n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error == std::errc() && end == digits.data() + digits.size() && n >= 1 && n <= kMostAxes)
      set(unit.axis[static_cast<std::size_t>(n)]);
  }
}

bool Count(const std::optional<double>& value, double least) {
  return value && *value >= least && *value <= kMostCount && std::floor(*value) == *value;
}

// The data's size the header declares, or nullopt where a card is missing
// or out of range.
std::optional<std::int64_t> DataBytes(const Unit& unit, bool primary) {
  if (!unit.bitpix || !Count(unit.naxis, 0) || *unit.naxis > kMostAxes) return std::nullopt;
  const double bits = std::abs(*unit.bitpix);
  if (bits != 8 && bits != 16 && bits != 32 && bits != 64) return std::nullopt;
  const int axes = static_cast<int>(*unit.naxis);
  double count = axes == 0 ? 0 : 1;
  // Random groups (a first axis of 0) are sized, as the standard has it,
  // without it.
  for (int i = 1; i <= axes; ++i) {
    const auto& n = unit.axis[static_cast<std::size_t>(i)];
    if (!Count(n, 0)) return std::nullopt;
    if (!(i == 1 && *n == 0 && axes > 1)) count *= *n;
  }
  const double pcount = primary && !unit.pcount ? 0 : unit.pcount.value_or(-1);
  const double gcount = primary && !unit.gcount ? 1 : unit.gcount.value_or(-1);
  if (!Count(pcount, 0) || !Count(gcount, 0)) return std::nullopt;
  const double bytes = bits / 8 * gcount * (pcount + count);
  if (!(bytes <= kMostCount)) return std::nullopt;
  return static_cast<std::int64_t>(bytes);
}

bool ReadAt(int fd, std::int64_t at, char* to) {
  std::int64_t done = 0;
  while (done < kBlock) {
    const ssize_t got = ::pread(fd, to + done, static_cast<std::size_t>(kBlock - done), at + done);
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

}  // namespace

std::optional<DeclaredSize> SizeDeclared(int fd, std::int64_t size) {
  std::array<char, kBlock> block{};
  std::int64_t at = 0;
  for (int n = 0; n < kMostUnits && at < size; ++n) {
    Unit unit;
    for (std::int64_t blocks = 0; !unit.ended; ++blocks) {
      if (blocks == kMostHeaderBlocks) return std::nullopt;
      if (at + kBlock > size) return DeclaredSize{at + kBlock, false};
      if (!ReadAt(fd, at, block.data())) return std::nullopt;
      const std::string_view text(block.data(), block.size());
      if (blocks == 0 && !text.starts_with(n == 0 ? "SIMPLE  = " : "XTENSION= ")) {
        return std::nullopt;
      }
      for (std::size_t c = 0; c < text.size() && !unit.ended; c += kCardLength)
        Take(text.substr(c, kCardLength), unit);
      at += kBlock;
    }
    const std::optional<std::int64_t> data = DataBytes(unit, n == 0);
    if (!data) return std::nullopt;
    at += Blocks(*data);
  }
  if (at == 0) return DeclaredSize{kBlock, false};
  if (at < size) return std::nullopt;  // more units than any frame has
  return DeclaredSize{at, at == size};
}

FileStamp StampOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          status.st_size, status.st_mtim.tv_sec * kNanosecondsPerSecond + status.st_mtim.tv_nsec};
}

std::optional<FileLook> LookAt(const std::string& path, std::int64_t settle_ns) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  std::optional<FileLook> look;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    look = FileLook{StampOf(status)};
    const std::optional<DeclaredSize> declared = SizeDeclared(fd, status.st_size);
    look->whole = !declared || declared->complete;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t age =
        now.tv_sec * kNanosecondsPerSecond + now.tv_nsec - look->stamp.mtime_ns;
    look->settled = age >= settle_ns;
  }
  ::close(fd);
  return look;
}

}  // namespace orvan::frames
