#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fits_bytes.h"
#include "standin/program.h"

// The program run as a user runs it, headless on the simulated observatory,
// fed frames that go wrong: bad files, a solver that hangs, a flood, a folder
// that goes.
namespace orvan::frames {
namespace {

namespace fs = std::filesystem;
using indi::standin::kExitLimit;
using indi::standin::kTickLimit;
using indi::standin::kTickLine;
using indi::standin::Program;
using testing::Card;
using testing::Fits;
using testing::TempFolder;

// A frame's line comes within a second of its news (the program takes the
// worker's news once a second), a folder found again within two; a margin
// for a loaded machine.
constexpr std::chrono::seconds kLineLimit{10};
// How often the test looks for the stand-in solver's mark.
constexpr std::chrono::milliseconds kLookEvery{20};
// Cycles that must come while a solve hangs.
constexpr std::size_t kCyclesWhileHung = 3;
// The service's own user: one that owns no frame.
const std::vector<std::string> kAsNobody = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                            "--clear-groups"};
// A flood beyond the program's queue of 64 frames.
constexpr int kFlood = 1000;
constexpr int kQueue = 64;

// Stands in for solve-field: marks that it runs (its process id, put in place
// whole), holds until released, then fails as a solver with no index for the
// field does; unreleased, it hangs, for as long as the test's folder is there.
constexpr char kSolverScript[] = R"(#!/bin/sh
echo $$ > "$ORVAN_STATE/solving.part" && mv "$ORVAN_STATE/solving.part" "$ORVAN_STATE/solving"
while [ -d "$ORVAN_STATE" ] && [ ! -e "$ORVAN_STATE/release" ]; do sleep 0.05; done
echo 'no index file covers this field'
exit 1
)";
const std::string kSolverFailure =
    "solve-field failed with exit status 1: no index file covers this field";
const std::string kBeforeStart = "ignored: taken before the start";

// Taken long before any run of the program: read, and set aside by the hold.
std::vector<std::string> Dated(std::vector<std::string> cards) {
  cards.insert(cards.begin(), {Card("DATE-OBS", "'2020-01-01T00:00:00'"), Card("EXPTIME", "30")});
  return cards;
}

std::vector<std::string> Tan(const std::string& projection) {
  return {Card("CTYPE1", "'RA---" + projection + "'"),
          Card("CTYPE2", "'DEC--" + projection + "'"),
          Card("CRVAL1", "150.0"),
          Card("CRVAL2", "20.0"),
          Card("CRPIX1", "10"),
          Card("CRPIX2", "5"),
          Card("CDELT1", "-0.001"),
          Card("CDELT2", "0.001"),
          Card("PLTSOLVD", "T")};
}

std::string Unsolved() {
  return Fits({20, 10}, Dated({}));
}
std::string Placed() {
  return Fits({20, 10}, Dated(Tan("TAN")));
}

std::string FrameLine(const std::string& path, const std::string& rest) {
  return "frame \"" + path + "\" " + rest;
}

class FrameFaults : public ::testing::Test {
 protected:
  FrameFaults()
      : frames_((root_.path() / "frames").string()),
        bin_((root_.path() / "bin").string()),
        solving_(root_.path() / "solving") {
    fs::create_directory(frames_);
    fs::create_directory(bin_);
    const fs::path solver = fs::path(bin_) / "solve-field";
    std::ofstream(solver) << kSolverScript;
    fs::permissions(solver, fs::perms::owner_all);
  }

  // The program on `frames_`, the stand-in first on its PATH (else the
  // machine's own solve-field), once it runs.
  // `as` comes first (a command that runs the rest as another user); a file
  // cut short is read, and fails, after `wait` seconds.
  std::unique_ptr<Program> Run(bool solve, bool stand_in = true,
                               const std::vector<std::string>& as = {},
                               const std::string& wait = "1") {
    const char* path = std::getenv("PATH");
    const std::string system_path = path != nullptr ? path : "";
    std::vector<std::string> args = as;
    args.insert(args.end(),
                {"/usr/bin/env", "PATH=" + (stand_in ? bin_ + ":" : "") + system_path,
                 "ORVAN_STATE=" + root_.path().string(), "ORVAN_MARK=" + Marked().string(),
                 ORVAN_PROGRAM, "--headless", "--threshold", "1", "--start", "--trace", "--frames",
                 frames_, "--frames-wait", wait});
    if (!solve) args.insert(args.end(), {"--solver", "none"});
    auto program = std::make_unique<Program>(args);
    // Any line: the watch started before the first.
    EXPECT_TRUE(program->WaitForOutput("", kTickLimit));
    return program;
  }

  // Written whole into the watched folder; its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = frames_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The stand-in solver once it runs; false if it did not within the limit.
  bool AwaitSolving() {
    const auto deadline = std::chrono::steady_clock::now() + kLineLimit;
    while (!fs::exists(solving_)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(kLookEvery);
    }
    std::ifstream(solving_) >> solver_pid_;
    return solver_pid_ > 0;
  }
  void Release() const { std::ofstream(root_.path() / "release").close(); }
  // Where a command smuggled in by a file's name would leave its mark.
  fs::path Marked() const { return root_.path() / "marked"; }

  std::string FolderLine(const std::string& text) const { return "frame folder: " + text; }
  std::string Gone() const {
    return FolderLine("frame folder " + frames_ + " is gone; watching for it again");
  }
  std::string Again() const { return FolderLine("watching frame folder " + frames_ + " again"); }

  TempFolder root_;
  const std::string frames_, bin_;
  const fs::path solving_;
  pid_t solver_pid_ = -1;
};

// The frame and folder lines of standard output, without their times.
std::vector<std::string> FrameLines(Program& program) {
  std::vector<std::string> lines;
  for (const std::string& line : program.Output()) {
    const std::string text = line.substr(line.find(' ') + 1);
    if (text.starts_with("frame ")) lines.push_back(text);
  }
  return lines;
}

std::size_t Ticks(Program& program) {
  std::size_t ticks = 0;
  for (const std::string& line : program.Errors())
    ticks += line.find(kTickLine) != std::string::npos ? 1 : 0;
  return ticks;
}

// Another cycle comes, and SIGTERM ends the program.
void ExpectCyclesGoOnAndEnd(Program& program) {
  EXPECT_TRUE(program.WaitForErrors(kTickLine, Ticks(program) + 1, kTickLimit));
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(kExitLimit), 0);
}

TEST_F(FrameFaults, EachBadFileFailsOnceByNameAndTheCyclesGoOn) {
  const std::unique_ptr<Program> program = Run(true);
  // A solve the test holds keeps the worker from the files below until all
  // are in place: the one removed is surely gone when it is read.
  const std::string held = Write("held.fits", Unsolved());
  ASSERT_TRUE(AwaitSolving());
  const struct {
    const char* name;
    std::string bytes;
    bool removed;
    const char* reason;
  } cases[] = {
      {"text.fits", "SIMPLE FITS it is not\n", false, "not a FITS file"},
      {"cut.fits", Placed().substr(0, 1000), false, "truncated header"},
      {"undated.fits", Fits({20, 10}, {Card("EXPTIME", "30")}), false,
       "no DATE-OBS, DATE-BEG, DATE-AVG or MJD-OBS"},
      {"projection.fits", Fits({20, 10}, Dated(Tan("XYZ"))), false,
       "WCS refused by wcslib: Unrecognized projection code (XYZ in CTYPE1)"},
      {"gone.fits", Placed(), true, "file went away while read"},
  };
  std::vector<std::string> expected = {FrameLine(held, "failed: " + kSolverFailure)};
  for (const auto& c : cases) {
    const std::string path = Write(c.name, c.bytes);
    if (c.removed) fs::remove(path);
    expected.push_back(FrameLine(path, std::string("failed: ") + c.reason));
  }
  Release();
  for (const std::string& line : expected) EXPECT_TRUE(program->WaitForOutput(line, kLineLimit));
  ExpectCyclesGoOnAndEnd(*program);
  const std::vector<std::string> lines = FrameLines(*program);
  EXPECT_EQ(lines.size(), expected.size());
  for (const std::string& line : expected)
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1);
}

// astrometry.net's solve-field builds shell command lines from its input's
// name: the real one is given frames whose names are commands, and runs none.
TEST_F(FrameFaults, NoFileNameReachesAShell) {
  constexpr std::chrono::seconds kSolveLimit{60};
  const std::unique_ptr<Program> program = Run(true, false);
  const struct {
    const char* name;
    const char* escaped;
  } names[] = {
      {"a`touch${IFS}$ORVAN_MARK`.fits", "a`touch${IFS}$ORVAN_MARK`.fits"},
      {"b$(touch${IFS}$ORVAN_MARK).fits", "b$(touch${IFS}$ORVAN_MARK).fits"},
      {"c; touch $ORVAN_MARK; .fits", "c; touch $ORVAN_MARK; .fits"},
      {"d | touch $ORVAN_MARK.fits", "d | touch $ORVAN_MARK.fits"},
      {"e'\"$(touch $ORVAN_MARK)\"'.fits", "e'\\\"$(touch $ORVAN_MARK)\\\"'.fits"},
      {"f\ntouch $ORVAN_MARK\n.fits", "f\\ntouch $ORVAN_MARK\\n.fits"},
      {"-g --help.fits", "-g --help.fits"},
  };
  std::vector<std::string> prefixes;
  for (const auto& n : names) {
    Write(n.name, Unsolved());
    prefixes.push_back("frame \"" + frames_ + "/" + n.escaped + "\" failed: ");
  }
  for (const std::string& prefix : prefixes) {
    EXPECT_TRUE(program->WaitForOutput(prefix, kSolveLimit)) << prefix;
  }
  ExpectCyclesGoOnAndEnd(*program);
  const std::vector<std::string> lines = FrameLines(*program);
  EXPECT_EQ(lines.size(), prefixes.size());
  for (const std::string& prefix : prefixes) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.starts_with(prefix); }),
              1)
        << prefix;
  }
  EXPECT_FALSE(fs::exists(Marked()));
}

// A header that crashes the readers and a FIFO each fail their own frame,
// and the program neither ends nor waits on them.
TEST_F(FrameFaults, AFileThatCrashesTheReadersOrBlocksFailsAlone) {
  const std::unique_ptr<Program> program = Run(false);
  std::string crash = Placed();
  const std::string ctype = Card("CTYPE1", "'RA---TAN'");
  crash.replace(crash.find(ctype), ctype.size(),
                std::string("CTYPE1  = 'RA---TAN").append(ctype.size() - 19, ' '));
  const std::string crashed = Write("crash.fits", crash);
  const fs::path fifo = root_.path() / "p.fits";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::rename(fifo, frames_ + "/p.fits");
  const std::string after = Write("after.fits", Placed());
  const std::vector<std::string> expected = {
      FrameLine(crashed, "failed: the header reader ended on signal 6 (Aborted)"),
      FrameLine(frames_ + "/p.fits", "failed: not a regular file: a named pipe"),
      FrameLine(after, kBeforeStart)};
  for (const std::string& line : expected) EXPECT_TRUE(program->WaitForOutput(line, kLineLimit));
  ExpectCyclesGoOnAndEnd(*program);
  std::vector<std::string> lines = FrameLines(*program);
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(lines, sorted);
}

TEST_F(FrameFaults, AHungSolveHoldsNeitherTheCyclesNorTheEnd) {
  const std::unique_ptr<Program> program = Run(true);
  Write("held.fits", Unsolved());
  ASSERT_TRUE(AwaitSolving());
  EXPECT_TRUE(program->WaitForErrors(kTickLine, Ticks(*program) + kCyclesWhileHung,
                                     kCyclesWhileHung * kTickLimit));
  EXPECT_EQ(kill(solver_pid_, 0), 0) << "the solve no longer hangs";
  EXPECT_EQ(FrameLines(*program), std::vector<std::string>{});
  // Well within the solver's own limit of a minute.
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(kExitLimit), 0);
  const bool found = kill(solver_pid_, 0) == 0 || errno != ESRCH;
  EXPECT_FALSE(found) << "the solver outlived the program";
}

TEST_F(FrameFaults, AFloodKeepsTheNewestFramesAndSaysHowManyWent) {
  const std::unique_ptr<Program> program = Run(true);
  const std::string held = Write("held.fits", Unsolved());
  ASSERT_TRUE(AwaitSolving());
  std::vector<std::string> flood;
  flood.reserve(kFlood);
  for (int i = 0; i < kFlood; ++i)
    flood.push_back(Write("flood-" + std::to_string(i) + ".fits", Placed()));
  // The folder moved away and back: it is watched again only after every
  // file before has been queued, and only then is the solve let go.
  const std::string away = root_.path() / "away";
  fs::rename(frames_, away);
  fs::rename(away, frames_);
  ASSERT_TRUE(program->WaitForOutput(Again(), kLineLimit));
  Release();
  std::vector<std::string> expected = {
      Gone(), Again(), FrameLine(held, "failed: " + kSolverFailure),
      "frame dropped: dropped " + std::to_string(kFlood - kQueue) +
          " older frames: the queue holds " + std::to_string(kQueue)};
  for (int i = kFlood - 1; i >= kFlood - kQueue; --i)
    expected.push_back(FrameLine(flood[i], kBeforeStart));
  EXPECT_TRUE(program->WaitForOutput(expected.back(), kLineLimit));
  ExpectCyclesGoOnAndEnd(*program);
  EXPECT_EQ(FrameLines(*program), expected);
}

TEST_F(FrameFaults, AFolderRemovedAndMadeAgainIsWatchedAgain) {
  const std::unique_ptr<Program> program = Run(false);
  fs::remove_all(frames_);
  ASSERT_TRUE(program->WaitForOutput(Gone(), kLineLimit));
  fs::create_directory(frames_);
  ASSERT_TRUE(program->WaitForOutput(Again(), kLineLimit));
  const std::string after = Write("after.fits", Placed());
  EXPECT_TRUE(program->WaitForOutput(FrameLine(after, kBeforeStart), kLineLimit));
  ExpectCyclesGoOnAndEnd(*program);
  EXPECT_EQ(FrameLines(*program),
            (std::vector<std::string>{Gone(), Again(), FrameLine(after, kBeforeStart)}));
}

// As the service runs: as a user of its own, which owns no frame, and so
// can't tell by a lease whether a file it finds is still being written. A
// file found half written, in a folder moved in, is read once, whole.
TEST_F(FrameFaults, AsAUserThatOwnsNoFrameAFileIsReadOnceWhole) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can run the program as another user";
  std::vector<std::string> can_run = kAsNobody;
  can_run.insert(can_run.end(), {"/usr/bin/test", "-x", ORVAN_PROGRAM});
  if (Program(can_run).Wait(kExitLimit) != 0) GTEST_SKIP() << "nobody may not run the program";
  constexpr fs::perms kOpen = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(root_.path(), kOpen);
  fs::permissions(frames_, kOpen);
  const std::unique_ptr<Program> program = Run(false, false, kAsNobody, "60");
  const fs::path night = root_.path() / "night";
  fs::create_directory(night);
  fs::permissions(night, kOpen);
  const std::string whole = Placed();  // a header block and a data block
  std::ofstream writing(night / "slow.fits", std::ios::binary);
  writing << whole.substr(0, whole.size() / 2) << std::flush;
  fs::rename(night, fs::path(frames_) / "night");
  const std::string slow = frames_ + "/night/slow.fits";
  const std::string other = Write("other.fits", Placed());
  ASSERT_TRUE(program->WaitForOutput(FrameLine(other, kBeforeStart), kLineLimit));
  writing << whole.substr(whole.size() / 2);
  writing.close();
  EXPECT_TRUE(program->WaitForOutput(FrameLine(slow, kBeforeStart), kLineLimit));
  ExpectCyclesGoOnAndEnd(*program);
  EXPECT_EQ(FrameLines(*program), (std::vector<std::string>{FrameLine(other, kBeforeStart),
                                                            FrameLine(slow, kBeforeStart)}));
}

}  // namespace
}  // namespace orvan::frames
