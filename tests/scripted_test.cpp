// The scripted observatory: answers, failures and transcript lines.
#include <gtest/gtest.h>

#include <array>

#include "error_of.h"
#include "observatory/scripted/scripted_observatory.h"

namespace orvan {
namespace {

class Scripted : public testing::Test {
 protected:
  Scripted() : observatory_([this](const std::string& l) { lines_.push_back(l); }) {}

  std::shared_ptr<AutomationObject> Telescope() { return observatory_.Create("ACP.Telescope"); }
  std::shared_ptr<AutomationObject> Util() { return observatory_.Create("ACP.Util"); }

  std::vector<std::string> lines_;
  ScriptedObservatory observatory_;
};

TEST_F(Scripted, MembersMatchIgnoringCaseAndLinesKeepTheCallersSpelling) {
  auto t = Telescope();
  EXPECT_EQ(t->Get("SLEWING").ToString(), "bool:false");
  EXPECT_EQ(t->Get("rightascension").ToR8(), 10);
  EXPECT_EQ(lines_,
            (std::vector<std::string>{"create ACP.Telescope", "get Telescope.SLEWING -> bool:false",
                                      "get Telescope.rightascension -> r8:10"}));
}

TEST_F(Scripted, APutReplacesTheAnswersAndARaiseLastsUntilTheNextAnswer) {
  auto t = Telescope();
  observatory_.Answer("Telescope", "Declination", {Value::R8(1), Value::R8(2)});
  EXPECT_EQ(t->Get("Declination").ToR8(), 1);
  t->Put("Declination", Value::R8(7.5));
  EXPECT_EQ(t->Get("Declination").ToR8(), 7.5);
  EXPECT_EQ(t->Get("Declination").ToR8(), 7.5);
  observatory_.Raise("Telescope", "Declination", 0x80040401, "Mount not responding");
  EXPECT_EQ(ErrorOf([&] { t->Get("Declination"); }), 0x80040401u);
  EXPECT_EQ(ErrorOf([&] { t->Put("Declination", Value::R8(1)); }), 0x80040401u);
  observatory_.Answer("Telescope", "Declination", {Value::R8(3)});
  EXPECT_EQ(t->Get("Declination").ToR8(), 3);
  EXPECT_EQ(lines_[lines_.size() - 3],
            "get Telescope.Declination !! 0x80040401 \"Mount not responding\"");
  EXPECT_EQ(lines_[lines_.size() - 2],
            "put Telescope.Declination r8:1 !! 0x80040401 \"Mount not responding\"");
}

TEST_F(Scripted, UnknownMembersAndObjectsFailAsLateBindingDoes) {
  auto t = Telescope();
  EXPECT_EQ(ErrorOf([&] { t->Get("FocusPosition"); }), 0x80020006u);
  EXPECT_EQ(ErrorOf([&] { observatory_.Create("ACP.Dome"); }), 0x800401F3u);
  observatory_.NoCreate("ACP.Util");
  EXPECT_EQ(ErrorOf([&] { Util(); }), 0x800401F3u);
  EXPECT_EQ(lines_.back(), "create ACP.Util !! 0x800401F3 \"Invalid class string\"");
}

TEST_F(Scripted, MappingWritesTheNextPairAndShowsChangedReferences) {
  auto u = Util();
  observatory_.AnswerMapping({{1.5, 2.5}, {3, 4}});
  std::array<double, 4> v{10, 20, 0, 0};
  auto call = [&] {
    std::array<Argument, 4> args{Argument::ByRef(v[0]), Argument::ByRef(v[1]),
                                 Argument::ByRef(v[2]), Argument::ByRef(v[3])};
    u->Call("MapIdealToRawEqu", args);
  };
  call();
  EXPECT_EQ(v, (std::array<double, 4>{10, 20, 1.5, 2.5}));
  call();
  call();  // the last pair repeats: nothing changes, so no "->" part
  EXPECT_EQ(v, (std::array<double, 4>{10, 20, 3, 4}));
  EXPECT_EQ(lines_.back(), "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:3, &r8:4)");
  EXPECT_EQ(lines_[1],
            "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:0, &r8:0) -> "
            "(&r8:10, &r8:20, &r8:1.5, &r8:2.5)");
}

TEST_F(Scripted, NestsFallDueAfterTheAccessLineOnceEach) {
  std::vector<std::string> due;
  observatory_.OnNest([&](const std::string& e) { due.push_back(e + " after " + lines_.back()); });
  observatory_.Nest("Telescope", "tracking", "tick");
  observatory_.Nest("Telescope", "tracking", "click");
  auto t = Telescope();
  t->Get("tracking");
  t->Get("tracking");
  EXPECT_EQ(due, (std::vector<std::string>{"tick after get Telescope.tracking -> bool:true",
                                           "click after get Telescope.tracking -> bool:true"}));
}

}  // namespace
}  // namespace orvan
