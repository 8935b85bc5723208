#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "observatory/indi/indi_link.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/indi/mount_shape.h"
#include "observatory/indi/pulse_sense.h"
#include "observatory/position_news.h"
#include "observatory/program/mount_driver.h"

namespace orvan::indi {

// A mount reached through the standard INDI telescope properties.
class IndiMount final : public program::MountDriver, public PierSideSource, public PositionNews {
 public:
  explicit IndiMount(const IndiOptions& options);

  // Connects to the server, finds the device and connects it; nothing more
  // once that has succeeded.
  void Open();

  bool Connected() override;
  void SetConnected(bool on) override;

  program::Location Site() override;
  program::RaDec Axes() override;
  bool ThroughPole() override;

  bool Slewing() override;
  bool Tracking() override;
  void SetTracking(bool on) override;
  void SlewTo(program::RaDec axes) override;

  double GuideRateRa() override;
  double GuideRateDec() override;
  void SetGuideRateRa(double deg_per_s) override;
  void SetGuideRateDec(double deg_per_s) override;

  void PulseGuide(GuideDirection sky, double ms) override;
  bool IsPulseGuiding() override;

  // Pulses, the side of the pier where TELESCOPE_PIER_SIDE is defined, and
  // custom rates as below.
  program::MountCapabilities Capabilities() override;
  // From the last TELESCOPE_PIER_SIDE the server sent; Unknown without one.
  PierSide SideOfPier() noexcept override;
  // Whether EQUATORIAL_EOD_COORD holds other values than when the last pulse
  // on the axis was sent: INDI republishes the position only once it has
  // moved by a step.
  bool NewSincePulse(bool dec) noexcept override;
  // The other way where the pulse direction watch reverses the axis.
  std::optional<GuideDirection> SentAs(GuideDirection sky) noexcept override;

  // Model tracking through TELESCOPE_TRACK_MODE's TRACK_CUSTOM and
  // TELESCOPE_TRACK_RATE (indi_track_rates.cpp).
  program::RateAxes SetCustomRates(program::TrackRates rates) override;
  void EndCustomRates() override;

 private:
  void ConnectDevice();
  // Any of the properties the program uses vanishing is the driver restarting.
  void WatchRequired();
  // Raises unless the device is connected and not in Alert.
  void CheckUsable();
  // Says once what the device lacks and what the program does instead.
  void SayLacks();
  // The axis' guide rate in times sidereal, from whatever shape the device
  // gives it (mount_shape.h).
  double GuideRate(bool dec);
  void SetGuideRate(bool dec, double deg_per_s);
  // Raises kPulseTooLong for a pulse longer than `element` takes.
  static void CheckPulse(const PropertyValues& guide, const std::string& element, double ms);

  std::unique_ptr<IndiLink> link_;
  bool ready_ = false;  // connected once, with every property the program uses
  std::string device_;
  PulseSense::Notice notice_;
  double assumed_rate_;        // times sidereal, for a mount that does not tell its own
  bool rate_given_ = false;    // by --guide-rate
  TrackingByReadings judged_;  // for a mount without TELESCOPE_TRACK_STATE
  bool ra_pulsed_ = false;     // since tracking was last judged
  // The position reported when the last pulse on each axis was sent:
  // [0] right ascension, [1] declination.
  std::array<std::optional<program::RaDec>, 2> pulsed_at_;

  // Which way its pulses move it, judged from what they do to the position.
  MountReading Reading();
  PierSide Pier();
  void WatchPulses();
  PulseSense sense_;

  // Model tracking: the mode to go back to, and the axes the mount refused.
  void AddCustomRates(program::MountCapabilities& capabilities);
  program::RateAxes SendRates(program::TrackRates rates, bool with_dec);
  std::optional<std::string> mode_before_;
  bool dec_refused_ = false;
  bool refused_ = false;
};

}  // namespace orvan::indi
