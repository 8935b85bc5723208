// play: a scenario played against the real program from another process,
// the way a user and the observatory would. What it sees: the observatory
// lines the stand-in logs, message boxes, the run-time error report, the end
// of the process, and in a dump the window's own state. Timer1 can't be seen
// from another process: a tick is expected while the button reads "Stop
// Orvaning" (the program's timer runs exactly then) and waited for up to one
// period and a margin.
#include <cstdio>
#include <thread>

#include "driver/jobs.h"
#include "driver/observatory_log.h"
#include "driver/output.h"
#include "driver/target.h"
#include "replay/transcript.h"
#include "standin_ending.h"
#include "ui/window_view.h"

namespace orvan::wine {
namespace {

using replay::Step;
using Clock = std::chrono::steady_clock;

// The window part of a dump that another process can see: all but Timer1, in
// the order of transcript::Dump.
constexpr ControlId kSeenInDump[] = {ControlId::Text1,      ControlId::Text2,  ControlId::Text3,
                                     ControlId::Text4,      ControlId::Text5,  ControlId::Text6,
                                     ControlId::Text7,      ControlId::Text8,  ControlId::Text9,
                                     ControlId::Text10,     ControlId::Text11, ControlId::Command1,
                                     ControlId::sbStatusBar};

class Player {
 public:
  // With `tell_status` the end is followed by the exit status, whatever it is.
  Player(Target& target, ObservatoryLog& log, bool tell_status)
      : target_(target), log_(log), tell_status_(tell_status) {}

  bool ended() const { return ended_; }

  // Waits until the program is idle: no message box up, the log still, the
  // thread back in its message loop (not waiting on a call to the stand-in's
  // server, which may yet fail). Message boxes are recorded and dismissed;
  // the end of the process is recorded.
  void Settle() {
    int quiet = 0;
    std::size_t last = static_cast<std::size_t>(-1);
    const auto deadline = Clock::now() + limits::kSettle;
    while (Clock::now() < deadline) {
      if (target_.Exited()) return Ended();
      if (HWND box = target_.Box()) {
        Dismiss(box);
        quiet = 0;
        continue;
      }
      if (!target_.Idle()) {
        if (target_.WaitExit(limits::kExitWhenBusy)) return Ended();
        quiet = 0;
        continue;
      }
      const std::size_t size = log_.Size();
      // A box may have come up while the thread came back to a loop.
      quiet = size == last && target_.Box() == nullptr && !target_.BoxInTransit() ? quiet + 1 : 0;
      last = size;
      if (quiet >= limits::kQuietLooks) {
        log_.Drain();
        return;
      }
      std::this_thread::sleep_for(limits::kSettlePoll);
    }
    Fail("the program did not settle");
  }

  // After start-up: the window shows, or start-up fails with a report.
  void SettleLoad() {
    const auto deadline = Clock::now() + limits::kLoad;
    while (Clock::now() < deadline) {
      if (target_.Exited() || target_.Box() || target_.MainVisible()) return Settle();
      std::this_thread::sleep_for(limits::kLoadPoll);
    }
    Fail("the window did not open");
  }

  // A tick: the next one falls due within a period of the last; its first
  // observatory access (every tick reads "slewing" first) marks its start.
  void Tick() {
    log_.Drain();
    if (target_.Text(ControlId::Command1) != texts::kStopCaption) {
      Out(transcript::IgnoredLine(Event::Tick));
      return;
    }
    const auto deadline = Clock::now() + limits::kTickWait;
    while (Clock::now() < deadline) {
      if (log_.Grew() || target_.Box() || target_.Exited()) {
        Out(transcript::EventLine(Event::Tick));
        return Settle();
      }
      std::this_thread::sleep_for(limits::kTickPoll);
    }
    Out(transcript::IgnoredLine(Event::Tick));
  }

  void Fail(const std::string& why) {
    log_.Drain();
    Out("!! driver: " + why);
    target_.Terminate();
    ended_ = true;
  }

  void Dump() {
    Out(transcript::DumpLine());
    for (ControlId c : kSeenInDump)
      for (Property p : WindowModel::PropertiesOf(c)) Out(State(c, p));
  }

 private:
  std::string State(ControlId c, Property p) const {
    switch (p) {
      case Property::Enabled: {
        HWND h = target_.Item(c);
        return transcript::StateLine(c, p, h != nullptr && ::IsWindowEnabled(h));
      }
      case Property::SimpleText:
        return transcript::StateLine(c, p, target_.StatusText());
      default:
        return transcript::StateLine(c, p, target_.Text(c));
    }
  }

  void Dismiss(HWND box) {
    log_.Drain();
    std::string text;
    HWND ok = nullptr;
    for (HWND child : Children(box)) {
      const std::wstring cls = ClassName(child);
      // The first static with a text; the icon's has none.
      if (_wcsicmp(cls.c_str(), L"Static") == 0 && text.empty())
        text = win::Narrow(RemoteText(child));
      if (_wcsicmp(cls.c_str(), L"Button") == 0 && ::GetDlgCtrlID(child) == IDOK) ok = child;
    }
    Error error(0, "");
    if (ParseErrorReportText(text, error)) {
      Out(transcript::ErrorLine(error));
      reported_error_ = true;
    } else {
      Out(transcript::MsgBoxLine(text));
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    const auto deadline = Clock::now() + limits::kDismiss;
    while (::IsWindow(box) && ::IsWindowVisible(box) && Clock::now() < deadline)
      std::this_thread::sleep_for(limits::kDismissPoll);
  }

  void Ended() {
    log_.Drain();
    Out(transcript::EndLine());
    const DWORD code = target_.ExitCode();
    // Otherwise only a surprise is told: a report ends the program with
    // status 1, a close with 0.
    if (tell_status_)
      Out("exit status " + std::to_string(code));
    else if (code != (reported_error_ ? 1u : 0u))
      Out("!! exit status " + std::to_string(code));
    ended_ = true;
  }

  Target& target_;
  ObservatoryLog& log_;
  const bool tell_status_;
  bool ended_ = false;
  bool reported_error_ = false;
};

// The user types into a box: its text replaced as a whole, as the program's
// window sees a change.
void Type(Target& target, Player& player, const Step& s) {
  HWND box = target.Item(s.box);
  if (box == nullptr || !::IsWindowEnabled(box)) {
    Out(transcript::TypeIgnoredLine(s.box));
    return;
  }
  Out(transcript::TypeLine(s.box, s.text));
  const std::wstring text = win::Widen(s.text);
  DWORD_PTR r = 0;
  ::SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        limits::Ms(limits::kRoundTrip), &r);
  player.Settle();
}

// An event of a loaded program, given to its window as a user would.
void PlayAfterLoad(Target& target, Player& player, const Step& s) {
  switch (s.type) {
    case Step::Type::TypeText:
      Type(target, player, s);
      break;
    case Step::Type::Click:
      Out(transcript::EventLine(Event::Click));
      ::PostMessageW(target.Item(ControlId::Command1), BM_CLICK, 0, 0);
      player.Settle();
      break;
    case Step::Type::Tick:
      player.Tick();
      break;
    case Step::Type::Close:
      Out(transcript::EventLine(Event::Close));
      ::PostMessageW(target.Main(), WM_CLOSE, 0, 0);
      player.Settle();
      break;
    case Step::Type::Dump:
      player.Dump();
      break;
    default:
      break;
  }
}

// False, said on the error stream, for a scenario with `nest`, which needs a
// hand inside the program; otherwise the user's decimal separator it asks for.
bool PlayableFromOutside(const std::vector<Step>& steps, char& decimal) {
  for (const Step& s : steps) {
    if (s.type == Step::Type::Nest) {
      std::fprintf(stderr, "line %d: nest is out of reach of a driver outside the program\n",
                   s.line);
      return false;
    }
    if (s.type == Step::Type::Decimal) decimal = s.decimal;
  }
  return true;
}

// The stand-in's files for a new run of `scenario` in `work`: its log (and
// record of calls) empty, the clock at the first event.
StandinConfig FreshConfig(const std::wstring& scenario, const std::wstring& work, Record record) {
  StandinConfig config{
      scenario, work + L"\\observatory.log", work + L"\\clock", SideFileOf(scenario), {}, {}, {}};
  ::DeleteFileW(config.log.c_str());
  WriteAtomically(config.clock, "0");
  if (record == Record::Calls) {
    config.calls = work + L"\\calls";
    ::DeleteFileW(config.calls.c_str());
  }
  return config;
}

}  // namespace

int Play(const std::wstring& exe, const std::wstring& scenario, const std::wstring& work,
         Record record, const Arguments& args) {
  std::vector<Step> steps;
  if (!LoadScenario(scenario, steps)) return 2;
  char decimal = '.';
  if (!PlayableFromOutside(steps, decimal)) return 3;
  SetDecimalSeparator(decimal);

  StandinConfig config = FreshConfig(scenario, work, record);
  HandToStandin(config, work);

  Target target;
  ObservatoryLog log(config.log);
  Player player(target, log, args.has_value());
  bool started = false;
  int index = 0;
  // A local server the side file ends before an event is gone before the
  // event is played: it looks at the clock only every few milliseconds.
  const int server_gone_at = ReadEnding(ReadAll(config.ending), steps).event;
  for (const Step& s : steps) {
    if (player.ended()) break;
    if (!s.IsEvent()) continue;
    WriteAtomically(config.clock, std::to_string(index));
    if (index++ == server_gone_at && !StandinServerEnded()) {
      Out("!! driver: the stand-in's server did not end before the event");
      return 4;
    }
    if (s.type != Step::Type::Load && !started) {
      std::fprintf(stderr, "line %d: an event before load\n", s.line);
      return 2;
    }
    log.Drain();  // anything that happened unasked shows before the event
    if (s.type != Step::Type::Load) {
      PlayAfterLoad(target, player, s);
      continue;
    }
    Out(transcript::EventLine(Event::Load));
    // A local server ends with the program it serves.
    if (!target.Start(exe, args.value_or(std::vector<std::wstring>{}), [&](DWORD pid) {
          config.client = std::to_wstring(pid);
          HandToStandin(config, work);
        })) {
      std::fprintf(stderr, "cannot start the program (error %lu)\n", ::GetLastError());
      return 1;
    }
    started = true;
    player.SettleLoad();
  }
  if (started && !player.ended()) {
    // The scenario is over; the program goes without a word.
    log.Drain();
    ::PostMessageW(target.Main(), WM_CLOSE, 0, 0);
    if (!target.WaitExit(limits::kExit)) target.Terminate();
  }
  // A local server lives as long as the program's objects; the next scenario
  // must not find this one's.
  if (!StandinServerEnded()) {
    Out("!! driver: the stand-in's server did not end");
    return 4;
  }
  return 0;
}

}  // namespace orvan::wine
