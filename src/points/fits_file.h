#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What a FITS file is by its name and by the sizes its headers declare,
// whoever reads its bytes (a POSIX descriptor, a Windows handle).
namespace orvan::points {

// True for a name ending .fits, .fit or .fts in any letter case, or, where
// `compressed` is taken, one of those compressed: .fz (fpack's, alone too)
// or .gz.
bool IsFrameName(const std::string& name, bool compressed = true);

// A FITS file's size by its headers, as far as the bytes there go.
struct DeclaredSize {
  // What the headers read so far declare the file to hold at least: every
  // header and data unit rounded up to whole 2880-byte blocks; where the
  // file ends inside a header, up to that header's next block.
  std::int64_t bytes = 0;
  // Every unit there was read: `bytes` is the whole file's size. False for
  // a file that stops short (`bytes` is then more than it holds).
  bool complete = false;
};

// Reads `count` bytes (at most 2880) at `at` into `to`; false where it
// cannot.
using ReadBlock = std::function<bool(std::int64_t at, char* to, std::size_t count)>;

// The size the headers of a file `size` bytes long declare; nullopt where
// it does not read as FITS (not SIMPLE or XTENSION first, however short, a
// size card missing or out of range, a header that never ends): the frame
// reader says why.
std::optional<DeclaredSize> SizeDeclared(const ReadBlock& read, std::int64_t size);

// How a folder of frames is watched, in every build.
struct FolderWatchConfig {
  std::string dir;
  // Frames waiting to be processed; beyond it the oldest are let go, counted.
  std::size_t queue_limit = 64;
  // How often a folder that went, or can't be read, is looked for again.
  std::chrono::milliseconds rewatch_every{2000};
  // How long a stop waits for the watch's threads: one stuck in a call that
  // does not return (a network folder that hangs) is left behind.
  std::chrono::milliseconds stop_limit{3000};
  // A file is read once it holds what its headers declare and has not
  // changed for `settle` (and, on Windows, no writer has it open); one still
  // short after `whole_limit` is read as it is, for the reader to say what
  // is wrong with it (one still open is said as such).
  std::chrono::milliseconds settle{1000};
  std::chrono::milliseconds whole_limit{60000};
};

// A folder of frames: its notes, as every build words them.
inline constexpr std::string_view kFramesMissedText =
    "missed frames: too many folder events at once";
std::string FramesDroppedText(std::size_t dropped, std::size_t limit);
std::string FolderGoneText(const std::string& dir);
std::string FolderBackText(const std::string& dir);

}  // namespace orvan::points
