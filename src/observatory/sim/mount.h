#pragma once

#include "observatory/program/clock.h"
#include "observatory/program/mount_driver.h"
#include "pointing/model.h"

namespace orvan::sim {

// The simulated world is built on the pointing model's sky physics: the truth
// it keeps is a pointing model with terms the program does not know, and its
// mount is one of the observatory program's mount drivers.
using pointing::HaDec;
using pointing::PointingModel;
using pointing::PointingTerms;
using pointing::Site;
using pointing::Wrap12;
using pointing::Wrap24;
using program::Clock;
using program::Location;
using program::MountDriver;
using program::RaDec;
using program::RateAxes;
using program::TrackRates;

struct MountConfig {
  // Fractional error of the sidereal tracking rate; the encoders see it.
  double rate_error = 0;
  // Right-ascension worm error (arc-seconds of hour angle, amplitude) and the
  // worm's period; it lies after the encoders, so the mount does not report it.
  double periodic_error_arcsec = 0;
  double worm_period_s = 480;
  double slew_rate_deg_s = 4;
  double settle_s = 2;
  // How far custom tracking rates may lie from sidereal (right ascension)
  // and from zero (declination), arc-seconds per second.
  double custom_rate_limit_arcsec_s = 30;
  // A German mount: slewed east of the meridian it turns through the pole
  // (pointing/sides.h); otherwise it has one side, as a fork mount has.
  bool german = false;
};

// An equatorial mount's two mechanical axes. The right-ascension axis is kept
// as mechanical right ascension (sidereal time minus the axis' hour angle), so
// perfect tracking holds it constant. Motions are exact piecewise-linear
// functions of time; Advance brings the state up to a moment.
class Mount {
 public:
  Mount(const MountConfig& config, double now, double ra_hours, double dec_deg,
        bool through_pole = false);

  // Moves the state on to `now` (seconds); earlier moments are ignored.
  void Advance(double now);

  // The axes as the encoders read them.
  double Ra() const { return ra_; }
  double Dec() const { return dec_; }
  // The right-ascension axis where it really is, periodic error included.
  double TrueRa() const;

  // The side of the pier: true on the side through the pole. It changes
  // only as a slew ends.
  bool ThroughPole() const { return through_pole_; }
  bool Tracking() const { return tracking_; }
  bool Slewing() const { return slew_active_ || now_ < settle_until_; }
  bool IsPulseGuiding() const { return now_ < ra_pulse_.end || now_ < dec_pulse_.end; }

  void SetTracking(bool on) { tracking_ = on; }
  // Tracks at custom rates while tracking is on, arc-seconds per second: the
  // hour angle grows at `ha_rate` (sidereal: kSiderealDegPerSecond in
  // arc-seconds), declination at `dec_rate` northward; the rate error applies
  // to the hour-angle rate as it does to sidereal. Raises kInvalidValue
  // beyond the configured limit.
  void SetCustomRates(double ha_rate, double dec_rate);
  // Back to sidereal tracking.
  void EndCustomRates() { custom_ = false; }
  bool CustomRates() const { return custom_; }
  // Moves both axes at the slew rate to the given mechanical position, as
  // the axes read it, ending on the given side.
  void SlewTo(double ra_hours, double dec_deg, bool through_pole = false);
  // Starts a pulse at `rate_deg_s` for `ms` milliseconds and returns at once;
  // a new pulse on an axis replaces the one running there.
  void PulseGuide(GuideDirection direction, double ms, double rate_deg_s);

 private:
  struct Pulse {
    double end = -1e300;
    double rate = 0;  // axis units per second
  };

  MountConfig config_;
  double now_;
  double ra_, dec_;
  bool through_pole_;
  bool tracking_ = true;
  bool custom_ = false;
  double custom_ha_rate_ = 0, custom_dec_rate_ = 0;  // arc-seconds per second
  double worm_time_ = 0;
  Pulse ra_pulse_, dec_pulse_;
  bool slew_active_ = false;
  double slew_ra_ = 0, slew_dec_ = 0;
  bool slew_through_pole_ = false;
  double settle_until_ = -1e300;
};

}  // namespace orvan::sim
