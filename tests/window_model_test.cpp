// The window model: the design-time window, the checks on every write and
// the announcements views and transcripts follow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "error_of.h"
#include "support/error.h"
#include "ui/model_subscription.h"
#include "ui/window_model.h"
#include "ui/window_view.h"

namespace orvan {
namespace {

using enum ControlId;

struct Log final : WindowModelObserver {
  std::vector<std::string> lines;
  void Written(ControlId c, Property p, Cause cause) override {
    const char* who = cause == Cause::Program ? "program" : cause == Cause::User ? "user" : "halt";
    lines.push_back(std::string(controls::Of(c).name) + "." + std::string(PropertyName(p)) + " " +
                    who);
  }
};

TEST(WindowModel, StartsAsDesigned) {
  const WindowModel m(',');
  EXPECT_EQ(m.Caption(), "OrvanACP");
  EXPECT_EQ(m.DecimalSeparator(), ',');
  EXPECT_EQ(m.Text(Command1), "Start Orvaning");
  EXPECT_EQ(m.Text(Text11), "1.0");
  EXPECT_TRUE(m.Enabled(Text11));
  EXPECT_EQ(m.Text(Text1), "0.000000");
  EXPECT_EQ(m.Text(Text2), "0.000000");
  for (ControlId box : {Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10})
    EXPECT_FALSE(m.Enabled(box)) << controls::Of(box).name;
  for (ControlId box : {Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10})
    EXPECT_EQ(m.Text(box), "") << controls::Of(box).name;
  EXPECT_EQ(m.Text(sbStatusBar), "Normal Sidereal tracking");
  EXPECT_EQ(m.Text(Label15), "Maximum Allowable error");
  EXPECT_TRUE(m.Enabled(Timer1));
  EXPECT_EQ(m.TimerInterval(), 0);
  EXPECT_FALSE(m.Ticking());  // enabled, but period 0
}

TEST(WindowModel, TicksOnlyWhileEnabledWithAPeriod) {
  WindowModel m('.');
  m.SetTimerInterval(4000);
  EXPECT_TRUE(m.Ticking());
  m.SetEnabled(Timer1, false);
  EXPECT_FALSE(m.Ticking());
  m.SetEnabled(Timer1, true);
  m.SetTimerInterval(0);
  EXPECT_FALSE(m.Ticking());
  m.SetTimerInterval(1);
  EXPECT_TRUE(m.Ticking());
  m.HaltTimer();
  EXPECT_FALSE(m.Ticking());
}

TEST(WindowModel, AnnouncesEveryWriteAlsoOneThatChangesNothing) {
  WindowModel m('.');
  Log log;
  m.Subscribe(log);
  m.SetText(Text1, "0.000000");
  m.SetCaption(Command1, "Stop Orvaning");
  m.SetEnabled(Text11, false);
  m.SetStatusText("Orvan tracking");
  m.SetTimerInterval(4000);
  m.SetEnabled(Timer1, true);
  m.HaltTimer();
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"Text1.Text program", "Command1.Caption program",
                                      "Text11.Enabled program", "sbStatusBar.SimpleText program",
                                      "Timer1.Interval program", "Timer1.Enabled program",
                                      "Timer1.Enabled halt"}));
  m.Unsubscribe(log);
  m.SetText(Text1, "1");
  EXPECT_EQ(log.lines.size(), 7u);
}

TEST(WindowModel, RefusesWritesAControlDoesNotTakeAndChangesNothing) {
  WindowModel m('.');
  Log log;
  m.Subscribe(log);
  EXPECT_EQ(ErrorOf([&] { m.SetTimerInterval(-1); }), 0x800A017Cu);  // Invalid property value
  EXPECT_EQ(m.TimerInterval(), 0);
  EXPECT_EQ(ErrorOf([&] { m.SetText(Command1, "x"); }), 0x800A01B6u);
  EXPECT_EQ(ErrorOf([&] { m.SetText(Label1, "x"); }), 0x800A01B6u);
  EXPECT_EQ(ErrorOf([&] { m.SetCaption(Text1, "x"); }), 0x800A01B6u);
  EXPECT_EQ(ErrorOf([&] { m.SetEnabled(Label5, false); }), 0x800A01B6u);
  EXPECT_EQ(ErrorOf([&] { m.SetEnabled(sbStatusBar, false); }), 0x800A01B6u);
  EXPECT_EQ(ErrorOf([&] { m.SetEnabled(Command1, false); }), 0x800A01B6u);
  EXPECT_EQ(m.Text(Command1), "Start Orvaning");
  EXPECT_EQ(m.Text(Label1), "Current RA Error");
  EXPECT_TRUE(log.lines.empty());
}

TEST(WindowModel, TypingReachesOnlyAnEnabledBox) {
  WindowModel m('.');
  Log log;
  m.Subscribe(log);
  EXPECT_TRUE(m.Type(Text11, "2,5"));
  EXPECT_EQ(m.Text(Text11), "2,5");
  m.SetEnabled(Text11, false);
  EXPECT_FALSE(m.Type(Text11, "7"));
  EXPECT_EQ(m.Text(Text11), "2,5");
  EXPECT_FALSE(m.Type(Text3, "7"));  // display only
  EXPECT_EQ(log.lines, (std::vector<std::string>{"Text11.Text user", "Text11.Enabled program"}));
}

TEST(WindowModel, AnObserverMayLeaveWhileBeingTold) {
  WindowModel m('.');
  struct Leaver final : WindowModelObserver {
    WindowModel* model = nullptr;
    int told = 0;
    void Written(ControlId, Property, Cause) override {
      ++told;
      model->Unsubscribe(*this);
    }
  } leaver;
  leaver.model = &m;
  Log log;
  m.Subscribe(leaver);
  m.Subscribe(log);
  m.SetStatusText("a");
  m.SetStatusText("b");
  EXPECT_EQ(leaver.told, 1);
  EXPECT_EQ(log.lines.size(), 2u);
}

TEST(ModelSubscription, FollowsOneModelAtATimeAndLeavesItAtItsEnd) {
  WindowModel first('.');
  WindowModel second('.');
  Log log;
  {
    ModelSubscription subscription(log, &first);
    first.SetStatusText("a");
    subscription.Follow(&second);
    first.SetStatusText("b");
    second.SetStatusText("c");
    EXPECT_EQ(subscription.model(), &second);
  }
  second.SetStatusText("d");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"sbStatusBar.SimpleText program",
                                                 "sbStatusBar.SimpleText program"}));
}

TEST(ErrorReportText, ShowsNumberAndDescriptionAndReadsBack) {
  const Error e(0x80040401, "Mount not responding");
  EXPECT_EQ(ErrorReportText(e), "Run-time error 0x80040401:\n\nMount not responding");
  Error back(0, "");
  ASSERT_TRUE(ParseErrorReportText(ErrorReportText(e), back));
  EXPECT_EQ(back.number(), 0x80040401u);
  EXPECT_EQ(back.description(), "Mount not responding");
  ASSERT_TRUE(ParseErrorReportText("Run-time error 0x0000001A:\n\n", back));
  EXPECT_EQ(back.number(), 0x1Au);
  EXPECT_EQ(back.description(), "");
  for (const char* text : {"Error - ACP not connected to mount", "Run-time error 0x8004040:\n\nx",
                           "Run-time error 0x8004040G:\n\nx", "Run-time error 0x80040401\n\nx",
                           "Run-time error 80040401:\n\nx"})
    EXPECT_FALSE(ParseErrorReportText(text, back)) << text;
}

}  // namespace
}  // namespace orvan
