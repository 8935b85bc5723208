#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

// FITS files written out by hand, card by card, for the frame reader to read,
// and a folder of the test's own to put them in.
namespace orvan::frames::testing {

inline constexpr std::size_t kCard = 80;
inline constexpr std::size_t kBlock = 2880;

// One header card in the fixed format: the keyword in eight columns, "= ",
// a string (in its quotes) from column 11, any other value ending in column
// 30.
inline std::string Card(const std::string& key, const std::string& value) {
  char card[kCard + 1];
  const char* format = value.starts_with('\'') ? "%-8.8s= %-70.70s" : "%-8.8s= %20s";
  std::snprintf(card, sizeof card, format, key.c_str(), value.c_str());
  return std::string(card).append(kCard - std::strlen(card), ' ');
}

inline std::string Padded(std::string bytes, char fill) {
  bytes.append((kBlock - bytes.size() % kBlock) % kBlock, fill);
  return bytes;
}

// A header: `cards` after the mandatory ones, END, padded to its block.
inline std::string Header(const std::string& first, int bitpix, const std::vector<int>& axes,
                          const std::vector<std::string>& cards) {
  std::string text =
      first + Card("BITPIX", std::to_string(bitpix)) + Card("NAXIS", std::to_string(axes.size()));
  for (std::size_t i = 0; i < axes.size(); ++i) {
    text += Card("NAXIS" + std::to_string(i + 1), std::to_string(axes[i]));
  }
  for (const auto& card : cards) text += card;
  text += std::string("END").append(kCard - 3, ' ');
  return Padded(text, ' ');
}

inline std::string Data(const std::vector<int>& axes) {
  std::size_t pixels = axes.empty() ? 0 : 1;
  for (int n : axes) pixels *= static_cast<std::size_t>(n);
  return Padded(std::string(pixels, '\0'), '\0');
}

// An 8-bit image of `axes` (no axes: a header alone), all zero.
inline std::string Fits(const std::vector<int>& axes, const std::vector<std::string>& cards) {
  return Header(Card("SIMPLE", "T"), 8, axes, cards) + Data(axes);
}

// An empty primary array, then the image as an IMAGE extension.
inline std::string FitsInExtension(const std::vector<int>& axes,
                                   const std::vector<std::string>& cards) {
  std::vector<std::string> all = {Card("PCOUNT", "0"), Card("GCOUNT", "1")};
  all.insert(all.end(), cards.begin(), cards.end());
  return Fits({}, {Card("EXTEND", "T")}) + Header(Card("XTENSION", "'IMAGE   '"), 8, axes, all) +
         Data(axes);
}

class TempFolder {
 public:
  TempFolder() {
    if (dir_.path().empty()) ADD_FAILURE() << "cannot make a temporary folder";
  }

  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string file = (path_ / name).string();
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << file;
    return file;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  TempDir dir_;
  std::filesystem::path path_{dir_.path()};
};

inline std::string Contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace orvan::frames::testing
