#pragma once

// Which way a mount's guide pulses really move it. Many mounts (Debian's
// telescope simulator among them) move declination the other way on one side
// of the pier, so a pulse named north goes south there; some do it in right
// ascension. The program means a direction on the sky, so the INDI mount
// watches what its pulses do to the reported position and, as soon as one
// pulse plainly moves an axis the other way on a side of the pier, sends that
// axis' pulses the other way from then on: waiting for a second one would let
// the error grow past the re-capture limit first. A user who knows the mount
// says so up front (ReversedAxes); the watching goes on either way. No INDI
// here: the mount hands in what it reads.

#include <array>
#include <functional>
#include <optional>
#include <string>

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
};

class PulseSense {
 public:
  using Notice = std::function<void(const std::string&)>;

  // A pulse that moves an axis less than this (arc-seconds) is not judged:
  // reported positions carry that much noise and rounding.
  static constexpr double kFloorArcsec = 0.2;
  // ... nor one that moves it less than this part of what it should do ...
  static constexpr double kLeastPart = 0.5;
  // ... nor more than this many times it plus the floor: something else moved
  // the mount (a slew that came and went between two reads, tracking off, a
  // jolt), and one disturbed reading must not turn an axis.
  static constexpr double kMostTimes = 3.0;

  // `mount` names the mount in notices; `notice` is told each time an axis
  // is turned (may be empty). `west`, where given, is how the user says the
  // mount moves west of the pier (and that it moves as named east of it).
  PulseSense(std::string mount, Notice notice, std::optional<ReversedAxes> west = std::nullopt);

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
    bool told = false;  // as the user said, not yet seen otherwise
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
