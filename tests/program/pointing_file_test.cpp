#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "observatory/program/pointing_file.h"
#include "support/error.h"

namespace orvan::program {
namespace {

std::string MessageOf(std::string_view text) {
  try {
    ParsePointingModel(text, "model.txt");
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kModelFileError);
    return e.description();
  }
  return "";
}

TEST(PointingFile, ReadsEveryTermWithCommentsAndBlankLines) {
  const PointingTerms t = ParsePointingModel(
      "# fitted 2026-03-19\n"
      "\n"
      "IH  95\n"
      "id -40.5   # declination index\n"
      "\tCH 25\r\n"
      "NP 1e1\n"
      "MA 48\nME 36\nTF +6\n",
      "model.txt");
  EXPECT_EQ(
      t, (PointingTerms{.ih = 95, .id = -40.5, .ch = 25, .np = 10, .ma = 48, .me = 36, .tf = 6}));
}

TEST(PointingFile, TermsLeftOutAreZero) {
  EXPECT_EQ(ParsePointingModel("ME 12", "m"), (PointingTerms{.me = 12}));
  EXPECT_EQ(ParsePointingModel("", "m"), PointingTerms{});
}

TEST(PointingFile, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(MessageOf("IH 1\n\nXX 3\n"), "pointing model model.txt, line 3: unknown term \"XX\"");
  EXPECT_EQ(MessageOf("# c\nIH 9O\n"),
            "pointing model model.txt, line 2: bad number \"9O\" for IH");
  EXPECT_EQ(MessageOf("IH 1 2\n"), "pointing model model.txt, line 1: bad number \"1 2\" for IH");
  EXPECT_EQ(MessageOf("IH nan\n"), "pointing model model.txt, line 1: bad number \"nan\" for IH");
  EXPECT_EQ(MessageOf("IH +-1\n"), "pointing model model.txt, line 1: bad number \"+-1\" for IH");
  EXPECT_EQ(MessageOf("ID\n"), "pointing model model.txt, line 1: no value for ID");
  EXPECT_EQ(MessageOf("IH 1\nih 2\n"), "pointing model model.txt, line 2: ih given twice");
}

TEST(PointingFile, LoadsFromDiskAndReportsAMissingFile) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("orvan-model-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "model.txt").string();
  std::ofstream(path) << "MA 48\nME 36\n";
  EXPECT_EQ(LoadPointingModel(path), (PointingTerms{.ma = 48, .me = 36}));
  std::filesystem::remove_all(dir);
  try {
    LoadPointingModel(path);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kModelFileError);
    EXPECT_EQ(e.description(), "pointing model " + path + ": cannot be read");
  }
}

}  // namespace
}  // namespace orvan::program
