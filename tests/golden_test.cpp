// Golden scenarios: each tests/scenarios/**/NAME.scn is played and its
// transcript compared line for line with NAME.expected beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "replay/player.h"
#include "tracking/cycle_log.h"

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

// Nothing a log does changes what the program does: every scenario played with
// one attached gives its transcript, with one full disk as with one that takes
// every line.
class Full final : public Appendable {
 public:
  explicit Full(bool full) : full_(full) {}
  bool Append(std::string_view, std::string& reason) override {
    reason = "No space left on device";
    return !full_;
  }

 private:
  bool full_;
};

TEST_P(Golden, TranscriptIsTheSameWithALog) {
  const fs::path base = fs::path(ORVAN_SCENARIO_DIR) / GetParam();
  const auto expected = Lines(ReadFile(base.string() + ".expected"));
  for (const bool full : {false, true}) {
    PlayHooks hooks;
    int failures = 0;
    hooks.log = [&] {
      return std::make_unique<tracking::CycleLog>(
          std::make_unique<Full>(full), "log.csv", "", [] { return "T"; },
          [&failures](const std::string&) { ++failures; });
    };
    std::vector<std::string> actual;
    Play(
        ParseScenario(ReadFile(base.string() + ".scn")),
        [&](const std::string& l) { actual.push_back(l); }, hooks);
    EXPECT_EQ(actual, expected) << (full ? "full" : "taking") << " log, " << base;
    EXPECT_LE(failures, 1);
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
