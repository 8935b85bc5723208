#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "pointing/model_file.h"
#include "reference.h"
#include "support/error.h"
#include "testing/temp_dir.h"

namespace orvan::pointing {
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
  EXPECT_EQ(t, (With({{Term::IH, 95},
                      {Term::ID, -40.5},
                      {Term::CH, 25},
                      {Term::NP, 10},
                      {Term::MA, 48},
                      {Term::ME, 36},
                      {Term::TF, 6}})));
}

TEST(PointingFile, TermsLeftOutAreZero) {
  EXPECT_EQ(ParsePointingModel("ME 12", "m"), (With({{Term::ME, 12}})));
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
  const TempDir dir;
  const std::string path = dir.File("model.txt");
  std::ofstream(path) << "MA 48\nME 36\n";
  EXPECT_EQ(LoadPointingModel(path), (With({{Term::MA, 48}, {Term::ME, 36}})));
  std::filesystem::remove(path);
  try {
    LoadPointingModel(path);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kModelFileError);
    EXPECT_EQ(e.description(), "pointing model " + path + ": cannot be read");
  }
}

TEST(PointingFile, ReadsEveryTermByItsTpointName) {
  std::string text;
  PointingTerms want;
  for (std::size_t i = 0; i < kTermCount; ++i) {
    text += std::string(Terms()[i].name) + " " + std::to_string(i + 1) + "\n";
    want.value[i] = static_cast<double>(i + 1);
  }
  EXPECT_EQ(ParsePointingModel(text, "m"), want);
  EXPECT_EQ(ParsePointingModel("hcec -2.5\nDaf 3", "m"),
            (With({{Term::HCEC, -2.5}, {Term::DAF, 3}})));
}

TEST(PointingFile, WrittenModelsReadBackToTheBit) {
  PointingTerms t = With({{Term::IH, 95.123456789012345},
                          {Term::ID, -1.0 / 3},
                          {Term::TX, 1e-300},
                          {Term::DCEC, -6.02214076e23},
                          {Term::FO, 0.1}});
  ModelFileNotes notes;
  notes.header = {"fitted 2026-03-19", "42 points\nboth sides"};
  notes.sigma[static_cast<std::size_t>(Term::ID)] = 0.25;
  notes.sigma[static_cast<std::size_t>(Term::NP)] = 1.5;  // a term fitted to zero
  const std::string text = FormatPointingModel(t, notes);
  EXPECT_EQ(text,
            "# fitted 2026-03-19\n"
            "# 42 points\n"
            "# both sides\n"
            "IH    95.12345678901235\n"
            "ID    -0.3333333333333333  # +- 0.25\n"
            "NP    0  # +- 1.5\n"
            "FO    0.1\n"
            "TX    1e-300\n"
            "DCEC  -6.02214076e+23\n");
  const PointingTerms back = ParsePointingModel(text, "written");
  for (std::size_t i = 0; i < kTermCount; ++i)
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.value[i]), std::bit_cast<std::uint64_t>(t.value[i]))
        << Terms()[i].name;
  EXPECT_EQ(FormatPointingModel(PointingTerms{}), "");
}

}  // namespace
}  // namespace orvan::pointing
