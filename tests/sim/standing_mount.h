#pragma once

#include "observatory/program/mount_driver.h"

namespace orvan::sim {

// A connected mount that stands where it is and takes every command without
// moving: for tests that care about a few of its calls only.
class StandingMount : public program::MountDriver {
 public:
  StandingMount(program::Location site, program::RaDec axes, double guide_rate)
      : site_(site), axes_(axes), guide_rate_(guide_rate) {}

  bool Connected() override { return true; }
  void SetConnected(bool) override {}
  program::Location Site() override { return site_; }
  program::RaDec Axes() override { return axes_; }
  bool Slewing() override { return false; }
  bool Tracking() override { return true; }
  void SetTracking(bool) override {}
  void SlewTo(program::RaDec) override {}
  double GuideRateRa() override { return guide_rate_; }
  double GuideRateDec() override { return guide_rate_; }
  void SetGuideRateRa(double) override {}
  void SetGuideRateDec(double) override {}
  void PulseGuide(GuideDirection, double) override {}
  bool IsPulseGuiding() override { return false; }
  program::MountCapabilities Capabilities() override { return {}; }

 private:
  program::Location site_;
  program::RaDec axes_;
  double guide_rate_;
};

}  // namespace orvan::sim
