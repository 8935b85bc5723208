#pragma once

// Which way a mount's guide pulses really move it. Many mounts (Debian's
// telescope simulator among them) move declination the other way on one side
// of the pier, so a pulse named north goes south there; some do it in right
// ascension. The program means a direction on the sky, so the INDI mount
// watches what its pulses do to the reported position and, where an axis
// moves the other way on a side of the pier, sends that axis' pulses the
// other way from then on. No INDI here: the mount hands in what it reads.

#include <array>
#include <functional>
#include <string>

#include "observatory/units.h"

namespace orvan::indi {

// TELESCOPE_PIER_SIDE; Unknown for a mount without it, which is then taken to
// have one side only.
enum class PierSide { Unknown, East, West };

// What the mount reported, as far as judging a pulse needs it.
struct MountReading {
  double ra_hours = 0;  // the mount's own, [0, 24)
  double dec_deg = 0;
  PierSide pier = PierSide::Unknown;
  bool slewing = false;
  bool tracking = true;
};

class PulseSense {
 public:
  using Notice = std::function<void(const std::string&)>;

  // A pulse moves an axis less than this (arc-seconds) and it is not judged:
  // reported positions carry that much noise and rounding.
  static constexpr double kFloorArcsec = 1.0;
  // ... nor when it moves less than this part of what the pulse should do.
  static constexpr double kLeastPart = 0.5;
  // ... nor more than this many times it plus the floor: something else moved
  // the mount (a slew that came and went between two reads, tracking off).
  static constexpr double kMostTimes = 3.0;
  // Judgements the other way, one after the other, before an axis is turned:
  // one noisy or disturbed reading must not turn it.
  static constexpr int kToTurn = 2;

  // `mount` names the mount in notices; `notice` is told each time an axis
  // is turned (may be empty).
  PulseSense(std::string mount, Notice notice);

  // The direction to send the mount for a pulse toward `sky` on the sky.
  GuideDirection ToMount(GuideDirection sky, PierSide pier) const;

  // A pulse toward `sky` of `ms` milliseconds at `rate_deg_per_s` (the axis'
  // guide rate) has just been sent, the mount reading `at_start`.
  void Sent(GuideDirection sky, double ms, double rate_deg_per_s, const MountReading& at_start);

  // The mount as now read. Judges each sent pulse whose axis no longer pulses
  // (`ra_pulsing`, `dec_pulsing`) and forgets it.
  void Read(const MountReading& now, bool ra_pulsing, bool dec_pulsing);

  // Forgets pulses not yet judged: the mount was sent elsewhere.
  void Forget();

  bool Reversed(bool dec, PierSide pier) const;

 private:
  struct Pending {
    bool set = false;
    MountReading start;
    double expected_arcsec = 0;  // signed: north, or east (right ascension growing)
  };
  struct Sense {
    bool reversed = false;
    int against = 0;  // judgements in a row that the pulses move the other way
  };
  static constexpr std::size_t kSides = 3;

  void Judge(bool dec, const Pending& pulse, const MountReading& now);
  void Turn(bool dec, PierSide pier);
  Sense& SenseOf(bool dec, PierSide pier);
  const Sense& SenseOf(bool dec, PierSide pier) const;

  std::string mount_;
  Notice notice_;
  std::array<Pending, 2> pending_{};                  // [0] right ascension, [1] declination
  std::array<std::array<Sense, kSides>, 2> sense_{};  // by axis, then pier side
};

}  // namespace orvan::indi
