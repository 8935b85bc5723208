// The program without a window: what it prints, and its timer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <vector>

#include "observatory/scripted/scripted_observatory.h"
#include "tracking/cycle_log.h"
#include "ui/frmMain.h"
#include "ui/headless/headless_view.h"

namespace orvan::headless {
namespace {

class Headless : public testing::Test {
 protected:
  frmMain& Start() { return Module1::Main(form_, view_, observatory_); }

  std::vector<std::string> lines_;
  ScriptedObservatory observatory_{[](const std::string&) {}};
  HeadlessView view_{[this](const std::string& l) { lines_.push_back(l); }, [] { return "T"; }};
  std::unique_ptr<frmMain> form_;  // last: it refers to the view and the observatory
};

TEST_F(Headless, PrintsTheStatusAtStartAndThenEachChangeOnly) {
  frmMain& form = Start();
  EXPECT_EQ(lines_, std::vector<std::string>{"T status \"Normal Sidereal tracking\""});
  observatory_.AnswerMapping({{10.0001, 20}, {10, 20}});
  form.Click();
  form.Tick();
  form.Tick();  // on target: "Orvan tracking" is written twice more and not printed
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        "T status \"Normal Sidereal tracking\"", "T status \"Orvan tracking\"",
                        "T status \"Orvan tracking - correcting -RA\"",
                        // The window shows the error truncated to a millionth of an arc-second.
                        "T pulse W 359.99999999915804 ms (RA error 5.399999\")",
                        "T status \"Orvan tracking\""}));
}

// A log that fills the disk is said once, on a line of its own, and holding goes on.
TEST_F(Headless, PrintsALogThatCannotBeWrittenOnce) {
  std::string error;
  auto log = tracking::CycleLog::Open("/dev/full", {}, {}, error);
  ASSERT_TRUE(log) << error;
  frmMain& form = Module1::Main(form_, view_, observatory_, std::move(log));
  observatory_.AnswerMapping({{10.0001, 20}, {10, 20}});
  form.Click();
  form.Tick();
  form.Tick();  // on target; the failed writes are not said again
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        "T status \"Normal Sidereal tracking\"",
                        "T log \"cannot write log /dev/full: No space left on device\"",
                        "T status \"Orvan tracking\"",
                        "T status \"Orvan tracking - correcting -RA\"",
                        "T pulse W 359.99999999915804 ms (RA error 5.399999\")",
                        "T status \"Orvan tracking\"",
                    }));
  EXPECT_FALSE(form.ended());
}

TEST(PulseLine, NamesTheDirectionTheLengthAndTheAxisError) {
  EXPECT_EQ(PulseLine(tracking::GuideAxis::RightAscension,
                      {GuideDirection::West, 359.99999999999704}, 5.4),
            "pulse W 359.99999999999704 ms (RA error 5.4\")");
  EXPECT_EQ(PulseLine(tracking::GuideAxis::Declination, {GuideDirection::North, 120}, -1.8),
            "pulse N 120 ms (Dec error -1.8\")");
  EXPECT_EQ(PulseLine(tracking::GuideAxis::Declination, {GuideDirection::South, 1e-05}, 2e-06),
            "pulse S 1e-05 ms (Dec error 2e-06\")");
  EXPECT_EQ(PulseLine(tracking::GuideAxis::RightAscension, {GuideDirection::East, 0.5}, -0.25),
            "pulse E 0.5 ms (RA error -0.25\")");
  // Where the mount moves the axis the other way: what went out, too.
  EXPECT_EQ(PulseLine(tracking::GuideAxis::Declination,
                      {GuideDirection::North, 120, GuideDirection::South}, -1.8),
            "pulse N 120 ms (Dec error -1.8\"), sent to the mount as S");
}

TEST_F(Headless, PrintsMessagesAndTheErrorReport) {
  frmMain& form = Start();
  observatory_.Answer("Telescope", "Connected", {Value::Bool(false)});
  form.Click();
  EXPECT_EQ(lines_.back(), "T msgbox \"Error - ACP not connected to mount\"");
  observatory_.Answer("Telescope", "Connected", {Value::Bool(true)});
  observatory_.Raise("Telescope", "CanPulseGuide", 0x80040401, "Mount not responding");
  form.Click();
  EXPECT_EQ(lines_.back(), "T error 0x80040401 \"Mount not responding\"");
  EXPECT_TRUE(form.ended());
  EXPECT_EQ(form.exit_status(), 1);
}

TEST_F(Headless, Timer1RunsWhileTheModelSaysItTicks) {
  frmMain& form = Start();
  EXPECT_FALSE(view_.timer().isActive());  // enabled, but period 0
  form.Click();
  EXPECT_TRUE(view_.timer().isActive());
  EXPECT_EQ(view_.timer().interval(), 4000);
  form.Click();
  EXPECT_FALSE(view_.timer().isActive());
}

TEST_F(Headless, TheTimersTickReachesTheCycle) {
  frmMain& form = Start();
  form.Click();
  // Timer1's own tick: the timeout signal is what the event loop delivers.
  ASSERT_TRUE(QMetaObject::invokeMethod(const_cast<QTimer*>(&view_.timer()), "timeout",
                                        Qt::DirectConnection));
  EXPECT_EQ(lines_.back(), "T status \"Orvan tracking\"");
  EXPECT_FALSE(form.ended());
}

}  // namespace
}  // namespace orvan::headless

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
