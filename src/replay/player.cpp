#include "replay/player.h"

#include <optional>

#include "observatory/scripted/scripted_observatory.h"
#include "support/numtext.h"
#include "ui/controls.h"
#include "ui/frmMain.h"

namespace orvan::replay {
namespace {

std::string BoxName(int box) {
  return "Text" + std::to_string(box);
}
const char* Bool(bool b) {
  return b ? "true" : "false";
}

}  // namespace

Recorder::Recorder(LineSink out, char decimal)
    : out_(std::move(out)),
      decimal_(decimal),
      caption_(controls::kStartCaption),
      interval_(controls::kTimerDesignInterval),
      timer_enabled_(controls::Find("Timer1")->enabled),
      status_(controls::kIdleStatus) {
  for (int box = 1; box <= controls::kTextBoxCount; ++box) {
    const controls::Control* c = controls::Find(BoxName(box));
    texts_[box] = std::string(c->text);
    enabled_[box] = c->enabled;
  }
}

void Recorder::SetText(int box, std::string_view text) {
  out_("set " + BoxName(box) + ".Text " + Quote(text));
  texts_[box] = std::string(text);
}

std::string Recorder::Text(int box) {
  return texts_[box];
}

void Recorder::SetEnabled(int box, bool enabled) {
  out_("set " + BoxName(box) + ".Enabled " + Bool(enabled));
  enabled_[box] = enabled;
}

void Recorder::SetCaption(std::string_view caption) {
  out_("set Command1.Caption " + Quote(caption));
  caption_ = std::string(caption);
}

void Recorder::SetTimerInterval(std::int32_t milliseconds) {
  out_("set Timer1.Interval " + std::to_string(milliseconds));
  interval_ = milliseconds;
}

void Recorder::SetTimerEnabled(bool enabled) {
  out_(std::string("set Timer1.Enabled ") + Bool(enabled));
  timer_enabled_ = enabled;
}

void Recorder::SetStatusText(std::string_view text) {
  out_("set sbStatusBar.SimpleText " + Quote(text));
  status_ = std::string(text);
}

void Recorder::MessageBox(std::string_view text) {
  out_("msgbox " + Quote(text));
  const auto nests = std::move(msgbox_nests_);
  msgbox_nests_.clear();
  for (const auto& deliver : nests) deliver();
}

void Recorder::ShowErrorReport(const Error& error) {
  out_("error " + HexNumber(error.number()) + " " + Quote(error.description()));
}

void Recorder::EndProgram(int) {
  out_("end");
  ended_ = true;
}

void Recorder::EventStarted(Event e) {
  out_("event " + std::string(EventName(e)));
}
void Recorder::EventIgnored(Event e) {
  out_("ignored " + std::string(EventName(e)) + " (timer off)");
}
void Recorder::EventDeferred(Event e) {
  out_("nested " + std::string(EventName(e)) + " (deferred)");
}

void Recorder::DumpWindow() const {
  for (int box = 1; box <= controls::kTextBoxCount; ++box) {
    out_("state " + BoxName(box) + ".Text " + Quote(texts_[box]));
    out_("state " + BoxName(box) + ".Enabled " + Bool(enabled_[box]));
  }
  out_("state Command1.Caption " + Quote(caption_));
  out_("state Timer1.Interval " + std::to_string(interval_));
  out_(std::string("state Timer1.Enabled ") + Bool(timer_enabled_));
  out_("state sbStatusBar.SimpleText " + Quote(status_));
}

namespace {

void DumpTracker(const TrackerState& s, const std::function<void(const std::string&)>& out) {
  auto b = [&](const char* name, Bool16 v) {
    out(std::string("state ") + name + " " + Bool(bool(v)));
  };
  auto o = [&](const char* name, const Value& v) {
    out(std::string("state ") + name + (v.IsObject() ? " object" : " nothing"));
  };
  auto r = [&](const char* name, double v) {
    out(std::string("state ") + name + " " + ShortestText(v));
  };
  b("TrackingActive", s.TrackingActive);
  o("AcpUtil", s.AcpUtil);
  o("AcpTelescope", s.AcpTelescope);
  r("CurrentScopeRA", s.CurrentScopeRA);
  r("CurrentScopeDec", s.CurrentScopeDec);
  r("TargetScopeRA", s.TargetScopeRA);
  r("TargetScopeDec", s.TargetScopeDec);
  r("CurrentTrueRA", s.CurrentTrueRA);
  r("CurrentTrueDec", s.CurrentTrueDec);
  r("TargetTrueRA", s.TargetTrueRA);
  r("TargetTrueDec", s.TargetTrueDec);
  r("ErrorRA", s.ErrorRA);
  r("ErrorDec", s.ErrorDec);
  r("GuideRateRA", s.GuideRateRA);
  r("GuideRateDec", s.GuideRateDec);
  r("PulseDurationRA", s.PulseDurationRA);
  r("PulseDurationDec", s.PulseDurationDec);
  r("MaxErrorArcsec", s.MaxErrorArcsec);
  out("state DriverInterfaceVersion " + std::to_string(s.DriverInterfaceVersion));
  b("TargetStale", s.TargetStale);
}

}  // namespace

namespace {

// The recorder and a real window side by side: writes reach both, reads and
// everything modal stay with the recorder, so the transcript is the same.
class TeeSurface final : public Surface {
 public:
  TeeSurface(Recorder& recorder, Surface& window) : recorder_(recorder), window_(window) {}

  void SetText(int box, std::string_view text) override {
    recorder_.SetText(box, text);
    window_.SetText(box, text);
  }
  std::string Text(int box) override { return recorder_.Text(box); }
  void SetEnabled(int box, bool enabled) override {
    recorder_.SetEnabled(box, enabled);
    window_.SetEnabled(box, enabled);
  }
  void SetCaption(std::string_view caption) override {
    recorder_.SetCaption(caption);
    window_.SetCaption(caption);
  }
  void SetTimerInterval(std::int32_t milliseconds) override {
    recorder_.SetTimerInterval(milliseconds);
    window_.SetTimerInterval(milliseconds);
  }
  void SetTimerEnabled(bool enabled) override {
    recorder_.SetTimerEnabled(enabled);
    window_.SetTimerEnabled(enabled);
  }
  void SetStatusText(std::string_view text) override {
    recorder_.SetStatusText(text);
    window_.SetStatusText(text);
  }
  char DecimalSeparator() override { return recorder_.DecimalSeparator(); }
  void Show() override { window_.Show(); }
  void MessageBox(std::string_view text) override { recorder_.MessageBox(text); }
  void HaltTimer() override {
    recorder_.HaltTimer();
    window_.HaltTimer();
  }
  void ShowErrorReport(const Error& error) override { recorder_.ShowErrorReport(error); }
  void EndProgram(int exit_status) override {
    recorder_.EndProgram(exit_status);
    window_.EndProgram(exit_status);
  }
  void EventStarted(Event e) override { recorder_.EventStarted(e); }
  void EventIgnored(Event e) override { recorder_.EventIgnored(e); }
  void EventDeferred(Event e) override { recorder_.EventDeferred(e); }

 private:
  Recorder& recorder_;
  Surface& window_;
};

}  // namespace

void Play(const std::vector<Step>& steps, const std::function<void(const std::string&)>& out,
          const PlayHooks& hooks) {
  char decimal = '.';
  for (const Step& s : steps)
    if (s.type == Step::Type::Decimal) decimal = s.decimal;

  ScriptedObservatory observatory(out);
  Recorder recorder(out, decimal);
  frmMain* form = nullptr;
  std::optional<TeeSurface> tee;
  if (hooks.window) tee.emplace(recorder, *hooks.window);
  Surface& surface = tee ? static_cast<Surface&>(*tee) : recorder;
  auto deliver = [&](const std::string& event) {
    if (!form) return;
    if (hooks.nest) return hooks.nest(event);
    if (event == "click") form->Click();
    if (event == "tick") form->Tick();
  };
  observatory.OnNest(deliver);

  for (const Step& s : steps) {
    if (recorder.ended()) break;
    switch (s.type) {
      case Step::Type::Decimal:
        break;
      case Step::Type::Answer:
        observatory.Answer(s.object, s.member, s.values);
        break;
      case Step::Type::AnswerMapping:
        observatory.AnswerMapping(s.pairs);
        break;
      case Step::Type::Raise:
        observatory.Raise(s.object, s.member, s.number, s.text);
        break;
      case Step::Type::NoCreate:
        observatory.NoCreate(s.text);
        break;
      case Step::Type::Nest:
        if (s.object == "msgbox")
          recorder.NestOnMessageBox([&deliver, event = s.text] { deliver(event); });
        else
          observatory.Nest(s.object, s.member, s.text);
        break;
      case Step::Type::Load:
        form = &Module1::Main(surface, observatory);
        break;
      case Step::Type::TypeText:
        if (!recorder.Enabled(s.box)) {
          out("ignored type " + BoxName(s.box) + " (disabled)");
        } else {
          out("event type " + BoxName(s.box) + " " + Quote(s.text));
          recorder.Type(s.box, s.text);
        }
        break;
      case Step::Type::Click:
        form->Click();
        break;
      case Step::Type::Tick:
        form->Tick();
        break;
      case Step::Type::Close:
        form->Close();
        break;
      case Step::Type::Dump:
        out("event dump");
        recorder.DumpWindow();
        DumpTracker(form->state, out);
        break;
    }
  }
  // The window refers to this observatory and recorder: it goes with them.
  Module1::MainForm.reset();
}

std::vector<std::string> PlayText(std::string_view scenario) {
  const std::vector<Step> steps = ParseScenario(scenario);
  std::vector<std::string> lines;
  Play(steps, [&](const std::string& l) { lines.push_back(l); });
  return lines;
}

}  // namespace orvan::replay
