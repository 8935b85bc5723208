#include "support/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "testing/temp_dir.h"

namespace orvan {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  const TempDir dir_;
  const fs::path folder_{dir_.path()};
};

TEST_F(ReplaceFileTest, WritesANewFileAndReplacesAnOldOneWholeKeepingItsMode) {
  const fs::path file = folder_ / "mount.model";
  std::string reason;
  ASSERT_TRUE(ReplaceFile(file.string(), "IH 1\n", reason)) << reason;
  EXPECT_EQ(Read(file), "IH 1\n");
  ::chmod(file.c_str(), 0640);
  ASSERT_TRUE(ReplaceFile(file.string(), "IH 2\nID 3\n", reason)) << reason;
  EXPECT_EQ(Read(file), "IH 2\nID 3\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(), std::vector<std::string>{"mount.model"});
}

TEST_F(ReplaceFileTest, AFailureLeavesWhatWasThereAndNoTemporaryFile) {
  // A folder where the file should be: the rename fails after the text is
  // written.
  fs::create_directory(folder_ / "mount.model");
  fs::path inside = folder_ / "mount.model" / "kept";
  std::ofstream(inside) << "old";
  std::string reason;
  EXPECT_FALSE(ReplaceFile((folder_ / "mount.model").string(), "IH 1\n", reason));
  EXPECT_EQ(reason, "Is a directory");
  EXPECT_EQ(Read(inside), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"mount.model"});
  // No folder to write in at all.
  EXPECT_FALSE(ReplaceFile((folder_ / "none" / "mount.model").string(), "IH 1\n", reason));
  EXPECT_EQ(reason, "No such file or directory");
}

// A set of files goes in whole or not at all: a folder where a file should
// go is found before anything is renamed, a rename that fails after others
// were made puts the old files back, and a set left uncommitted leaves
// nothing behind.
TEST_F(ReplaceFileTest, ASetGoesInWholeOrNotAtAll) {
  const fs::path model = folder_ / "mount.model", csv = folder_ / "r.csv";
  const fs::path sub = folder_ / "sub", fresh = folder_ / "new.txt";
  std::ofstream(model) << "old model";
  std::ofstream(csv) << "old csv";
  struct Case {
    const char* name;
    std::function<void()> after_staging;
    fs::path failed;
    std::string reason;
  };
  const Case cases[] = {
      {"a folder made where the last file goes",
       [&] { fs::remove(csv), fs::create_directory(csv); }, csv, "Is a directory"},
      {"the last file's folder gone", [&] { fs::remove_all(sub); }, sub / "x.csv",
       "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directory(sub);
    std::string failed, reason;
    {
      ReplaceFiles set;
      ASSERT_TRUE(set.Stage(model.string(), "IH 1\n", reason)) << reason;
      ASSERT_TRUE(set.Stage(fresh.string(), "new\n", reason)) << reason;
      ASSERT_TRUE(set.Stage((c.failed == csv ? csv : sub / "x.csv").string(), "a\n", reason));
      c.after_staging();
      EXPECT_FALSE(set.Commit(failed, reason));
    }
    EXPECT_EQ(failed, c.failed.string());
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(Read(model), "old model");
    fs::remove_all(csv), fs::remove_all(sub);
    EXPECT_EQ(Names(), std::vector<std::string>{"mount.model"});
    std::ofstream(csv) << "old csv";
  }
  {
    std::string reason;
    ReplaceFiles set;
    ASSERT_TRUE(set.Stage(model.string(), "IH 2\n", reason)) << reason;
  }
  EXPECT_EQ(Read(model), "old model");
  EXPECT_EQ(Names(), (std::vector<std::string>{"mount.model", "r.csv"}));
  std::string failed, reason;
  ReplaceFiles set;
  ASSERT_TRUE(set.Stage(model.string(), "IH 3\n", reason)) << reason;
  ASSERT_TRUE(set.Stage(csv.string(), "c,d\n", reason)) << reason;
  ASSERT_TRUE(set.Commit(failed, reason)) << failed << ": " << reason;
  EXPECT_EQ(Read(model), "IH 3\n");
  EXPECT_EQ(Read(csv), "c,d\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"mount.model", "r.csv"}));
}

}  // namespace
}  // namespace orvan
