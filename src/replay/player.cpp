#include "replay/player.h"

#include <optional>

#include "observatory/scripted/scripted_observatory.h"
#include "replay/apply.h"
#include "replay/transcript.h"
#include "ui/frmMain.h"

namespace orvan::replay {

Recorder::Recorder(LineSink out, char decimal) : out_(std::move(out)), decimal_(decimal) {}

Recorder::~Recorder() = default;

void Recorder::Bind(WindowModel* model, WindowInput*) {
  model_ = model;
  subscription_.Follow(model);
}

void Recorder::Written(ControlId control, Property property, Cause cause) {
  // Only the program's writes are transcript lines; typing is an event.
  if (cause == Cause::Program) out_(transcript::SetLine(*model_, control, property));
}

void Recorder::MessageBox(std::string_view text) {
  out_(transcript::MsgBoxLine(text));
  const auto nests = std::move(msgbox_nests_);
  msgbox_nests_.clear();
  for (const auto& deliver : nests) deliver();
}

void Recorder::ErrorReport(const Error& error) {
  out_(transcript::ErrorLine(error));
}

void Recorder::End(int) {
  out_(transcript::EndLine());
  ended_ = true;
}

void Recorder::EventStarted(Event e) {
  out_(transcript::EventLine(e));
}
void Recorder::EventIgnored(Event e) {
  out_(transcript::IgnoredLine(e));
}
void Recorder::EventDeferred(Event e) {
  out_(transcript::DeferredLine(e));
}

namespace {

// The recorder and a real window side by side: both render the model; what
// is modal, and the user's decimal separator, stay with the recorder, so the
// transcript is the same.
class TeeView final : public WindowView {
 public:
  TeeView(Recorder& recorder, WindowView& window) : recorder_(recorder), window_(window) {}

  char UserDecimalSeparator() override { return recorder_.UserDecimalSeparator(); }
  void Bind(WindowModel* model, WindowInput* input) override {
    recorder_.Bind(model, input);
    window_.Bind(model, input);
  }
  void Show() override { window_.Show(); }
  void MessageBox(std::string_view text) override { recorder_.MessageBox(text); }
  void ErrorReport(const Error& error) override { recorder_.ErrorReport(error); }
  void End(int exit_status) override {
    recorder_.End(exit_status);
    window_.End(exit_status);
  }
  void EventStarted(Event e) override { recorder_.EventStarted(e); }
  void EventIgnored(Event e) override { recorder_.EventIgnored(e); }
  void EventDeferred(Event e) override { recorder_.EventDeferred(e); }

 private:
  Recorder& recorder_;
  WindowView& window_;
};

}  // namespace

void Play(const std::vector<Step>& steps, const LineSink& out, const PlayHooks& hooks) {
  char decimal = '.';
  for (const Step& s : steps)
    if (s.type == Step::Type::Decimal) decimal = s.decimal;

  ScriptedObservatory observatory(out);
  Recorder recorder(out, decimal);
  std::optional<TeeView> tee;
  if (hooks.window) tee.emplace(recorder, *hooks.window);
  WindowView& view = tee ? static_cast<WindowView&>(*tee) : recorder;
  // The window refers to this observatory and view: it goes before them.
  std::unique_ptr<frmMain> main_form;
  // Events fall due on the main window once it exists, during its load
  // handler too (where they are deferred like any other).
  auto deliver = [&](const std::string& event) {
    if (!main_form) return;
    if (hooks.nest) return hooks.nest(event);
    if (event == "click") main_form->Click();
    if (event == "tick") main_form->Tick();
  };
  observatory.OnNest(deliver);

  frmMain* form = nullptr;
  for (const Step& s : steps) {
    if (recorder.ended()) break;
    if (ApplyDirective(s, observatory)) continue;
    switch (s.type) {
      case Step::Type::Nest:  // on the message box
        recorder.NestOnMessageBox([&deliver, event = s.text] { deliver(event); });
        break;
      case Step::Type::Load:
        form = &Module1::Main(main_form, view, observatory, hooks.log ? hooks.log() : nullptr);
        form->HearPositionsFrom(hooks.news);
        break;
      case Step::Type::TypeText:
        if (form->Type(s.box, s.text))
          out(transcript::TypeLine(s.box, s.text));
        else
          out(transcript::TypeIgnoredLine(s.box));
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
        out(transcript::DumpLine());
        for (const std::string& line : transcript::Dump(form->model(), form->state)) out(line);
        break;
      default:  // decimal: read before the start
        break;
    }
  }
}

std::vector<std::string> PlayText(std::string_view scenario) {
  const std::vector<Step> steps = ParseScenario(scenario);
  std::vector<std::string> lines;
  Play(steps, [&](const std::string& l) { lines.push_back(l); });
  return lines;
}

}  // namespace orvan::replay
