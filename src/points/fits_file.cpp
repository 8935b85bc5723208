#include "points/fits_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

#include "points/plate_header.h"

namespace orvan::points {

namespace {

constexpr std::array<std::string_view, 3> kFrameExtensions = {"fits", "fit", "fts"};
// Compressed as fpack (tile compression) or gzip write them; cfitsio reads
// both. A ".fz" alone is fpack's own name for a compressed FITS file.
constexpr std::array<std::string_view, 2> kCompressedEndings = {"fz", "gz"};

constexpr auto kBlock = static_cast<std::int64_t>(kBlockLength);
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

}  // namespace

bool IsFrameName(const std::string& name, bool compressed) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto ending = [&](std::string_view& rest) {
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string_view();
    const std::string_view extension = rest.substr(dot + 1);
    rest = rest.substr(0, dot);
    return extension;
  };
  const auto in = [](const auto& list, std::string_view extension) {
    return std::find(list.begin(), list.end(), extension) != list.end();
  };
  std::string_view rest = lower;
  std::string_view extension = ending(rest);
  if (extension == "fz") return compressed;
  if (in(kCompressedEndings, extension)) {
    if (!compressed) return false;
    extension = ending(rest);
  }
  return in(kFrameExtensions, extension);
}

std::optional<DeclaredSize> SizeDeclared(const ReadBlock& read, std::int64_t size) {
  std::array<char, kBlock> block{};
  std::int64_t at = 0;
  for (int n = 0; n < kMostUnits && at < size; ++n) {
    Unit unit;
    for (std::int64_t blocks = 0; !unit.ended; ++blocks) {
      if (blocks == kMostHeaderBlocks) return std::nullopt;
      // A header's first bytes tell FITS, however few are there: what does
      // not start as one is not waited for.
      const std::string_view lead = n == 0 ? "SIMPLE  = " : "XTENSION= ";
      const auto there = static_cast<std::size_t>(std::min(size - at, kBlock));
      if (!read(at, block.data(), there)) return std::nullopt;
      const std::string_view text(block.data(), there);
      if (blocks == 0 && !lead.starts_with(text.substr(0, lead.size()))) return std::nullopt;
      if (at + kBlock > size) return DeclaredSize{at + kBlock, false};
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

std::string FramesDroppedText(std::size_t dropped, std::size_t limit) {
  return "dropped " + std::to_string(dropped) + " older frame" + (dropped == 1 ? "" : "s") +
         ": the queue holds " + std::to_string(limit);
}

std::string FolderGoneText(const std::string& dir) {
  return "frame folder " + dir + " is gone; watching for it again";
}

std::string FolderBackText(const std::string& dir) {
  return "watching frame folder " + dir + " again";
}

}  // namespace orvan::points
