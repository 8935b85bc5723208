// The cycle log on a real file: opening, appending after what is there, and
// the failures a night can bring (a missing folder, a read-only file, a full
// disk, the file removed while it runs).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "tracking/cycle_log.h"

namespace orvan::tracking {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = std::string(kLogHeader) + "\r\n";
const std::string kStopLine = "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n";
constexpr uid_t kNobody = 65534;

class LogFile : public testing::Test {
 protected:
  LogFile() {
    // Others may look in: the read-only test opens as an ordinary user.
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    path_ = (dir_ / "night.csv").string();
  }

  std::unique_ptr<CycleLog> Open(const std::string& path) {
    std::string error;
    auto log = CycleLog::Open(
        path, [] { return "T"; }, [this](const std::string& m) { failures_.push_back(m); }, error);
    error_ = error;
    return log;
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static CycleRecord Stop() {
    CycleRecord r;
    r.kind = RecordKind::Stop;
    return r;
  }

  TempFolder folder_{"orvan-log"};
  fs::path dir_ = folder_.path();
  std::string path_;
  std::string error_;
  std::vector<std::string> failures_;
};

TEST_F(LogFile, ANewFileStartsWithTheHeader) {
  auto log = Open(path_);
  ASSERT_TRUE(log) << error_;
  EXPECT_EQ(Read(path_), "");  // nothing until there is a line
  log->Record(Stop(), "s");
  log->Record(Stop(), "s");
  EXPECT_EQ(Read(path_), kHeader + kStopLine + kStopLine);
  EXPECT_TRUE(failures_.empty());
}

TEST_F(LogFile, OursIsAppendedToWithoutAHeader) {
  Write(path_, kHeader + kStopLine);
  Open(path_)->Record(Stop(), "s");
  EXPECT_EQ(Read(path_), kHeader + kStopLine + kStopLine);
}

TEST_F(LogFile, AnOlderVersionsLogIsKeptAndGetsTheHeader) {
  const std::string older = "time,event,status\r\n2025-01-01T00:00:00.000Z,cycle,x\r\n";
  Write(path_, older);
  Open(path_)->Record(Stop(), "s");
  EXPECT_EQ(Read(path_), older + kHeader + kStopLine);
}

TEST_F(LogFile, ALineCutShortByACrashIsEnded) {
  Write(path_, kHeader + "T,cyc");
  Open(path_)->Record(Stop(), "s");
  EXPECT_EQ(Read(path_), kHeader + "T,cyc\r\n" + kStopLine);
}

TEST_F(LogFile, AMissingFolderIsRefusedWithTheReason) {
  const std::string path = (dir_ / "missing" / "night.csv").string();
  EXPECT_FALSE(Open(path));
  EXPECT_EQ(error_, "cannot open log " + path + ": No such file or directory");
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(LogFile, AFolderIsRefusedWithTheReason) {
  EXPECT_FALSE(Open(dir_.string()));
  EXPECT_EQ(error_, "cannot open log " + dir_.string() + ": Is a directory");
}

// Run as an ordinary user even where the tests run as root, who may write anywhere.
TEST_F(LogFile, AReadOnlyFileIsRefusedWithTheReason) {
  Write(path_, kHeader);
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) std::exit(3);
        const bool refused = !Open(path_);
        std::fprintf(stderr, "%s\n", error_.c_str());
        std::exit(refused ? 0 : 1);
      },
      testing::ExitedWithCode(0), "cannot open log .*night.csv: Permission denied");
  EXPECT_EQ(Read(path_), kHeader);
}

TEST_F(LogFile, AFullDiskIsSaidOnceAndTheRunGoesOn) {
  auto log = Open("/dev/full");
  ASSERT_TRUE(log) << error_;
  log->Record(Stop(), "s");
  log->RecordError(Error(errors::kConnectionLost, "lost"), "s");
  log->Record(Stop(), "s");
  EXPECT_TRUE(log->failed());
  EXPECT_EQ(failures_,
            std::vector<std::string>{"cannot write log /dev/full: No space left on device"});
}

// A removed log would swallow every line unseen: it takes no more, and says so once.
TEST_F(LogFile, AFileRemovedWhileItRunsIsSaidOnce) {
  auto log = Open(path_);
  log->Record(Stop(), "s");
  fs::remove(path_);
  log->Record(Stop(), "s");
  log->Record(Stop(), "s");
  EXPECT_EQ(failures_,
            std::vector<std::string>{"cannot write log " + path_ + ": the file has been removed"});
  EXPECT_FALSE(fs::exists(path_));
}

}  // namespace
}  // namespace orvan::tracking
