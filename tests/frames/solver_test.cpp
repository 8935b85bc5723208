#include <gtest/gtest.h>

#include <fitsio.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fits_bytes.h"
#include "frames/frame_source.h"
#include "frames/solver.h"

namespace orvan::frames {
namespace {

namespace fs = std::filesystem;
using testing::Card;
using testing::Contents;
using testing::Fits;
using testing::TempFolder;

// Stands in for solve-field: writes the arguments it was given, one a line,
// to args.txt beside itself, then does what `act` says with $dir and $out,
// the folder and name it was told to write into.
std::string FakeSolver(const TempFolder& tools, const std::string& act) {
  const std::string here = tools.path().string();
  const std::string script =
      "#!/bin/sh\n"
      "printf '%s\\n' \"$@\" > '" +
      here +
      "/args.txt'\n"
      "while [ $# -gt 0 ]; do\n"
      "  case \"$1\" in --dir) dir=$2 ;; --out) out=$2 ;; esac\n"
      "  shift\n"
      "done\n" +
      act + "\n";
  std::string path = tools.Write("solve-field", script);
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

std::vector<std::string> LinesOf(const std::string& file) {
  std::istringstream in(Contents(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// The solution the fake hands back: a header alone whose reference pixel,
// (10.5, 5.5), is the middle of a 20 x 10 frame, at 150, 20 degrees.
const std::string kSolution = Fits(
    {}, {Card("CTYPE1", "'RA---TAN-SIP'"), Card("CTYPE2", "'DEC--TAN-SIP'"),
         Card("CRVAL1", "150.0"), Card("CRVAL2", "20.0"), Card("CRPIX1", "10.5"),
         Card("CRPIX2", "5.5"), Card("CD1_1", "-0.0005"), Card("CD1_2", "0"), Card("CD2_1", "0"),
         Card("CD2_2", "0.0005"), Card("A_ORDER", "2"), Card("B_ORDER", "2")});

struct SolverRun {
  const char* name;
  std::string act;  // "" for no program at all
  bool executable;
  const char* error;
  bool solved;
};

class Solver : public ::testing::Test {
 protected:
  Solver() {
    frame_ = frames_.Write("m31.fits", Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08T21:04:08'"),
                                                       Card("EXPTIME", "30")}));
    header_.width = 20;
    header_.height = 10;
    solution_ = tools_.Write("solution.wcs", kSolution);
  }

  Solved SolveWith(const std::string& program, std::chrono::milliseconds wall_limit,
                   double cpu_limit_s = 7) {
    const std::string before = Contents(frame_);
    const auto names = Names(frames_.path());
    SolverConfig config;
    config.program = program;
    config.cpu_limit_s = cpu_limit_s;
    config.wall_limit = wall_limit;
    SolveHint hint;
    hint.near = pointing::RaDec{10.0, 20.0};
    hint.radius_deg = 2;
    hint.scale_arcsec = 2.0;
    std::string error;
    const FrameFile file = FrameFile::Open(frame_, error);
    Solved solved = Solve(file, header_, hint, config);
    EXPECT_EQ(Contents(frame_), before);
    EXPECT_EQ(Names(frames_.path()), names);
    return solved;
  }

  TempFolder frames_, tools_;
  std::string frame_, solution_;
  FrameHeader header_;
};

TEST_F(Solver, SolvesInAFolderOfItsOwnAndTakesTheHintsAndLimits) {
  const Solved solved = SolveWith(
      FakeSolver(tools_, "cp '" + solution_ + "' \"$dir/$out.wcs\"; echo x > \"$dir/$out.axy\""),
      std::chrono::seconds(60));
  EXPECT_EQ(solved.error, "");
  ASSERT_TRUE(solved.sky);
  EXPECT_NEAR(solved.sky->center.ra, 10.0, 1e-12);
  EXPECT_NEAR(solved.sky->center.dec, 20.0, 1e-12);
  EXPECT_NEAR(solved.sky->scale_arcsec, 1.8, 1e-9);
  const auto args = LinesOf((tools_.path() / "args.txt").string());
  ASSERT_EQ(args.size(), 27U);
  const std::string& dir = args[1];
  EXPECT_EQ(args, (std::vector<std::string>{"--dir",
                                            dir,
                                            "--temp-dir",
                                            dir,
                                            "--out",
                                            "frame",
                                            "--no-plots",
                                            "--new-fits",
                                            "none",
                                            "--overwrite",
                                            "--tweak-order",
                                            "1",
                                            "--cpulimit",
                                            "7",
                                            "--ra",
                                            "150",
                                            "--dec",
                                            "20",
                                            "--radius",
                                            "2",
                                            "--scale-units",
                                            "arcsecperpix",
                                            "--scale-low",
                                            "1.8",
                                            "--scale-high",
                                            "2.2",
                                            dir + "/input.fits"}));
  EXPECT_NE(fs::path(dir).parent_path(), frames_.path());
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(Solver, FailuresSayWhy) {
  const std::vector<SolverRun> runs = {
      {"no solution", "echo 'did not solve'", true, "no solution", false},
      {"failed", "echo 'first'; echo 'index files missing' >&2; exit 2", true,
       "solve-field failed with exit status 2: index files missing", false},
      {"a solution it cannot read", "echo 'SIMPLE  = nonsense' > \"$dir/$out.wcs\"", true,
       "solution unreadable: not a FITS file: SIMPLE is not T", false},
      {"its CPU limit", "kill -XCPU $$", true, "passed its CPU limit of 7 s", false},
      {"a signal", "kill -TERM $$", true, "solve-field ended by signal 15 (Terminated)", false},
      {"not executable", "exit 0", false, "cannot start solve-field: Permission denied", false},
      {"missing", "", true, "cannot start solve-field: No such file or directory", false},
  };
  for (const SolverRun& run : runs) {
    SCOPED_TRACE(run.name);
    std::string program = (tools_.path() / "no-solve-field").string();
    if (!run.act.empty()) program = FakeSolver(tools_, run.act);
    if (!run.executable) fs::permissions(program, fs::perms::owner_read | fs::perms::owner_write);
    const Solved solved = SolveWith(program, std::chrono::seconds(60));
    EXPECT_EQ(solved.error, run.error);
    EXPECT_EQ(solved.sky.has_value(), run.solved);
  }
}

// solve-field keeps its own --cpulimit: it stops searching and ends well,
// with no solution. A helper it waited for spent the time, as
// astrometry-engine does.
TEST_F(Solver, OneThatStopsAtItsOwnCpuLimitSaysSo) {
  const std::string burn =
      "python3 -c 'import time\nwhile time.process_time() < 1.05: pass'; echo 'ran out of time'";
  EXPECT_EQ(SolveWith(FakeSolver(tools_, burn), std::chrono::seconds(60), 1).error,
            "passed its CPU limit of 1 s");
}

// The limit stated: the solver is killed at 0.3 s, well before the 30 s its
// sleep would take, and this waits 20 s at most for it.
TEST_F(Solver, OneThatRunsOnIsKilledAtItsLimit) {
  const Solved solved =
      SolveWith(FakeSolver(tools_, "sleep 30; cp '" + solution_ + "' \"$dir/$out.wcs\""),
                std::chrono::milliseconds(300));
  EXPECT_EQ(solved.error, "passed its time limit of 0.3 s");
  EXPECT_FALSE(solved.sky);
  EXPECT_GE(solved.seconds, 0.3);
  EXPECT_LT(solved.seconds, 20);
  const auto args = LinesOf((tools_.path() / "args.txt").string());
  ASSERT_FALSE(args.empty());
  EXPECT_FALSE(fs::exists(args[1]));
}

// A frame as fpack writes it (tile-compressed, in an extension) or gzip
// does: read through cfitsio, and given to solve-field as a plain copy.
TEST_F(Solver, CompressedFramesAreReadAndSolvedFromAPlainCopy) {
  const std::string plain = frames_.Write("plain.fits", Contents(frame_));
  const std::string fz = (frames_.path() / "tiled.fits.fz").string();
  {
    fitsfile* out = nullptr;
    int status = 0;
    fits_create_file(&out, fz.c_str(), &status);
    fits_set_compression_type(out, RICE_1, &status);
    std::array<long, 2> size = {20, 10};
    fits_create_img(out, SHORT_IMG, 2, size.data(), &status);
    fits_write_key_str(out, "DATE-OBS", "2026-12-08T21:04:08", "", &status);
    double exposure = 30;
    fits_write_key_dbl(out, "EXPTIME", exposure, -6, "", &status);
    std::vector<short> pixels(200, 7);
    fits_write_img(out, TSHORT, 1, static_cast<LONGLONG>(pixels.size()), pixels.data(), &status);
    fits_close_file(out, &status);
    ASSERT_EQ(status, 0);
  }
  ASSERT_EQ(std::system(("gzip -k '" + plain + "'").c_str()), 0);
  const std::string copy = (tools_.path() / "given.fits").string();
  const std::string program =
      FakeSolver(tools_, "cp \"$dir/input.fits\" '" + copy + "'; echo 'did not solve'");
  for (const std::string& path : {plain + ".gz", fz}) {
    SCOPED_TRACE(path);
    const FrameRead read = ReadFrame(path);
    ASSERT_TRUE(read.header) << read.error;
    EXPECT_EQ(read.header->width, 20);
    EXPECT_EQ(read.header->height, 10);
    EXPECT_FALSE(read.header->plain);
    FrameReading how;
    how.solver.emplace();
    how.solver->program = program;
    EXPECT_EQ(ProcessWith(path, {}, how, -1).text, "no solution");
    const FrameRead given = ReadFrame(copy);
    ASSERT_TRUE(given.header) << given.error;
    EXPECT_TRUE(given.header->plain);
    EXPECT_EQ(given.header->width, 20);
    EXPECT_EQ(given.header->mid_exposure, read.header->mid_exposure);
    fs::remove(copy);
  }
}

// The scale a frame is solved at: the user's, else its own header's, else
// the last solve's for frames of its size; a change of binning (another
// size) is never hinted with a scale that is not its own.
TEST(SolveScale, TheUsersThenTheHeadersThenTheLastSolveOfItsSize) {
  std::vector<LearnedScale> learned;
  Learn(learned, {1600, 1100, 3.0});
  Learn(learned, {800, 550, 6.1});
  Learn(learned, {1600, 1100, 3.05});  // the last solve of that size
  const struct {
    const char* name;
    std::optional<double> given, header;
    int width;
    std::optional<double> scale;
  } cases[] = {
      {"given", 2.0, 1.5, 1600, 2.0},
      {"the header's", std::nullopt, 1.5, 1600, 1.5},
      {"learned, full size", std::nullopt, std::nullopt, 1600, 3.05},
      {"learned, binned 2x2", std::nullopt, std::nullopt, 800, 6.1},
      {"binned 3x3: blind", std::nullopt, std::nullopt, 533, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FrameHeader header;
    header.width = c.width;
    header.height = c.width * 11 / 16;
    header.pixel_scale_arcsec = c.header;
    SolveHint hint;
    hint.scale_arcsec = c.given;
    hint.learned = learned;
    EXPECT_EQ(ScaleFor(header, hint), c.scale);
  }
  EXPECT_EQ(learned.size(), 2U);
}

}  // namespace
}  // namespace orvan::frames
