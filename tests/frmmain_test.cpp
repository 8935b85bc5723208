// The window logic's start-up, shut-down and event delivery, seen through a
// surface that records every call in order.
#include <gtest/gtest.h>

#include "observatory/scripted/scripted_observatory.h"
#include "ui/frmMain.h"
#include "ui/model_subscription.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace orvan {
namespace {

// A view that logs every call and every announced write, in order.
class CallLog final : public WindowView, public WindowModelObserver {
 public:
  std::vector<std::string> calls;
  std::vector<bool> bound;  // each Bind: to a window (true) or let go (false)
  WindowModel* model = nullptr;
  WindowInput* input = nullptr;
  ModelSubscription subscription{*this};

  char UserDecimalSeparator() override { return '.'; }
  void Bind(WindowModel* m, WindowInput* in) override {
    bound.push_back(m != nullptr);
    model = m;
    input = in;
    subscription.Follow(m);
  }
  void Written(ControlId c, Property p, Cause cause) override {
    std::string line = (cause == Cause::Halt ? "Halt " : "") + std::string(controls::Of(c).name) +
                       "." + std::string(PropertyName(p));
    if (c == ControlId::Timer1 && p == Property::Enabled)
      line = model->Enabled(c) ? "TimerOn" : (cause == Cause::Halt ? "HaltTimer" : "TimerOff");
    else if (p == Property::SimpleText)
      line = "Status " + model->Text(c);
    else if (p == Property::Caption)
      line = "SetCaption " + model->Text(c);
    calls.push_back(line);
  }
  void Show() override { calls.emplace_back("Show"); }
  void MessageBox(std::string_view t) override { calls.push_back("MessageBox " + std::string(t)); }
  void ErrorReport(const Error& e) override {
    calls.push_back("ErrorReport " + HexNumber(e.number()) + " " + e.description());
  }
  void End(int status) override { calls.push_back("End " + std::to_string(status)); }
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
  frmMain& Start() { return Module1::Main(form_, view_, observatory_); }

  CallLog view_;
  std::vector<std::string> observatory_lines_;
  ScriptedObservatory observatory_;
  std::unique_ptr<frmMain> form_;  // last: it refers to the view and the observatory
};

TEST_F(WindowLogic, LoadConnectsReadsTheVersionWritesNothingToTheWindowThenShows) {
  frmMain& form = Start();
  EXPECT_EQ(view_.calls, (std::vector<std::string>{"event load", "Show"}));
  EXPECT_EQ(observatory_lines_,
            (std::vector<std::string>{"create ACP.Util", "create ACP.Telescope",
                                      "put Telescope.Connected bool:true",
                                      "get Telescope.InterfaceVersion -> i2:2"}));
  EXPECT_EQ(form.state.DriverInterfaceVersion, 2);
  EXPECT_TRUE(form.state.AcpUtil.IsObject());
  EXPECT_TRUE(form.state.AcpTelescope.IsObject());
  EXPECT_EQ(form_.get(), &form);
}

// Main on a reference that holds a window already: the old window lets go of
// the view before the new one binds it.
TEST_F(WindowLogic, MainReplacesAWindowHeldBeforeOnceItHasLetGoOfTheView) {
  Start();
  frmMain& second = Start();
  EXPECT_EQ(view_.bound, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(form_.get(), &second);
  EXPECT_EQ(view_.input, &second);
}

TEST_F(WindowLogic, FailedLoadReportsWithTheTimerHaltedFirstAndNeverShows) {
  observatory_.NoCreate("ACP.Telescope");
  frmMain& form = Start();
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"event load", "HaltTimer",
                                      "ErrorReport 0x800401F3 Invalid class string", "End 1"}));
  EXPECT_TRUE(form.ended());
  EXPECT_TRUE(form.state.AcpUtil.IsObject());  // created before the failure, kept
  EXPECT_FALSE(form.state.AcpTelescope.IsObject());
  form.Click();
  form.Tick();
  form.Close();
  EXPECT_EQ(view_.calls.size(), 4u);  // nothing runs after the end
}

TEST_F(WindowLogic, ErrorInATickHaltsTheTimerBeforeTheReportAndDropsDeferredEvents) {
  frmMain& form = Start();
  form.Click();
  ASSERT_TRUE(form.model().Ticking());
  observatory_.Raise("Telescope", "slewing", 0x80040401, "Mount not responding");
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.OnNest([&](const std::string&) { form.Click(); });
  form.Tick();
  EXPECT_EQ(view_.From("event tick"),
            (std::vector<std::string>{"event tick", "deferred click", "HaltTimer",
                                      "ErrorReport 0x80040401 Mount not responding", "End 1"}));
  EXPECT_FALSE(form.model().Ticking());
}

TEST_F(WindowLogic, CloseStopsNothingAndEndsWithStatusZero) {
  frmMain& form = Start();
  form.Click();
  const std::size_t lines = observatory_lines_.size();
  form.Close();
  EXPECT_EQ(view_.From("event close"), (std::vector<std::string>{"event close", "End 0"}));
  EXPECT_EQ(observatory_lines_.size(), lines);  // no disconnect
  EXPECT_TRUE(form.ended());
  form.Tick();
  EXPECT_EQ(view_.calls.back(), "End 0");
}

TEST_F(WindowLogic, TicksReachTheCycleOnlyWhileTheTimerIsEnabledWithAPeriod) {
  frmMain& form = Start();
  form.Tick();  // design time: enabled, period 0
  EXPECT_EQ(view_.calls.back(), "ignored tick");
  form.Click();
  EXPECT_EQ(form.model().TimerInterval(), 4000);
  EXPECT_TRUE(form.model().Enabled(ControlId::Timer1));
  form.Tick();
  EXPECT_EQ(view_.From("event tick").back(), "Status Orvan tracking");
  form.Click();
  EXPECT_FALSE(form.model().Enabled(ControlId::Timer1));
  EXPECT_EQ(form.model().TimerInterval(), 4000);
  form.Tick();
  EXPECT_EQ(view_.calls.back(), "ignored tick");
}

TEST_F(WindowLogic, DeferredEventsRunInTheOrderTheyFellDueAfterTheHandler) {
  frmMain& form = Start();
  form.Click();
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.Nest("Telescope", "tracking", "tick");
  observatory_.OnNest([&](const std::string& e) { e == "click" ? form.Click() : form.Tick(); });
  view_.calls.clear();
  form.Tick();
  const auto& c = view_.calls;
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

TEST_F(WindowLogic, ASecondStartOnTheSameViewLeavesItBoundToTheNewWindow) {
  Start();
  frmMain& second = Start();
  ASSERT_NE(view_.model, nullptr);
  EXPECT_EQ(view_.model, &second.model());
  EXPECT_EQ(view_.input, static_cast<WindowInput*>(&second));
}

TEST_F(WindowLogic, ATickDueBeforeAStopIsDroppedThoughAStartReArmsTheTimer) {
  frmMain& form = Start();
  form.Click();
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.Nest("Telescope", "slewing", "click");
  observatory_.Nest("Telescope", "slewing", "tick");
  observatory_.OnNest([&](const std::string& e) { e == "click" ? form.Click() : form.Tick(); });
  view_.calls.clear();
  form.Tick();
  const auto& c = view_.calls;
  ASSERT_GE(c.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(c.begin(), c.begin() + 4),
            (std::vector<std::string>{"event tick", "deferred click", "deferred click",
                                      "deferred tick"}));
  EXPECT_EQ(std::count(c.begin(), c.end(), "event click"), 2);
  EXPECT_EQ(c.back(), "ignored tick");
  EXPECT_TRUE(form.model().Ticking());  // the new run goes on, a full period from its start
  const std::size_t before = c.size();
  form.Tick();
  ASSERT_GT(c.size(), before);
  EXPECT_EQ(c[before], "event tick");
  EXPECT_EQ(c.back(), "Status Orvan tracking");
}

// An observatory whose objects fail in ways no automation server reports.
class ThrowingObject final : public AutomationObject {
 public:
  explicit ThrowingObject(std::function<void()> fail) : fail_(std::move(fail)) {}
  Value Get(std::string_view member) override {
    if (member == "slewing") fail_();
    if (member == "tracking") return Value::Bool(true);
    if (member == "InterfaceVersion") return Value::I2(1);
    return Value::Bool(true);
  }
  void Put(std::string_view, const Value&) override {}
  Value Call(std::string_view, std::span<Argument>) override { return Value(); }

 private:
  std::function<void()> fail_;
};

class ThrowingFactory final : public AutomationFactory {
 public:
  explicit ThrowingFactory(std::function<void()> fail) : fail_(std::move(fail)) {}
  std::shared_ptr<AutomationObject> Create(std::string_view) override {
    return std::make_shared<ThrowingObject>(fail_);
  }

 private:
  std::function<void()> fail_;
};

// What a tick ends in when the observatory's "slewing" throws `fail`.
std::vector<std::string> TickThrowing(std::function<void()> fail) {
  CallLog view;
  ThrowingFactory factory(std::move(fail));
  std::unique_ptr<frmMain> main_form;
  frmMain& form = Module1::Main(main_form, view, factory);
  form.Click();
  form.Tick();
  form.Click();  // nothing runs after the end
  EXPECT_TRUE(form.ended());
  EXPECT_EQ(form.exit_status(), 1);
  return view.From("event tick");
}

TEST(ForeignExceptions, EndInTheRunTimeErrorReportLikeAnAutomationError) {
  auto expect = [&](const std::string& report) {
    return std::vector<std::string>{"event tick", "HaltTimer", report, "End 1"};
  };
  EXPECT_EQ(TickThrowing([] { throw std::runtime_error("mount driver lost its mind"); }),
            expect("ErrorReport 0x80004005 mount driver lost its mind"));
  EXPECT_EQ(TickThrowing([] { throw std::bad_alloc(); }),
            expect("ErrorReport 0x8007000E Out of memory"));
  EXPECT_EQ(TickThrowing([] { throw 42; }), expect("ErrorReport 0x80004005 Unspecified error"));
  EXPECT_EQ(TickThrowing([] { throw std::logic_error(""); }),
            expect("ErrorReport 0x80004005 Unspecified error"));
}

// A view whose rendering of the status bar fails, as a window system can.
class FailingStatusView final : public WindowView, public WindowModelObserver {
 public:
  std::vector<std::string> calls;
  bool fail_report = false;
  ModelSubscription subscription{*this};
  char UserDecimalSeparator() override { return '.'; }
  void Bind(WindowModel* m, WindowInput*) override { subscription.Follow(m); }
  void Written(ControlId c, Property, Cause) override {
    if (c == ControlId::sbStatusBar) throw std::out_of_range("no status bar");
  }
  void Show() override {}
  void MessageBox(std::string_view) override {}
  void ErrorReport(const Error& e) override {
    calls.push_back("ErrorReport " + e.description());
    if (fail_report) throw std::runtime_error("no report either");
  }
  void End(int status) override { calls.push_back("End " + std::to_string(status)); }
};

TEST(ForeignExceptions, AFailingViewEndsTheProgramEvenWhenItsReportFailsToo) {
  for (bool fail_report : {false, true}) {
    FailingStatusView view;
    view.fail_report = fail_report;
    ScriptedObservatory observatory([](const std::string&) {});
    std::unique_ptr<frmMain> main_form;
    frmMain& form = Module1::Main(main_form, view, observatory);
    form.Click();
    form.Tick();  // the first status write throws
    EXPECT_EQ(view.calls, (std::vector<std::string>{"ErrorReport no status bar", "End 1"}));
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(form.exit_status(), 1);
    form.Close();  // delivery is not left blocked, and nothing runs after the end
    EXPECT_EQ(view.calls.size(), 2u);
  }
}

}  // namespace
}  // namespace orvan
