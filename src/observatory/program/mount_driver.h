#pragma once

#include "observatory/units.h"
#include "pointing/sky.h"

namespace orvan::program {

// A sky or axis position: right ascension in hours, declination in degrees.
using pointing::RaDec;

// Where a mount stands on the Earth.
struct Location {
  double latitude_deg;
  double longitude_deg;  // east positive, (-180, 180]
  double elevation_m;
};

// Tracking rates for model tracking, arc-seconds per second: `ra` is how fast
// the hour angle grows (sidereal: kSiderealDegPerSecond in arc-seconds),
// `dec` is northward on the sky.
struct TrackRates {
  double ra;
  double dec;
};

// Which axes follow custom rates.
struct RateAxes {
  bool ra = false;
  bool dec = false;
};

// What a mount can do, as its driver finds it now: a driver may learn more
// (a device defining a property late) or less (a mount refusing a rate).
struct MountCapabilities {
  // Takes timed guide pulses on both axes.
  bool pulse_guiding = false;
  // Tells which side of the pier it is on.
  bool side_of_pier = false;
  // Tracks at custom rates on these axes (right ascension first: a mount
  // without it has none), each within its limit: how far a rate may lie
  // from sidereal in right ascension, or from zero in declination, in
  // arc-seconds per second; 0 where it allows no room.
  RateAxes custom_rates;
  double ra_rate_limit = 0;
  double dec_rate_limit = 0;
};

// An equatorial mount as the observatory program drives it, whatever carries
// the commands: the simulated mount, or a real one over INDI. Positions are
// the mount's own (its axes as it reports them); the program maps them to
// the sky with its pointing model.
//
// The contract every driver keeps:
// - Calls come from the one user-interface thread, one at a time.
// - Reads answer from what the mount last reported and do not wait for the
//   mount, except to bring a connection up. What they return is checked:
//   complete, finite, in range (right ascension in [0, 24), declination and
//   latitude in [-90, 90], guide rates above zero) and reported by a mount
//   in a good state; anything else raises instead of being returned.
// - Writes (SetConnected, SetTracking, SlewTo, the guide rates, PulseGuide)
//   wait for the mount's own answer to that write, within a stated limit:
//   the value taking effect (a state of Ok), or the mount starting the work
//   (Busy: a slew or a pulse that then runs on). An answer of Alert is a
//   refusal and raises; no answer within the limit raises, and a pulse whose
//   answer did not come is stopped before the error is raised.
// - Every failure raises orvan::Error with a number from the program's error
//   table and a text naming what failed (property, element, value); nothing
//   is retried within a call.
class MountDriver {
 public:
  virtual ~MountDriver() = default;

  virtual bool Connected() = 0;
  virtual void SetConnected(bool on) = 0;

  virtual Location Site() = 0;
  virtual RaDec Axes() = 0;
  // Whether a German mount is on the side through the pole (on INDI,
  // TELESCOPE_PIER_SIDE's PIER_WEST: the telescope east of the meridian).
  // Its axes then read a position whose mechanical hour angle lies 12 h on
  // and whose declination axis has turned past the pole, and the program
  // evaluates its pointing terms there (pointing/sides.h). A mount with one
  // side, or that does not say, never is.
  virtual bool ThroughPole() { return false; }

  // True while the mount moves to a new position (a slew, then its settling).
  virtual bool Slewing() = 0;
  virtual bool Tracking() = 0;
  virtual void SetTracking(bool on) = 0;
  // Moves the axes to a position of the mount's own and returns once the
  // mount has taken the slew on.
  virtual void SlewTo(RaDec axes) = 0;

  // Guide rates in degrees per second.
  virtual double GuideRateRa() = 0;
  virtual double GuideRateDec() = 0;
  virtual void SetGuideRateRa(double deg_per_s) = 0;
  virtual void SetGuideRateDec(double deg_per_s) = 0;

  // Starts a pulse of `ms` milliseconds at the axis' guide rate that moves
  // the mount toward `direction` on the sky, and returns once the mount has
  // taken it on; IsPulseGuiding is true while any pulse runs. A pulse longer
  // than the mount takes raises before anything is sent.
  virtual void PulseGuide(GuideDirection direction, double ms) = 0;
  virtual bool IsPulseGuiding() = 0;

  virtual MountCapabilities Capabilities() = 0;

  // Model tracking, for mounts whose capabilities name custom rates; a mount
  // without keeps these defaults and leaves everything to pulses.
  // Tracks at `rates` (within the limits) and returns the axes that now
  // follow them: an axis the mount cannot or will not take keeps the mount's
  // own tracking. Raises only where the mount is gone or did not answer.
  virtual RateAxes SetCustomRates(TrackRates) { return {}; }
  // Back to the tracking the mount had before custom rates: safe to call at
  // any time, and again.
  virtual void EndCustomRates() {}
};

}  // namespace orvan::program
