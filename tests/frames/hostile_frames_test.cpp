#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fits_bytes.h"
#include "frames/frame_reader.h"
#include "frames/frame_source.h"

// Files anyone who can write to the frame folder may leave there: each may
// fail its own frame, and nothing else.
#if defined(__SANITIZE_ADDRESS__)
// The reader's memory limit is met by a malloc that fails, as in a build
// without the sanitizer, rather than by the sanitizer's report of it.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace orvan::frames {
namespace {

namespace fs = std::filesystem;
using testing::Card;
using testing::Fits;
using testing::TempFolder;

const std::vector<std::string> kDated = {Card("DATE-OBS", "'2026-12-08T21:04:08'"),
                                         Card("EXPTIME", "30")};

std::vector<std::string> With(std::vector<std::string> cards) {
  cards.insert(cards.begin(), kDated.begin(), kDated.end());
  return cards;
}

// A card written as it stands, padded to its 80 columns.
std::string Raw(std::string card) {
  return card.append(testing::kCard - card.size(), ' ');
}

const std::vector<std::string> kTan = {Card("CTYPE1", "'RA---TAN'"), Card("CTYPE2", "'DEC--TAN'"),
                                       Card("CRVAL1", "150.0"),      Card("CRVAL2", "20.0"),
                                       Card("CRPIX1", "10.5"),       Card("CRPIX2", "5.5"),
                                       Card("CDELT1", "-0.001"),     Card("CDELT2", "0.001")};

// A header of `axes` axes of one pixel each.
std::string ManyAxes(int axes) {
  std::vector<std::string> cards;
  for (int i = 3; i <= axes; ++i) cards.push_back(Card("NAXIS" + std::to_string(i), "1"));
  cards.insert(cards.end(), kDated.begin(), kDated.end());
  std::string fits = Fits({1, 1}, cards);
  const std::string naxis = Card("NAXIS", "2");
  fits.replace(fits.find(naxis), testing::kCard, Card("NAXIS", std::to_string(axes)));
  return fits;
}

FrameEvent Process(const std::string& path, const ReaderLimits& limits = {}) {
  FrameReading how;
  how.reader = limits;
  return ProcessWith(path, {}, how, -1);
}

struct Hostile {
  const char* name;
  std::string bytes;
  std::string text;  // the frame's failure
};

TEST(HostileFrames, EachFailsItsOwnFrameNamingTheCause) {
  const std::string abort = "the header reader ended on signal 6 (Aborted)";
  const std::string segv = "the header reader ended on signal 11 (Segmentation fault)";
  const std::vector<Hostile> cases = {
      {"an unterminated CTYPE1",
       Fits({20, 10}, With({Raw("CTYPE1  = 'RA---TAN"), kTan[1], kTan[2], kTan[3], kTan[4], kTan[5],
                            kTan[6], kTan[7]})),
       abort},
      {"an unterminated DATE-OBS",
       Fits({20, 10}, {Raw("DATE-OBS= '2026-12-08T21:04:08"), Card("EXPTIME", "30"), kTan[0],
                       kTan[1], kTan[2], kTan[3], kTan[4], kTan[5], kTan[6], kTan[7]}),
       abort},
      {"104 axes", ManyAxes(104), segv},
      {"a WCS with no scale",
       Fits({20, 10}, With({kTan[0], kTan[1], kTan[2], kTan[3], kTan[4], kTan[5]})),
       "its WCS gives no scale: no CDELT or CD cards, and solving is off"},
      {"a NaN CRVAL",
       Fits({20, 10}, With({kTan[0], kTan[1], Card("CRVAL1", "NaN"), kTan[3], kTan[4], kTan[5],
                            kTan[6], kTan[7]})),
       "bad WCS card CRVAL1: \"NaN\" is not a finite number"},
      {"SIMPLE = F", Card("SIMPLE", "F") + Fits({20, 10}, With({})).substr(testing::kCard),
       "not a FITS file: SIMPLE is not T"},
      {"2880 bytes of nothing", std::string(testing::kBlock, '\0'), "not a FITS file"},
  };
  const TempFolder folder;
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    const FrameEvent event = Process(folder.Write("frame.fits", c.bytes));
    EXPECT_EQ(event.kind, FrameEvent::Kind::Failed);
    EXPECT_FALSE(event.sky);
    EXPECT_EQ(event.text, c.text);
  }
}

// Opened without blocking, never read: a FIFO's open would wait for a writer
// for ever, and hold every frame after it.
TEST(HostileFrames, WhatIsNotARegularFileIsSkippedWithoutBlocking) {
  const TempFolder folder;
  const fs::path fifo = folder.path() / "p.fits";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, folder.path() / "link.fits");
  fs::create_directory(folder.path() / "dir.fits");
  const fs::path socket_path = folder.path() / "s.fits";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const struct {
    fs::path path;
    const char* text;
  } cases[] = {
      {fifo, "not a regular file: a named pipe"},
      {folder.path() / "link.fits", "not a regular file: a named pipe"},
      {socket_path, "not a regular file: a socket"},
      {folder.path() / "dir.fits", "not a regular file: a folder"},
      {"/dev/zero", "not a regular file: a device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Process(c.path).text, c.text);
  }
  ::close(listener);
}

struct Reader {
  const char* name;
  std::function<FrameRead()> read;
  const char* error;
  // Long enough for a second of CPU on a loaded machine, but for the case
  // that waits out the limit.
  std::chrono::milliseconds wall{60000};
};

// The child's limits and its answer, each checked: a reader that runs away
// or answers nonsense costs its frame alone.
TEST(HostileFrames, TheReaderIsHeldToItsLimitsAndItsAnswerChecked) {
  ReaderLimits limits;
  limits.cpu_s = 1;
  limits.memory_bytes = std::size_t{64} << 20U;
  const auto header = [](auto change) {
    return [change] {
      FrameRead read{FrameHeader{}, {}};
      read.header->width = 20;
      read.header->height = 10;
      change(*read.header);
      return read;
    };
  };
  const std::vector<Reader> cases = {
      {"well", header([](FrameHeader&) {}), ""},
      // As cfitsio allocates: malloc, whose null it takes as an error.
      {"memory",
       [] {
         void* big = std::malloc(std::size_t{1} << 30U);
         if (big == nullptr) throw std::bad_alloc();
         std::free(big);
         return FrameRead{};
       },
       "the header reader ran out of its memory"},
      {"CPU",
       [] {
         static std::atomic<bool> never{false};
         while (!never.load()) {
         }
         return FrameRead{};
       },
       "the header reader passed its CPU limit of 1 s"},
      {"time",
       [] {
         ::pause();
         return FrameRead{};
       },
       "the header reader passed its time limit of 0.3 s", std::chrono::milliseconds(300)},
      {"no answer", []() -> FrameRead { ::_exit(0); },
       "the header reader gave an incomplete answer"},
      {"a width of 0", header([](FrameHeader& h) { h.width = 0; }),
       "the header reader gave numbers out of range"},
      {"RA 24 h", header([](FrameHeader& h) {
         h.sky = FrameSky{{24, 0}, 1, 1};
       }),
       "the header reader gave numbers out of range"},
      {"an infinite middle", header([](FrameHeader& h) { h.mid_exposure = 1.0 / 0.0; }),
       "the header reader gave numbers out of range"},
      {"a scale of NaN", header([](FrameHeader& h) { h.pixel_scale_arcsec = std::nan(""); }),
       "the header reader gave numbers out of range"},
  };
  for (const Reader& c : cases) {
    SCOPED_TRACE(c.name);
    limits.wall = c.wall;
    const FrameRead read = ReadInChild(c.read, limits, -1);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(read.header.has_value(), *c.error == '\0');
  }
}

// A stop ends a read in hand at once, whatever the reader's own limits.
TEST(HostileFrames, AStopEndsTheReaderAtOnce) {
  int stop[2];
  ASSERT_EQ(::pipe(stop), 0);
  ASSERT_EQ(::write(stop[1], "x", 1), 1);
  const FrameRead read = ReadInChild(
      [] {
        ::pause();
        return FrameRead{};
      },
      ReaderLimits{}, stop[0]);
  EXPECT_EQ(read.error, "stopped, as the frames are no longer watched");
  ::close(stop[0]);
  ::close(stop[1]);
}

// A header a capture program and a solver might write, then mutated a few
// bytes at a time from a fixed seed: whatever the readers make of each, the
// frame is read or fails with a cause, and the program goes on.
TEST(HostileFrames, MutatedHeadersNeverTakeTheProgramDown) {
  constexpr int kCases = 3000;
  constexpr unsigned kSeed = 20261210;
  const std::string good =
      Fits({20, 10}, With({kTan[0], kTan[1], kTan[2], kTan[3], kTan[4], kTan[5], kTan[6], kTan[7],
                           Card("RADESYS", "'ICRS'"), Card("A_ORDER", "2"), Card("XPIXSZ", "3.76"),
                           Card("FOCALLEN", "1000.0"), Card("PLTSOLVD", "T")}));
  const std::string header_end = "END" + std::string(testing::kCard - 3, ' ');
  const std::size_t header_size = good.find(header_end) + testing::kCard;
  // Bytes that matter to a FITS parser more than most.
  std::string telling = "' =/.-+0123456789EDNTF\xff\n";
  telling += '\0';
  std::mt19937 random(kSeed);
  const TempFolder folder;
  const std::string path = (folder.path() / "mutant.fits").string();
  int read = 0;
  int failed = 0;
  for (int i = 0; i < kCases; ++i) {
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < changes; ++k) {
      const std::size_t at = random() % header_size;
      bytes[at] = random() % 2 == 0 ? telling[random() % telling.size()]
                                    : static_cast<char>(random() % 256);
    }
    if (random() % 16 == 0) bytes.resize(random() % bytes.size());
    folder.Write("mutant.fits", bytes);
    const FrameEvent event = Process(path);
    if (event.kind == FrameEvent::Kind::Failed) {
      ++failed;
      ASSERT_FALSE(event.text.empty()) << "case " << i;
    } else {
      ++read;
    }
  }
  // Both outcomes are common: the mutations reach the readers, and what
  // they leave readable is read.
  EXPECT_GT(read, kCases / 10);
  EXPECT_GT(failed, kCases / 10);
}

}  // namespace
}  // namespace orvan::frames
