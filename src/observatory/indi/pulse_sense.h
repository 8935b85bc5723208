#pragma once

// What a mount's guide pulses really do to it. Many mounts (Debian's
// telescope simulator among them) move declination the other way on one side
// of the pier, so a pulse named north goes south there; some do it in right
// ascension. Others do not move on a pulse at all: a guide port unplugged, a
// driver that ignores timed pulses. The program means a direction on the sky,
// so the INDI mount watches what its pulses do to the reported position, with
// the motion the mount shows between pulses (a drift) taken out:
// - The first pulse on a side of the pier that plainly moves an axis the other
//   way turns that axis' pulses there: waiting for a second one would let the
//   error grow past the re-capture limit first. Once a side has been seen to
//   move one way, it takes several pulses in a row, all the other way, to turn
//   it again, so that no one disturbed reading flips it back and forth.
// - Pulses that, over several pulses and a stated time, move an axis by much
//   less than they should are said once, and so is their working again.
// A user who knows the mount says so up front (ReversedAxes); the watching
// goes on either way. No INDI here: the mount hands in what it reads.

#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "observatory/mount_note.h"
#include "observatory/pier_side.h"
#include "observatory/units.h"

namespace orvan::indi {

// What the mount reported, as far as judging a pulse needs it.
struct MountReading {
  double ra_hours = 0;  // the mount's own, [0, 24)
  double dec_deg = 0;
  PierSide pier = PierSide::Unknown;
  bool slewing = false;
  bool tracking = true;
  std::chrono::steady_clock::time_point at{};  // when it was read
};

class PulseSense {
 public:
  using Notice = std::function<void(const MountNote&)>;

  // A pulse that moves an axis less than this (arc-seconds) is not judged:
  // reported positions carry that much noise and rounding.
  static constexpr double kFloorArcsec = 0.2;
  // ... nor one that moves it less than this part of what it should do ...
  static constexpr double kLeastPart = 0.5;
  // ... nor more than this many times it plus the floor: something else moved
  // the mount (a slew that came and went between two reads, tracking off, a
  // jolt), and one disturbed reading must not turn an axis.
  static constexpr double kMostTimes = 3.0;
  // Pulses in a row, each plainly the other way, that turn a side already seen.
  static constexpr int kTurnBackPulses = 3;
  // Pulses are said to have no effect when at least this many, over at least
  // this time and meant to move the axis at least this far in all, moved it
  // less than this part of it.
  static constexpr int kNoEffectPulses = 5;
  static constexpr double kNoEffectSeconds = 60;
  static constexpr double kNoEffectLeastArcsec = 5;
  static constexpr double kNoEffectPart = 0.25;
  // The drift is the motion between pulses over about this long a time; until
  // it has been seen for at least the least, no pulse is judged.
  static constexpr double kDriftSeconds = 120;
  static constexpr double kDriftLeastSeconds = 3;

  // `mount` names the mount in notices; `notice` is told each time an axis
  // is turned, and when its pulses stop or start moving it (may be empty). `west`, where given, is
  // how the user says the mount moves west of the pier (and that it moves as named east of it).
  PulseSense(std::string mount, Notice notice, std::optional<ReversedAxes> west = std::nullopt);

  // The direction to send the mount for a pulse toward `sky` on the sky.
  GuideDirection ToMount(GuideDirection sky, PierSide pier) const;

  // A pulse toward `sky` of `ms` milliseconds at `rate_deg_per_s` (the axis'
  // guide rate) has just been sent, the mount reading `at_start`.
  void Sent(GuideDirection sky, double ms, double rate_deg_per_s, const MountReading& at_start);

  // The mount as now read. Judges each sent pulse whose axis no longer pulses
  // (`ra_pulsing`, `dec_pulsing`) and forgets it; learns the drift from
  // readings with no pulse between them.
  void Read(const MountReading& now, bool ra_pulsing, bool dec_pulsing);

  // Forgets pulses not yet judged and the last reading: the mount was sent
  // elsewhere.
  void Forget();

  bool Reversed(bool dec, PierSide pier) const;
  // Whether the axis' pulses have been said to have no effect (and not yet
  // to work again).
  bool Ineffective(bool dec) const { return effect_[dec ? 1 : 0].said; }

 private:
  struct Pending {
    bool set = false;
    MountReading start;
    double expected_arcsec = 0;  // signed: north, or east (right ascension growing)
  };
  struct Sense {
    bool reversed = false;
    bool told = false;  // as the user said, not yet seen otherwise
    bool seen = false;  // a pulse has shown which way the side moves
    int against = 0;    // pulses in a row since, plainly the other way
  };
  // The motion between pulses: spans of time with the axis' readings' change.
  struct Drift {
    std::deque<std::pair<double, double>> spans;  // seconds, arc-seconds
    double seconds = 0;
    double arcsec = 0;
    bool quiet = true;  // no pulse since the last reading
    void Add(double span_s, double moved_arcsec);
    std::optional<double> PerSecond() const;
  };
  // Pulses judged since the last verdict on whether they move the axis.
  struct Effect {
    int pulses = 0;
    std::chrono::steady_clock::time_point first{};
    double expected_arcsec = 0;
    double moved_arcsec = 0;  // the way each pulse was meant, less the other
    bool said = false;        // said to have no effect
  };
  static constexpr std::size_t kSides = 3;

  void Judge(bool dec, const Pending& pulse, const MountReading& now);
  void JudgeDirection(bool dec, PierSide pier, double moved, double expected);
  void JudgeEffect(bool dec, double moved, double expected, const MountReading& now);
  void LearnDrift(const MountReading& now);
  void Turn(bool dec, PierSide pier);
  // `status`: what the window shows of the mount's pulses from now on.
  void Say(const std::string& what, std::optional<std::string> status = std::nullopt) const;
  // Which axes' pulses are said to have no effect, in a few words; empty for none.
  std::string EffectStatus() const;
  Sense& SenseOf(bool dec, PierSide pier);
  const Sense& SenseOf(bool dec, PierSide pier) const;

  std::string mount_;
  Notice notice_;
  std::array<Pending, 2> pending_{};                  // [0] right ascension, [1] declination
  std::array<std::array<Sense, kSides>, 2> sense_{};  // by axis, then pier side
  std::array<Drift, 2> drift_{};
  std::array<Effect, 2> effect_{};
  std::optional<MountReading> last_;
};

}  // namespace orvan::indi
