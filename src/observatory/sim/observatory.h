#pragma once

#include <memory>
#include <optional>

#include "observatory/program/clock.h"
#include "observatory/program/mount_driver.h"
#include "observatory/sim/mount.h"

namespace orvan::sim {

struct ObservatoryConfig {
  Site site;
  // The pointing model the observatory maps with and reports through.
  PointingModel model;
  // What that model does not know: the true mount also has these terms.
  PointingTerms model_error;
  // The true mount's own terms, where given (--sim-truth): the truth then
  // has these in place of the model's terms and model_error.
  std::optional<PointingTerms> true_terms;
  // How the true air differs from the site's, which the model is given.
  double true_pressure_offset_hpa = 0;
  double true_temperature_offset_c = 0;
  MountConfig mount;
  // Where the mount points (true sky) when the observatory starts.
  RaDec start;
  double guide_rate_deg_s = DefaultGuideRate;
};

// The simulated world on one clock: the mount, and the truth about where it
// points, which the observatory's pointing model only approximates. What the
// observatory program reports and maps lives in ObservatoryProgram.
class Observatory {
 public:
  Observatory(const ObservatoryConfig& config, std::shared_ptr<Clock> clock);

  const ObservatoryConfig& config() const { return config_; }
  const std::shared_ptr<Clock>& clock() const { return clock_; }
  double LocalSiderealTime();

  // Where the mount really points.
  RaDec TrueSky();
  // Where the axes at a mechanical position (right ascension, declination)
  // on the mount's present side would really point now.
  RaDec TrueSkyAt(RaDec axes);

  // The truth the program does not know: for a benchmark that makes
  // "plate-solved" points from the simulated mount, fits a model to them
  // and holds by it. Axes are as the mount reads them (right ascension,
  // declination within ±90°), on a side of the pier; `ut` is seconds since
  // J2000.0. Where axes so placed really point (the true topocentric place,
  // before refraction), and the axes that really point at `sky`.
  RaDec TrueSkyAt(RaDec axes, bool through_pole, double ut) const;
  RaDec AxesFor(RaDec sky, bool through_pole, double ut) const;
  // The terms and the air the simulated mount really has.
  const PointingModel& truth() const { return truth_; }
  const Site& true_site() const { return true_site_; }

  // Slews the mount to axes as it reads them; a German mount takes the side
  // the hour angle there calls for.
  void SlewTo(RaDec axes);

  // Starts a pulse at the axis' guide rate; returns at once.
  void PulseGuide(GuideDirection direction, double ms);

  // The mount brought up to the clock's present.
  Mount& mount();

  // Pulses started since the observatory began.
  long pulses() const { return pulses_; }

  bool connected = true;
  double guide_rate_ra;
  double guide_rate_dec;

 private:
  ObservatoryConfig config_;
  PointingModel truth_;
  Site true_site_;
  std::shared_ptr<Clock> clock_;
  Mount mount_;
  long pulses_ = 0;
};

}  // namespace orvan::sim
