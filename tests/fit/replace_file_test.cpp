#include "support/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("orvan-replace-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path folder_;
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

}  // namespace
}  // namespace orvan
