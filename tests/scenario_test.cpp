#include <gtest/gtest.h>

#include "replay/player.h"
#include "replay/scenario.h"

namespace orvan::replay {
namespace {

// The line number and message a malformed scenario is refused with.
std::string Refusal(std::string_view text) {
  try {
    ParseScenario(text);
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ScenarioParse, RefusesMalformedLinesWithTheirNumber) {
  EXPECT_EQ(Refusal("load\nfrobnicate\n"), "2: unknown directive or event 'frobnicate'");
  EXPECT_EQ(Refusal("click\n"), "1: an event before load");
  EXPECT_EQ(Refusal("# c\n\nload\ndecimal ,\n"), "4: decimal comes only before load");
  EXPECT_EQ(Refusal("decimal ,,\n"), "1: decimal takes one character");
  EXPECT_EQ(Refusal("load\nload\n"), "2: the program is already loaded");
  EXPECT_EQ(Refusal("answer Telescope.tracking\n"),
            "1: answer needs a member and at least one value");
  EXPECT_EQ(Refusal("answer Mount.tracking bool:true\n"), "1: unknown object member");
  EXPECT_EQ(Refusal("answer Telescope.tracking bool:yes\n"), "1: bad bool value");
  EXPECT_EQ(Refusal("answer Telescope.InterfaceVersion i2:40000\n"), "1: bad i2 value");
  EXPECT_EQ(Refusal("answer Telescope.RightAscension r8:1,5\n"), "1: bad r8 value");
  EXPECT_EQ(Refusal("answer Telescope.RightAscension x8:1\n"), "1: unknown value kind 'x8'");
  EXPECT_EQ(Refusal("answer Telescope.RightAscension str:\"a\n"), "1: expected a quoted text");
  EXPECT_EQ(Refusal("answer Util.MapIdealToRawEqu 1 2 3\n"),
            "1: MapIdealToRawEqu answers come in pairs");
  EXPECT_EQ(Refusal("raise Telescope.slewing zz Oops\n"), "1: bad error number");
  EXPECT_EQ(Refusal("nest Telescope.slewing close\n"), "1: nest takes click or tick");
  EXPECT_EQ(Refusal("load\ntype Text12 x\n"), "2: type needs a text box Text1 to Text11");
  EXPECT_EQ(Refusal("load\nclick now\n"), "2: click takes nothing");
}

TEST(ScenarioParse, ReadsValuesDescriptionsAndTexts) {
  const auto steps = ParseScenario(
      "answer Telescope.RightAscension r8:0x1p-2 str:\"a \\\"b\\\" c\" bool:7 i4:-5 empty null\n"
      "raise Telescope.slewing 0x80040401 Mount not responding\n"
      "raise Telescope.tracking -2147220991 x\n"
      "answer Util.MapIdealToRawEqu 1e-4 -inf 3 4\n"
      "load\n"
      "type Text11 \n"
      "type Text11  2,5 \n");
  ASSERT_EQ(steps.size(), 7u);
  ASSERT_EQ(steps[0].values.size(), 6u);
  EXPECT_EQ(steps[0].values[0].real(), 0.25);
  EXPECT_EQ(steps[0].values[1].text(), "a \"b\" c");
  EXPECT_EQ(steps[0].values[2].ToString(), "bool:7");
  EXPECT_EQ(steps[0].values[3].ToString(), "i4:-5");
  EXPECT_EQ(steps[0].values[4].ToString(), "empty");
  EXPECT_EQ(steps[0].values[5].ToString(), "null");
  EXPECT_EQ(steps[1].number, 0x80040401u);
  EXPECT_EQ(steps[1].text, "Mount not responding");
  EXPECT_EQ(steps[2].number, 0x80040201u);
  ASSERT_EQ(steps[3].pairs.size(), 2u);
  EXPECT_EQ(steps[3].pairs[0].first, 1e-4);
  EXPECT_EQ(steps[3].pairs[0].second, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(steps[5].text, "");
  EXPECT_EQ(steps[6].text, " 2,5 ");
}

TEST(ScenarioPlay, AnswersTakeTheNextValueAndTheLastRepeats) {
  const auto lines = PlayText(
      "answer Telescope.InterfaceVersion i2:1 i2:2\n"
      "load\n"
      "answer Telescope.RightAscension r8:1 r8:2\n"
      "click\nclick\nclick\n");
  std::vector<std::string> ra;
  for (const auto& l : lines)
    if (l.rfind("get Telescope.RightAscension", 0) == 0) ra.push_back(l);
  EXPECT_EQ(ra, (std::vector<std::string>{"get Telescope.RightAscension -> r8:1",
                                          "get Telescope.RightAscension -> r8:2"}));
}

TEST(ScenarioPlay, EventsAfterTheEndAreNeitherRunNorPrinted) {
  const auto lines = PlayText("load\nclose\nclick\ndump\n");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "end");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "end"), 1);
}

}  // namespace
}  // namespace orvan::replay

namespace orvan::replay {
namespace {

TEST(ScenarioPlay, HooksGiveAWindowEveryWriteAndTheirOwnNestedEvents) {
  std::vector<std::string> window_lines;
  Recorder window([&](const std::string& l) { window_lines.push_back(l); }, '.');
  std::vector<std::string> nested;
  PlayHooks hooks;
  hooks.window = &window;
  hooks.nest = [&](const std::string& event) { nested.push_back(event); };
  std::vector<std::string> lines;
  Play(
      ParseScenario("load\nanswer Telescope.CanPulseGuide bool:false\n"
                    "nest Telescope.Connected tick\nclick\nclose\n"),
      [&](const std::string& l) { lines.push_back(l); }, hooks);
  // The nested tick went to the hook, not to the window logic.
  EXPECT_EQ(nested, std::vector<std::string>{"tick"});
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "nested tick (deferred)"), 0);
  // The transcript keeps the message box; the window got writes and the end only.
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "msgbox \"Error - mount does not support PulseGuide\""),
            1);
  EXPECT_EQ(window_lines, std::vector<std::string>{"end"});

  // A start and a stop: the window sees exactly the transcript's writes.
  window_lines.clear();
  lines.clear();
  Play(
      ParseScenario("load\nclick\nclick\n"), [&](const std::string& l) { lines.push_back(l); },
      hooks);
  std::vector<std::string> writes;
  for (const auto& l : lines)
    if (l.starts_with("set ")) writes.push_back(l);
  EXPECT_EQ(writes.size(), 18u);
  EXPECT_EQ(window_lines, writes);
}

}  // namespace
}  // namespace orvan::replay
