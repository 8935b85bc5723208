// Golden scenarios: each tests/scenarios/**/NAME.scn is played and its
// transcript compared line for line with NAME.expected beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "replay/player.h"

namespace orvan::replay {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> Scenarios() {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(ORVAN_SCENARIO_DIR))
    if (e.path().extension() == ".scn")
      out.push_back(fs::relative(e.path(), ORVAN_SCENARIO_DIR).replace_extension().string());
  std::sort(out.begin(), out.end());
  return out;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, TranscriptMatches) {
  const fs::path base = fs::path(ORVAN_SCENARIO_DIR) / GetParam();
  const auto actual = PlayText(ReadFile(base.string() + ".scn"));
  const fs::path expected_path = base.string() + ".expected";
  if (std::getenv("ORVAN_UPDATE_GOLDEN")) {
    std::ofstream out(expected_path, std::ios::binary);
    for (const auto& l : actual) out << l << '\n';
    GTEST_SKIP() << "rewrote " << expected_path;
  }
  ASSERT_TRUE(fs::exists(expected_path)) << expected_path;
  const auto expected = Lines(ReadFile(expected_path));
  for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    ASSERT_EQ(i < actual.size() ? actual[i] : "<missing>",
              i < expected.size() ? expected[i] : "<missing>")
        << "line " << i + 1 << " of " << expected_path;
  }
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Golden, testing::ValuesIn(Scenarios()), TestName);

}  // namespace
}  // namespace orvan::replay
