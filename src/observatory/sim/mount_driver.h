#pragma once

namespace orvan::sim {

// A sky or axis position: right ascension in hours, declination in degrees.
struct RaDec {
  double ra;
  double dec;
};

// Where a mount stands on the Earth.
struct Location {
  double latitude_deg;
  double longitude_deg;  // east positive, (-180, 180]
  double elevation_m;
};

enum class GuideDirection { North = 0, South = 1, East = 2, West = 3 };

// An equatorial mount as the observatory layer drives it, whatever carries the
// commands: the simulated mount, or a real one over INDI. Positions are the
// mount's own (its axes as it reports them); the observatory layer maps them
// to the sky with its pointing model. Every member may raise orvan::Error.
class MountDriver {
 public:
  virtual ~MountDriver() = default;

  virtual bool Connected() = 0;
  virtual void SetConnected(bool on) = 0;

  virtual Location Site() = 0;
  virtual RaDec Axes() = 0;

  virtual bool Slewing() = 0;
  virtual bool Tracking() = 0;
  virtual void SetTracking(bool on) = 0;
  // Moves the axes to a position of the mount's own and returns at once.
  virtual void SlewTo(RaDec axes) = 0;

  // Guide rates in degrees per second.
  virtual double GuideRateRa() = 0;
  virtual double GuideRateDec() = 0;
  virtual void SetGuideRateRa(double deg_per_s) = 0;
  virtual void SetGuideRateDec(double deg_per_s) = 0;

  // Starts a pulse of `ms` milliseconds at the axis' guide rate and returns
  // at once; IsPulseGuiding is true while any pulse runs.
  virtual void PulseGuide(GuideDirection direction, double ms) = 0;
  virtual bool IsPulseGuiding() = 0;
};

}  // namespace orvan::sim
