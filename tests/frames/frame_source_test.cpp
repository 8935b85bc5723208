#include "frames/frame_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fits_bytes.h"
#include "testing/temp_dir.h"

namespace orvan::frames {
namespace {

namespace fs = std::filesystem;
using Kind = FrameEvent::Kind;

// The longest any test waits for something the source does.
constexpr std::chrono::seconds kLimit{10};
constexpr std::chrono::milliseconds kLookAgain{2};
constexpr std::chrono::milliseconds kQuickRewatch{20};
// A header alone: a FITS file whole by its own declaration.
const std::string kFrameBytes = testing::Fits({}, {});
// Short, so that the tests' files, just written, wait briefly.
constexpr std::chrono::milliseconds kQuickSettle{50};

// Polls `done` until it holds or kLimit has passed.
bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kLookAgain);
  }
  return true;
}

void Write(const fs::path& path) {
  std::ofstream(path) << kFrameBytes;
}

// Stands for the program's processing: records each call and, while held,
// keeps the worker in it.
class Recorder {
 public:
  ProcessFrame Process() {
    return [this](const std::string& path, const SolveHint& hint, int) {
      std::unique_lock lock(mutex_);
      paths_.push_back(path);
      hints_.push_back(hint);
      changed_.notify_all();
      changed_.wait_for(lock, kLimit, [this] { return !held_; });
      FrameEvent event;
      event.kind = Kind::Solved;
      event.file = path;
      return event;
    };
  }
  void Hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      const std::lock_guard lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }
  bool WaitForCalls(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kLimit, [&] { return paths_.size() >= count; });
  }
  std::vector<std::string> Paths() {
    const std::lock_guard lock(mutex_);
    return paths_;
  }
  void Forget() {
    const std::lock_guard lock(mutex_);
    paths_.clear();
    hints_.clear();
  }
  std::vector<SolveHint> Hints() {
    const std::lock_guard lock(mutex_);
    return hints_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> paths_;
  std::vector<SolveHint> hints_;
  bool held_ = false;
};

class FrameSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.path().empty()) << "mkdtemp";
    dir_ = base_ / "frames";
  }
  void TearDown() override {
    recorder_.Release();
    source_.reset();
    std::error_code ignored;  // the folder may be gone already
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
  }

  void StartSource(std::chrono::milliseconds rewatch_every = kQuickRewatch) {
    SourceConfig config;
    config.dir = dir_.string();
    config.rewatch_every = rewatch_every;
    config.settle = kQuickSettle;
    source_ = std::make_unique<FrameSource>(config, recorder_.Process());
    std::string error;
    ASSERT_TRUE(source_->Start(error)) << error;
  }

  // Writes a last file and waits until it and everything seen before it
  // are processed; the processed paths, relative to the folder, sorted.
  std::vector<std::string> SettleOn(const std::string& last) {
    Write(dir_ / last);
    const bool settled = Eventually([&] {
      const std::vector<std::string> paths = recorder_.Paths();
      return std::count(paths.begin(), paths.end(), (dir_ / last).string()) > 0 &&
             paths.size() == source_->Seen();
    });
    EXPECT_TRUE(settled) << "not settled on " << last;
    std::vector<std::string> relative;
    for (const std::string& path : recorder_.Paths()) {
      relative.push_back(fs::path(path).lexically_relative(dir_).string());
    }
    std::sort(relative.begin(), relative.end());
    return relative;
  }

  // Waits until the Folder events said so far are `texts`.
  bool WaitForFolderTexts(const std::vector<std::string>& texts) {
    return Eventually([&] {
      for (FrameEvent& event : source_->Take()) events_.push_back(std::move(event));
      std::vector<std::string> said;
      for (const FrameEvent& event : events_) {
        if (event.kind == Kind::Folder) said.push_back(event.text);
      }
      return said == texts;
    });
  }

  TempDir temp_;
  fs::path base_{temp_.path()};
  fs::path dir_;
  Recorder recorder_;
  std::unique_ptr<FrameSource> source_;
  std::vector<FrameEvent> events_;
};

struct TakeCase {
  const char* name;
  std::function<void(const fs::path& base, const fs::path& dir)> act;
  std::vector<std::string> taken;  // sorted, with the last file "zz.fits"
};

TEST_F(FrameSourceTest, TakesEachFileWrittenWholeOnce) {
  const std::vector<TakeCase> cases = {
      {"closed after writing",
       [](const fs::path&, const fs::path& dir) { Write(dir / "a.fits"); },
       {"a.fits", "zz.fits"}},
      {"moved in from outside",
       [](const fs::path& base, const fs::path& dir) {
         Write(base / "out.fits");
         fs::rename(base / "out.fits", dir / "in.fits");
       },
       {"in.fits", "zz.fits"}},
      {"renamed within",
       [](const fs::path&, const fs::path& dir) {
         Write(dir / "b.tmp");
         fs::rename(dir / "b.tmp", dir / "b.fits");
       },
       {"b.fits", "zz.fits"}},
      {"only FITS names, in any case",
       [](const fs::path&, const fs::path& dir) {
         for (const char* name : {"n.txt", "n.fits.part", "n.fitsx", "fits", ".fits", "n.fit~",
                                  "n.txt.gz", "n.gz", ".fz", "N.FITS", "m.Fit", "l.fts", "k.FTS",
                                  "j.fIt", "i.fits.fz", "h.FZ", "g.fit.gz", "f.fits.GZ"}) {
           Write(dir / name);
         }
       },
       {"N.FITS", "f.fits.GZ", "g.fit.gz", "h.FZ", "i.fits.fz", "j.fIt", "k.FTS", "l.fts", "m.Fit",
        "zz.fits"}},
      {"in folders made after the start, at any depth",
       [](const fs::path&, const fs::path& dir) {
         fs::create_directory(dir / "night");
         fs::create_directory(dir / "night" / "m31");
         Write(dir / "night" / "m31" / "c.fits");
         fs::create_directories(dir / "a" / "b" / "c");
         Write(dir / "a" / "b" / "c" / "d.fits");
         Write(dir / "a" / "e.fts");
       },
       {"a/b/c/d.fits", "a/e.fts", "night/m31/c.fits", "zz.fits"}},
      {"in a folder moved in, filled",
       [](const fs::path& base, const fs::path& dir) {
         fs::create_directories(base / "made" / "inner");
         Write(base / "made" / "inner" / "f.fits");
         fs::rename(base / "made", dir / "made");
       },
       {"made/inner/f.fits", "zz.fits"}},
  };
  for (const TakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directory(dir_);
    StartSource();
    c.act(base_, dir_);
    EXPECT_EQ(SettleOn("zz.fits"), c.taken);
    source_.reset();
    recorder_.Forget();
    fs::remove_all(base_);
    fs::create_directory(base_);
  }
}

TEST_F(FrameSourceTest, FileOpenForWritingWaitsForItsClose) {
  fs::create_directory(dir_);
  StartSource();
  std::ofstream open(dir_ / "open.fits");
  open << kFrameBytes << std::flush;
  // In a folder moved in, where the folder's first look finds it open.
  fs::create_directory(base_ / "new");
  std::ofstream open_inside(base_ / "new" / "open.fits");
  open_inside << kFrameBytes << std::flush;
  fs::rename(base_ / "new", dir_ / "new");
  EXPECT_EQ(SettleOn("other.fits"), std::vector<std::string>{"other.fits"});
  open.close();
  open_inside.close();
  EXPECT_EQ(SettleOn("zz.fits"),
            (std::vector<std::string>{"new/open.fits", "open.fits", "other.fits", "zz.fits"}));
}

// A writer that closes the file short of what its header declares (and
// writes the rest later, as a copy over a share may) leaves it waiting, while
// the frames after it are taken; it is taken once, whole.
TEST_F(FrameSourceTest, AFileClosedShortOfItsHeaderWaitsUntilWhole) {
  fs::create_directory(dir_);
  StartSource();
  const std::string whole = testing::Fits({100, 50}, {});  // 2880 + 2 x 2880
  ASSERT_EQ(whole.size(), 8640u);
  constexpr std::size_t kFirstPart = 4000;
  std::ofstream(dir_ / "slow.fits", std::ios::binary) << whole.substr(0, kFirstPart);
  Write(dir_ / "other.fits");
  ASSERT_TRUE(Eventually([&] { return !recorder_.Paths().empty(); }));
  EXPECT_EQ(recorder_.Paths(), std::vector<std::string>{(dir_ / "other.fits").string()});
  std::ofstream(dir_ / "slow.fits", std::ios::binary | std::ios::app) << whole.substr(kFirstPart);
  EXPECT_EQ(SettleOn("zz.fits"), (std::vector<std::string>{"other.fits", "slow.fits", "zz.fits"}));
}

TEST_F(FrameSourceTest, FolderMovedWithinOrAwayKeepsTakenFilesTakenOnce) {
  fs::create_directory(dir_);
  StartSource();
  fs::create_directory(dir_ / "a");
  Write(dir_ / "a" / "x.fits");
  EXPECT_EQ(SettleOn("s1.fits"), (std::vector<std::string>{"a/x.fits", "s1.fits"}));
  fs::rename(dir_ / "a", dir_ / "b");
  Write(dir_ / "b" / "g.fits");
  EXPECT_EQ(SettleOn("s2.fits"),
            (std::vector<std::string>{"a/x.fits", "b/g.fits", "s1.fits", "s2.fits"}));
  fs::rename(dir_ / "b", base_ / "away");
  Write(base_ / "away" / "h.fits");
  EXPECT_EQ(SettleOn("s3.fits"),
            (std::vector<std::string>{"a/x.fits", "b/g.fits", "s1.fits", "s2.fits", "s3.fits"}));
}

TEST_F(FrameSourceTest, FilesThereAtTheStartAreLeft) {
  fs::create_directories(dir_ / "old");
  Write(dir_ / "a.fits");
  Write(dir_ / "old" / "b.fits");
  StartSource();
  EXPECT_EQ(SettleOn("new.fits"), std::vector<std::string>{"new.fits"});
}

// Every name under `top` with its type, permissions, size and change time.
std::map<std::string, std::string> Listing(const fs::path& top) {
  std::map<std::string, std::string> listing;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    struct stat status {};
    EXPECT_EQ(lstat(entry.path().c_str(), &status), 0) << entry.path();
    listing[entry.path().string()] =
        std::to_string(status.st_mode) + " " + std::to_string(status.st_size) + " " +
        std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) + " " +
        std::to_string(status.st_ctim.tv_sec) + "." + std::to_string(status.st_ctim.tv_nsec);
  }
  return listing;
}

TEST_F(FrameSourceTest, ChangesNothingInTheFolder) {
  fs::create_directories(dir_ / "old");
  Write(dir_ / "old" / "a.fits");
  SourceConfig config;
  config.dir = dir_.string();
  config.settle = kQuickSettle;
  std::vector<std::string> processed;
  std::mutex processed_mutex;
  source_ = std::make_unique<FrameSource>(
      config, [&](const std::string& path, const SolveHint& hint, int stop_fd) {
        FrameEvent event = ProcessWith(path, hint, FrameReading{}, stop_fd);
        const std::lock_guard lock(processed_mutex);
        processed.push_back(path);
        return event;
      });
  std::string error;
  ASSERT_TRUE(source_->Start(error)) << error;
  fs::create_directories(dir_ / "new" / "deep");
  Write(dir_ / "new" / "deep" / "b.fits");
  Write(dir_ / "c.fits");
  Write(dir_ / "d.fits");
  const auto before = Listing(dir_);
  ASSERT_TRUE(Eventually([&] {
    const std::lock_guard lock(processed_mutex);
    return processed.size() == 3 && source_->Seen() == 3;
  }));
  source_.reset();
  EXPECT_EQ(Listing(dir_), before);
}

TEST_F(FrameSourceTest, EachFrameGetsTheHintLastSet) {
  fs::create_directory(dir_);
  StartSource();
  SolveHint near_m31;
  near_m31.near = pointing::RaDec{0.712, 41.27};
  near_m31.scale_arcsec = 1.5;
  source_->SetHint(near_m31);
  SettleOn("a.fits");
  SolveHint wide;
  wide.radius_deg = 10;
  source_->SetHint(wide);
  SettleOn("b.fits");
  const std::vector<SolveHint> hints = recorder_.Hints();
  ASSERT_EQ(hints.size(), 2U);
  ASSERT_TRUE(hints[0].near.has_value());
  EXPECT_EQ(hints[0].near->ra, 0.712);
  EXPECT_EQ(hints[0].near->dec, 41.27);
  EXPECT_EQ(hints[0].scale_arcsec, 1.5);
  EXPECT_FALSE(hints[1].near.has_value());
  EXPECT_EQ(hints[1].radius_deg, 10);
  EXPECT_FALSE(hints[1].scale_arcsec.has_value());
}

TEST_F(FrameSourceTest, FolderMissingGoneAndBack) {
  const std::string dir = dir_.string();
  const std::vector<std::string> said = {
      "cannot watch frame folder " + dir + ": No such file or directory",
      "watching frame folder " + dir + " again",
      "frame folder " + dir + " is gone; watching for it again",
      "watching frame folder " + dir + " again",
  };
  StartSource();  // the folder is not there yet
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 1}));
  fs::create_directory(dir_);
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 2}));
  EXPECT_EQ(SettleOn("a.fits"), std::vector<std::string>{"a.fits"});
  fs::remove_all(dir_);
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 3}));
  // It comes back whole, with a file in it that is not new.
  fs::create_directory(base_ / "back");
  Write(base_ / "back" / "there-on-return.fits");
  fs::rename(base_ / "back", dir_);
  ASSERT_TRUE(WaitForFolderTexts(said));
  EXPECT_EQ(SettleOn("b.fits"), (std::vector<std::string>{"a.fits", "b.fits"}));
}

// The frame folder, then a folder moved into it, unreadable until their
// permissions are mended.
TEST_F(FrameSourceTest, UnreadableFoldersAreSaidAndLookedForAgain) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads a folder whatever its permissions";
  fs::create_directory(dir_);
  fs::permissions(dir_, fs::perms::none);
  StartSource();
  const std::string night = (dir_ / "night").string();
  const std::vector<std::string> said = {
      "cannot watch frame folder " + dir_.string() + ": Permission denied",
      "watching frame folder " + dir_.string() + " again",
      "cannot watch folder " + night + ": Permission denied",
      "watching folder " + night,
  };
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 1}));
  fs::permissions(dir_, fs::perms::owner_all);
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 2}));
  EXPECT_EQ(SettleOn("a.fits"), std::vector<std::string>{"a.fits"});
  fs::create_directory(base_ / "night");
  // Not to be read; moved to another folder, it must be written.
  fs::permissions(base_ / "night", fs::perms::owner_write | fs::perms::owner_exec);
  fs::rename(base_ / "night", night);
  ASSERT_TRUE(WaitForFolderTexts({said.begin(), said.begin() + 3}));
  fs::permissions(night, fs::perms::owner_all);
  ASSERT_TRUE(WaitForFolderTexts(said));
  EXPECT_EQ(SettleOn("night/b.fits"), (std::vector<std::string>{"a.fits", "night/b.fits"}));
}

TEST_F(FrameSourceTest, FloodKeepsTheNewestAndSaysTheDroppedOnce) {
  constexpr int kFlood = 1000;
  constexpr int kQueue = 64;
  fs::create_directory(dir_);
  StartSource();
  recorder_.Hold();
  Write(dir_ / "first.fits");
  ASSERT_TRUE(recorder_.WaitForCalls(1));
  std::vector<std::string> names;
  for (int i = 0; i < kFlood; ++i) {
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "f%04d.fits", i);
    names.emplace_back(name.data());
    Write(dir_ / names.back());
  }
  ASSERT_TRUE(Eventually([&] { return source_->Seen() == kFlood + 1; }));
  recorder_.Release();
  ASSERT_TRUE(Eventually([&] {
    for (FrameEvent& event : source_->Take()) events_.push_back(std::move(event));
    return events_.size() >= kQueue + 2;
  }));
  std::vector<std::string> expected = {"Solved " + (dir_ / "first.fits").string(),
                                       "Dropped dropped 936 older frames: the queue holds 64"};
  for (int i = kFlood - 1; i >= kFlood - kQueue; --i) {
    expected.push_back("Solved " + (dir_ / names[i]).string());
  }
  std::vector<std::string> got;
  for (const FrameEvent& event : events_) {
    got.push_back(event.kind == Kind::Dropped  ? "Dropped " + event.text
                  : event.kind == Kind::Solved ? "Solved " + event.file
                                               : "other " + event.text);
  }
  EXPECT_EQ(got, expected);
}

TEST_F(FrameSourceTest, StopsPromptlyWhileIdle) {
  StartSource(std::chrono::minutes(10));  // the folder is missing: a long wait to look again
  auto stopped = std::async(std::launch::async, [&] { source_.reset(); });
  EXPECT_EQ(stopped.wait_for(kLimit), std::future_status::ready);
}

// A worker stuck in a call that never returns (a folder on a network share
// that hangs) is left behind at the stop's limit, and said.
TEST_F(FrameSourceTest, AStopLeavesAStuckWorkerBehindAtItsLimit) {
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
  };
  // The stuck call holds only what it shares: it may end after the test.
  const auto gate = std::make_shared<Gate>();
  ASSERT_TRUE(fs::create_directory(dir_));
  SourceConfig config;
  config.dir = dir_.string();
  config.stop_limit = std::chrono::milliseconds(100);
  config.settle = kQuickSettle;
  FrameSource source(config, [gate](const std::string&, const SolveHint&, int) {
    std::unique_lock lock(gate->mutex);
    gate->entered = true;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open; });
    return FrameEvent{};
  });
  std::string error;
  ASSERT_TRUE(source.Start(error)) << error;
  Write(dir_ / "stuck.fits");
  {
    std::unique_lock lock(gate->mutex);
    ASSERT_TRUE(gate->changed.wait_for(lock, kLimit, [&] { return gate->entered; }));
  }
  EXPECT_EQ(source.Stop(),
            "the frame reader did not end within 0.1 s of the stop, and is left behind");
  EXPECT_EQ(source.Stop(), "");
  const std::lock_guard lock(gate->mutex);
  gate->open = true;
  gate->changed.notify_all();
}

TEST(StartRefuses, WhatWaitingCannotMend) {
  const struct {
    const char* dir;
    std::size_t queue_limit;
    const char* error;
  } cases[] = {
      {"", 64, "no frame folder given"},
      {"/tmp", 0, "the frame queue must hold at least one frame"},
  };
  for (const auto& c : cases) {
    SourceConfig config;
    config.dir = c.dir;
    config.queue_limit = c.queue_limit;
    FrameSource source(config,
                       [](const std::string&, const SolveHint&, int) { return FrameEvent{}; });
    std::string error;
    EXPECT_FALSE(source.Start(error));
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace orvan::frames
