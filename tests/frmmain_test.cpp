// The window logic's start-up, shut-down and event delivery, seen through a
// surface that records every call in order.
#include <gtest/gtest.h>

#include "observatory/scripted/scripted_observatory.h"
#include "ui/frmMain.h"

namespace orvan {
namespace {

class CallLog final : public Surface {
 public:
  std::vector<std::string> calls;
  std::string text11 = "1.0";

  void SetText(int box, std::string_view text) override {
    if (box == 11) text11 = std::string(text);
    calls.push_back("SetText " + std::to_string(box));
  }
  std::string Text(int) override { return text11; }
  void SetEnabled(int box, bool on) override {
    calls.push_back("SetEnabled " + std::to_string(box) + (on ? " on" : " off"));
  }
  void SetCaption(std::string_view c) override { calls.push_back("SetCaption " + std::string(c)); }
  void SetTimerInterval(std::int32_t ms) override {
    calls.push_back("SetTimerInterval " + std::to_string(ms));
  }
  void SetTimerEnabled(bool on) override { calls.push_back(on ? "TimerOn" : "TimerOff"); }
  void SetStatusText(std::string_view t) override { calls.push_back("Status " + std::string(t)); }
  char DecimalSeparator() override { return '.'; }
  void Show() override { calls.push_back("Show"); }
  void MessageBox(std::string_view t) override { calls.push_back("MessageBox " + std::string(t)); }
  void HaltTimer() override { calls.push_back("HaltTimer"); }
  void ShowErrorReport(const Error& e) override {
    calls.push_back("ErrorReport " + HexNumber(e.number()) + " " + e.description());
  }
  void EndProgram(int status) override { calls.push_back("End " + std::to_string(status)); }
  void EventStarted(Event e) override { calls.push_back("event " + std::string(EventName(e))); }
  void EventIgnored(Event e) override { calls.push_back("ignored " + std::string(EventName(e))); }
  void EventDeferred(Event e) override { calls.push_back("deferred " + std::string(EventName(e))); }

  // The calls from the first one equal to `from` on.
  std::vector<std::string> From(const std::string& from) const {
    auto it = std::find(calls.begin(), calls.end(), from);
    return {it, calls.end()};
  }
};

class WindowLogic : public testing::Test {
 protected:
  WindowLogic() : observatory_([this](const std::string& l) { observatory_lines_.push_back(l); }) {}
  ~WindowLogic() override { Module1::MainForm.reset(); }

  frmMain& Start() { return Module1::Main(surface_, observatory_); }

  CallLog surface_;
  std::vector<std::string> observatory_lines_;
  ScriptedObservatory observatory_;
};

TEST_F(WindowLogic, LoadConnectsReadsTheVersionWritesNothingToTheWindowThenShows) {
  frmMain& form = Start();
  EXPECT_EQ(surface_.calls, (std::vector<std::string>{"event load", "Show"}));
  EXPECT_EQ(observatory_lines_,
            (std::vector<std::string>{"create ACP.Util", "create ACP.Telescope",
                                      "put Telescope.Connected bool:true",
                                      "get Telescope.InterfaceVersion -> i2:2"}));
  EXPECT_EQ(form.state.DriverInterfaceVersion, 2);
  EXPECT_TRUE(form.state.AcpUtil.IsObject());
  EXPECT_TRUE(form.state.AcpTelescope.IsObject());
  EXPECT_EQ(Module1::MainForm.get(), &form);
}

TEST_F(WindowLogic, FailedLoadReportsWithTheTimerHaltedFirstAndNeverShows) {
  observatory_.NoCreate("ACP.Telescope");
  frmMain& form = Start();
  EXPECT_EQ(surface_.calls,
            (std::vector<std::string>{"event load", "HaltTimer",
                                      "ErrorReport 0x800401F3 Invalid class string", "End 1"}));
  EXPECT_TRUE(form.ended());
  EXPECT_TRUE(form.state.AcpUtil.IsObject());  // created before the failure, kept
  EXPECT_FALSE(form.state.AcpTelescope.IsObject());
  form.Click();
  form.Tick();
  form.Close();
  EXPECT_EQ(surface_.calls.size(), 4u);  // nothing runs after the end
}

TEST_F(WindowLogic, ErrorInATickHaltsTheTimerBeforeTheReportAndDropsDeferredEvents) {
  frmMain& form = Start();
  form.Click();
  ASSERT_TRUE(form.timer_live());
  observatory_.Raise("Telescope", "slewing", 0x80040401, "Mount not responding");
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.OnNest([&](const std::string&) { form.Click(); });
  form.Tick();
  EXPECT_EQ(surface_.From("event tick"),
            (std::vector<std::string>{"event tick", "deferred click", "HaltTimer",
                                      "ErrorReport 0x80040401 Mount not responding", "End 1"}));
  EXPECT_FALSE(form.timer_live());
}

TEST_F(WindowLogic, CloseStopsNothingAndEndsWithStatusZero) {
  frmMain& form = Start();
  form.Click();
  const std::size_t lines = observatory_lines_.size();
  form.Close();
  EXPECT_EQ(surface_.From("event close"), (std::vector<std::string>{"event close", "End 0"}));
  EXPECT_EQ(observatory_lines_.size(), lines);  // no disconnect
  EXPECT_TRUE(form.ended());
  form.Tick();
  EXPECT_EQ(surface_.calls.back(), "End 0");
}

TEST_F(WindowLogic, TicksReachTheCycleOnlyWhileTheTimerIsEnabledWithAPeriod) {
  frmMain& form = Start();
  form.Tick();  // design time: enabled, period 0
  EXPECT_EQ(surface_.calls.back(), "ignored tick");
  form.Click();
  EXPECT_EQ(form.timer_interval(), 4000);
  EXPECT_TRUE(form.timer_enabled());
  form.Tick();
  EXPECT_EQ(surface_.From("event tick").back(), "Status Orvan tracking");
  form.Click();
  EXPECT_FALSE(form.timer_enabled());
  EXPECT_EQ(form.timer_interval(), 4000);
  form.Tick();
  EXPECT_EQ(surface_.calls.back(), "ignored tick");
}

TEST_F(WindowLogic, DeferredEventsRunInTheOrderTheyFellDueAfterTheHandler) {
  frmMain& form = Start();
  form.Click();
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.Nest("Telescope", "tracking", "tick");
  observatory_.OnNest([&](const std::string& e) { e == "click" ? form.Click() : form.Tick(); });
  surface_.calls.clear();
  form.Tick();
  const auto& c = surface_.calls;
  ASSERT_GE(c.size(), 4u);
  EXPECT_EQ(c[0], "event tick");
  EXPECT_EQ(c[1], "deferred click");
  EXPECT_EQ(c[2], "deferred tick");
  // The click (a stop) runs first, so the deferred tick finds the timer off.
  const auto click = std::find(c.begin(), c.end(), "event click");
  ASSERT_NE(click, c.end());
  EXPECT_EQ(c.back(), "ignored tick");
  EXPECT_EQ(std::count(c.begin(), c.end(), "event tick"), 1);
}

}  // namespace
}  // namespace orvan
