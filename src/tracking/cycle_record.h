#pragma once

#include <optional>

#include "observatory/air_used.h"
#include "observatory/pier_side.h"
#include "observatory/units.h"

namespace orvan::tracking {

enum class GuideAxis { RightAscension, Declination };

// What a handler did that the log records.
enum class RecordKind {
  Start,  // holding began
  Cycle,  // one timer cycle ran
  Stop,   // the user stopped holding
  Abort,  // a pulse was found running at the start of a cycle
};

// A right ascension and a declination, in the unit of what they hold.
struct AxisPair {
  double ra = 0;
  double dec = 0;
};

struct SentPulse {
  GuideDirection direction = GuideDirection::North;  // on the sky
  double milliseconds = 0;                           // as sent, not rounded
  // The direction the mount was sent, where it was not `direction` (an axis
  // the mount moves the other way); for the output, not the log.
  std::optional<GuideDirection> sent_as = std::nullopt;
};

// What one click or tick decided. A value is absent where the handler did not
// get that far (a cycle that waited for a slew has none of the positions).
struct CycleRecord {
  RecordKind kind = RecordKind::Cycle;
  std::optional<double> threshold_arcsec;
  std::optional<AxisPair> target;  // true, hours and degrees
  std::optional<AxisPair> current;
  std::optional<AxisPair> target_scope;  // through the pointing model
  std::optional<AxisPair> current_scope;
  std::optional<AxisPair> error_arcsec;  // as the window's readouts show them
  std::optional<SentPulse> ra_pulse;
  std::optional<SentPulse> dec_pulse;
  // As the observatory last reported it, where it tells one outside ACP's
  // objects (PierSideSource); the handlers never read it.
  PierSide pier_side = PierSide::Unknown;
  // The air the mapping used, where the observatory tells it outside ACP's
  // objects (AirUsedSource); the handlers never read it.
  std::optional<AirUsed> air;
};

// Told what the start/stop button and the correction cycle did, for a record
// of the night; it only listens. Neither call may throw: nothing an observer
// does may change what the handlers do.
class TrackingObserver {
 public:
  virtual ~TrackingObserver() = default;
  // A guide pulse has just been sent, for an error of `error_arcsec` on `axis`.
  virtual void Pulsed(GuideAxis axis, const SentPulse& pulse, double error_arcsec) noexcept = 0;
  // What a handler did, once it is over (or has failed part way).
  virtual void Recorded(const CycleRecord& record) noexcept = 0;
  // The program is ending: closed, or after the run-time error report.
  virtual void Ending() noexcept {}
};

// The error on an axis in arc-seconds as the window's readout shows it:
// truncated downwards to a millionth of an arc-second. `arcsec_factor` is one
// arc-second in the axis' unit. Raises where the arithmetic would signal.
double ReadoutArcsec(double error, double arcsec_factor);

}  // namespace orvan::tracking
