#pragma once

#include <memory>

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
  // would really point now.
  RaDec TrueSkyAt(RaDec axes);

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
  std::shared_ptr<Clock> clock_;
  Mount mount_;
  long pulses_ = 0;
};

}  // namespace orvan::sim
