#pragma once

#include <functional>
#include <memory>
#include <string>

#include "observatory/program/observatory_program.h"
#include "support/error.h"
#include "tracking/model_tracking.h"

namespace orvan::program {

// Model tracking: while the program holds a target, the mount tracks at the
// rates the pointing model predicts for it, so that the threshold pulses only
// take out what the rates leave. Between holding (waits, re-captures, a stop,
// an abort, an error, the end) the mount is given back the tracking it had.
class RateFollower final : public tracking::RateFollowing {
 public:
  using Notice = std::function<void(const std::string&)>;

  // `notice` hears, once each, what the follower could not do: an axis the
  // mount leaves to pulses, a rate clamped to the mount's limit.
  RateFollower(std::shared_ptr<ObservatoryProgram> program, Notice notice);
  ~RateFollower() override;
  RateFollower(const RateFollower&) = delete;
  RateFollower& operator=(const RateFollower&) = delete;

  // Tracks at the model's rates for `target` (true sky), moving by
  // `motion`, over the next `period` seconds, and on until told again.
  void Follow(const tracking::AxisPair& target, double period,
              const tracking::AxisPair& motion) override;
  // Back to the mount's own tracking; nothing is sent unless it follows.
  void Pause() override;
  // Says, once, that the rates failed (the pulses hold on): `error` raised
  // by the mount while following or pausing.
  void Failed(const Error& error) override;
  void GaveUp(int recaptures) override;

  // The largest departure from sidereal sent whatever the model says (near
  // the pole or the horizon the mapped rates grow without bound): one
  // sidereal rate, arc-seconds per second.
  static constexpr double kCap = kSiderealArcsecPerSecond;

 private:
  TrackRates Limited(TrackRates model, double mount_limit);
  void Say(bool& said, const std::string& text);

  std::shared_ptr<ObservatoryProgram> program_;
  Notice notice_;
  bool following_ = false;
  bool said_ra_ = false, said_dec_ = false, said_clamped_ = false, said_failed_ = false,
       said_gave_up_ = false;
};

}  // namespace orvan::program
