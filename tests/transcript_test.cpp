// The transcript's lines as the one formatter writes them.
#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "error_of.h"
#include "observatory/scripted/scripted_observatory.h"
#include "replay/trace.h"
#include "replay/transcript.h"

namespace orvan::transcript {
namespace {

TEST(TranscriptAccess, CallsShowReferencesThatCameBackChangedToTheBit) {
  double ra = 10, dec = 20, out_ra = 0, out_dec = 0;
  std::array<Argument, 4> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(out_ra),
                               Argument::ByRef(out_dec)};
  const Access access = Access::Call("Util", "MapIdealToRawEqu", args);
  EXPECT_EQ(access.Returned(args), "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:0, &r8:0)");
  out_dec = -0.0;  // equal to 0, but not the same bits
  EXPECT_EQ(access.Returned(args),
            "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:0, &r8:0) -> "
            "(&r8:10, &r8:20, &r8:0, &r8:-0)");
  EXPECT_EQ(access.Raised(Error(0x80040401, "Mount \"M1\" not responding")),
            "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:0, &r8:0) !! 0x80040401 "
            "\"Mount \\\"M1\\\" not responding\"");
}

TEST(TranscriptAccess, ReadsWritesAndCreations) {
  EXPECT_EQ(Access::Get("Telescope", "slewing").Answered(Value::Bool(std::int16_t{1})),
            "get Telescope.slewing -> bool:1");
  EXPECT_EQ(
      Access::Put("Telescope", "GuideRateDeclination", Value::R8(0.0041666666666667004)).Done(),
      "put Telescope.GuideRateDeclination r8:0.0041666666666667004");
  EXPECT_EQ(Access::Create("ACP.Util").Raised(Error(0x800401F3, "Invalid class string")),
            "create ACP.Util !! 0x800401F3 \"Invalid class string\"");
  EXPECT_EQ(ObjectName("ACP.Telescope"), "Telescope");
  EXPECT_EQ(ObjectName("ACP.Util"), "Util");
  EXPECT_EQ(ObjectName("ACP.Dome"), "");
}

TEST(TranscriptWindow, LinesForWritesEventsAndBoxes) {
  WindowModel m(',');
  m.SetText(ControlId::Text1, "5,399999");
  m.SetTimerInterval(4000);
  EXPECT_EQ(SetLine(m, ControlId::Text1, Property::Text), "set Text1.Text \"5,399999\"");
  EXPECT_EQ(SetLine(m, ControlId::Timer1, Property::Interval), "set Timer1.Interval 4000");
  EXPECT_EQ(SetLine(m, ControlId::Timer1, Property::Enabled), "set Timer1.Enabled true");
  EXPECT_EQ(SetLine(m, ControlId::Command1, Property::Caption),
            "set Command1.Caption \"Start Orvaning\"");
  EXPECT_EQ(StateLine(ControlId::sbStatusBar, Property::SimpleText, "a\\b"),
            "state sbStatusBar.SimpleText \"a\\\\b\"");
  EXPECT_EQ(StateLine(ControlId::Text11, Property::Enabled, false), "state Text11.Enabled false");
  EXPECT_EQ(TypeLine(ControlId::Text11, "2,5"), "event type Text11 \"2,5\"");
  EXPECT_EQ(TypeIgnoredLine(ControlId::Text11), "ignored type Text11 (disabled)");
  EXPECT_EQ(IgnoredLine(Event::Tick), "ignored tick (timer off)");
  EXPECT_EQ(DeferredLine(Event::Click), "nested click (deferred)");
  EXPECT_EQ(ErrorLine(Error(0x80020005, "Type mismatch")), "error 0x80020005 \"Type mismatch\"");
}

TEST(TranscriptDump, ListsTheWindowThenTheTrackerInDeclaredOrder) {
  const WindowModel m('.');
  TrackerState s;
  s.TrackingActive = true;
  s.PulseDurationRA = 359.99999999999704;
  s.DriverInterfaceVersion = -3;
  const std::vector<std::string> lines = Dump(m, s);
  ASSERT_EQ(lines.size(), 22u + 4u + 20u);
  EXPECT_EQ(lines[0], "state Text1.Text \"0.000000\"");
  EXPECT_EQ(lines[1], "state Text1.Enabled false");
  EXPECT_EQ(lines[20], "state Text11.Text \"1.0\"");
  EXPECT_EQ(lines[21], "state Text11.Enabled true");
  EXPECT_EQ(lines[22], "state Command1.Caption \"Start Orvaning\"");
  EXPECT_EQ(lines[23], "state Timer1.Interval 0");
  EXPECT_EQ(lines[24], "state Timer1.Enabled true");
  EXPECT_EQ(lines[25], "state sbStatusBar.SimpleText \"Normal Sidereal tracking\"");
  EXPECT_EQ(lines[26], "state TrackingActive true");
  EXPECT_EQ(lines[27], "state AcpUtil nothing");
  EXPECT_EQ(lines[41], "state PulseDurationRA 359.99999999999704");
  EXPECT_EQ(lines[44], "state DriverInterfaceVersion -3");
  EXPECT_EQ(lines[45], "state TargetStale false");
}

TEST(Trace, WritesEveryAccessAndPassesAnswersResultsAndErrorsOn) {
  ScriptedObservatory observatory([](const std::string&) {});
  observatory.AnswerMapping({{10.5, 21}});
  observatory.Raise("Telescope", "slewing", 0x80040401, "Mount not responding");
  std::vector<std::string> lines;
  auto traced = Traced(observatory, [&](const std::string& l) { lines.push_back(l); });
  auto telescope = traced->Create("ACP.Telescope");
  auto util = traced->Create("ACP.Util");
  EXPECT_EQ(telescope->Get("RightAscension").ToR8(), 10);
  telescope->Put("Connected", Value::Bool(true));
  EXPECT_EQ(ErrorOf([&] { telescope->Get("slewing"); }), 0x80040401u);
  double ra = 10, dec = 20, out_ra = 0, out_dec = 0;
  std::array<Argument, 4> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(out_ra),
                               Argument::ByRef(out_dec)};
  util->Call("MapIdealToRawEqu", args);
  EXPECT_EQ(out_ra, 10.5);
  EXPECT_EQ(out_dec, 21);
  EXPECT_EQ(ErrorOf([&] { traced->Create("ACP.Dome"); }), 0x800401F3u);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "create ACP.Telescope", "create ACP.Util", "get Telescope.RightAscension -> r8:10",
                "put Telescope.Connected bool:true",
                "get Telescope.slewing !! 0x80040401 \"Mount not responding\"",
                // One line, split for width.
                // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
                "call Util.MapIdealToRawEqu(&r8:10, &r8:20, &r8:0, &r8:0) -> (&r8:10, &r8:20, "
                "&r8:10.5, &r8:21)",
                "create ACP.Dome !! 0x800401F3 \"Invalid class string\""}));
}

}  // namespace
}  // namespace orvan::transcript
