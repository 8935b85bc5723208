#include "tracking/tracking.h"

#include <cmath>
#include <optional>

#include "observatory/acp.h"
#include "support/checked.h"
#include "support/numtext.h"

namespace orvan::tracking {
namespace {

using namespace checked;

constexpr double kRecaptureFactor = 5;
constexpr double kMicroPerUnit = 1000000.0;

// The record of one handler, handed to the observer once: when the handler
// ends, or when it fails part way (then before the run-time error report).
class Report {
 public:
  Report(TrackingObserver& observer, RecordKind kind) : observer_(observer) { record.kind = kind; }
  void Send() {
    if (sent_) return;
    sent_ = true;
    observer_.Recorded(record);
  }
  TrackingObserver& observer() { return observer_; }

  CycleRecord record;

 private:
  TrackingObserver& observer_;
  bool sent_ = false;
};

void Stop(TrackerState& state, TrackerWindow& window) {
  window.SetText11Enabled(true);
  state.TrackingActive = false;
  window.SetTimer1Enabled(false);
  window.ClearReadouts();
  window.SetCommand1Caption(texts::kStartCaption);
}

// Starts a run, or refuses with a message box when the mount cannot be held.
void StartUnlessRefused(TrackerState& state, TrackerWindow& window, Report& report) {
  acp::Telescope telescope(state.AcpTelescope, window.DecimalSeparator());
  if (!telescope.Connected()) {
    window.MsgBox("Error - ACP not connected to mount");
    return;
  }
  if (!telescope.CanPulseGuide()) {
    window.MsgBox("Error - mount does not support PulseGuide");
    return;
  }
  if (state.DriverInterfaceVersion >= 2) {
    // Both rates are read before deciding.
    const bool ra_zero = telescope.GuideRateRightAscensionIsZero();
    const bool dec_zero = telescope.GuideRateDeclinationIsZero();
    if (ra_zero || dec_zero) {
      if (!telescope.CanSetGuideRates()) {
        window.MsgBox("Error - Guiderates are zero");
        return;
      }
      telescope.SetGuideRateRightAscension(DefaultGuideRate);
      telescope.SetGuideRateDeclination(DefaultGuideRate);
    }
  }
  // Frozen before it is read, so a text that does not convert leaves it disabled.
  window.SetText11Enabled(false);
  state.MaxErrorArcsec = TextToNumber(window.Text11Text(), window.DecimalSeparator());
  state.TrackingActive = true;
  window.SetCommand1Caption(texts::kStopCaption);
  window.SetTimer1Interval(kCyclePeriodMs);
  window.SetTimer1Enabled(true);
  state.TargetTrueRA = telescope.RightAscension();
  state.TargetTrueDec = telescope.Declination();
  report.record.threshold_arcsec = state.MaxErrorArcsec;
  report.record.target = AxisPair{state.TargetTrueRA, state.TargetTrueDec};
  report.Send();
}

// Mapped right ascensions on both sides of 0/24 hours would otherwise ask for
// a pulse nearly a day long: a difference beyond 12 hours either way is taken
// the short way round with one step of 24 hours, exact. A difference one step
// can't bring into (-12, +12] is no crossing and stands as it is. Not Wrap12
// (units.h): the cycle's arithmetic is checked and its one step is part of it.
double WrapHours(double hours) {
  double wrapped = hours;
  if (hours > 12) wrapped = Sub(hours, kHoursPerTurn);
  if (hours <= -12) wrapped = Sub(hours, -kHoursPerTurn);
  return wrapped > -12 && wrapped <= 12 ? wrapped : hours;
}

// Ends the tick where there is nothing to correct, and says so: while the
// mount slews or does not track it shows the wait in the status and marks the
// target stale; when someone else is guiding it aborts the run and shows a
// message box. True when the tick ends here.
bool WaitOrAbort(TrackerState& state, TrackerWindow& window, acp::Telescope& telescope,
                 Report& report) {
  if (telescope.Slewing()) {
    window.SetStatusText("Waiting for slew to complete");
    state.TargetStale = true;
    return true;
  }
  if (!telescope.Tracking()) {
    window.SetStatusText("Waiting for mount tracking to be enabled");
    state.TargetStale = true;
    return true;
  }
  if (state.DriverInterfaceVersion >= 2 && telescope.IsPulseGuiding()) {
    // Someone else is guiding (or our last pulse outlasted the period): give up.
    state.TrackingActive = false;
    window.SetTimer1Enabled(false);
    window.SetCommand1Caption(texts::kStartCaption);
    window.ClearReadouts();
    // Recorded when it happens, not once the message is dismissed.
    report.record.kind = RecordKind::Abort;
    report.record.threshold_arcsec.reset();
    report.Send();
    window.MsgBox("Aborting Orvan - external pulseguide detected");
    return true;
  }
  return false;
}

// A mount moved well beyond the allowed error, or one that was interrupted,
// is held where it now is rather than driven back: the target moves to the
// mount's position and the status says so. True when that happened.
bool RecaptureIfMoved(TrackerState& state, TrackerWindow& window) {
  const double d_ra = Abs(Sub(state.TargetTrueRA, state.CurrentTrueRA));
  const double limit_ra = Mul(Mul(state.MaxErrorArcsec, kRecaptureFactor), ArcsecPerHourFactor);
  const double d_dec = Abs(Sub(state.TargetTrueDec, state.CurrentTrueDec));
  const double limit_dec = Mul(Mul(state.MaxErrorArcsec, kRecaptureFactor), ArcsecPerDegreeFactor);
  if (d_ra <= limit_ra && d_dec <= limit_dec && !state.TargetStale) return false;
  window.SetStatusText("Updating target coordinates");
  state.TargetTrueRA = state.CurrentTrueRA;
  state.TargetTrueDec = state.CurrentTrueDec;
  state.TargetStale = false;
  return true;
}

// The error a re-capture sees, for the record only: the reported (true)
// position less the target it is about to leave, in arc-seconds as the
// readouts show an error. A re-capture maps nothing, so that it asks the
// observatory nothing more; a difference beyond what a readout can show
// is left out rather than raised.
std::optional<AxisPair> SeenError(const TrackerState& state) noexcept {
  try {
    return AxisPair{
        ReadoutArcsec(WrapHours(Sub(state.CurrentTrueRA, state.TargetTrueRA)), ArcsecPerHourFactor),
        ReadoutArcsec(Sub(state.CurrentTrueDec, state.TargetTrueDec), ArcsecPerDegreeFactor)};
  } catch (...) {
    return std::nullopt;
  }
}

// What differs between the corrections of the two axes.
struct Axis {
  GuideAxis Name;
  double ArcsecFactor;  // one arc-second in the axis' unit
  double TrackerState::*Error;
  double AxisPair::*Taken;  // its share of UnseenPulses
  double TrackerState::*GuideRate;
  double TrackerState::*PulseDuration;
  double (acp::Telescope::*MountGuideRate)();  // degrees per second, from interface 2 on
  bool RateInHours;             // the error is in hours: the rate is converted to hours per second
  const char* CorrectingMinus;  // status while a positive error is taken out
  const char* CorrectingPlus;
  GuideDirection Minus;
  GuideDirection Plus;
};

constexpr Axis kRightAscension{GuideAxis::RightAscension,
                               ArcsecPerHourFactor,
                               &TrackerState::ErrorRA,
                               &AxisPair::ra,
                               &TrackerState::GuideRateRA,
                               &TrackerState::PulseDurationRA,
                               &acp::Telescope::GuideRateRightAscension,
                               true,
                               "Orvan tracking - correcting -RA",
                               "Orvan tracking - correcting +RA",
                               GuideDirection::West,
                               GuideDirection::East};

constexpr Axis kDeclination{GuideAxis::Declination,
                            ArcsecPerDegreeFactor,
                            &TrackerState::ErrorDec,
                            &AxisPair::dec,
                            &TrackerState::GuideRateDec,
                            &TrackerState::PulseDurationDec,
                            &acp::Telescope::GuideRateDeclination,
                            false,
                            "Orvan tracking - correcting -DEC",
                            "Orvan tracking - correcting +DEC",
                            GuideDirection::South,
                            GuideDirection::North};

// One guide pulse on `axis`, just long enough to take its error out, when the
// error is beyond the allowed one: the error read, less what pulses sent
// since the mount last reported a new position took out.
void Correct(const Axis& axis, TrackerState& state, TrackerWindow& window,
             acp::Telescope& telescope, Report& report, UnseenPulses* unseen) {
  double error = state.*axis.Error;
  const bool news =
      !unseen || !unseen->news || unseen->news->NewSincePulse(axis.Name == GuideAxis::Declination);
  if (!news) error = Sub(error, unseen->taken.*axis.Taken);
  if (!(Abs(error) > Mul(state.MaxErrorArcsec, axis.ArcsecFactor))) return;
  double& rate = state.*axis.GuideRate;
  rate = state.DriverInterfaceVersion >= 2 ? (telescope.*axis.MountGuideRate)() : DefaultGuideRate;
  // Degrees to hours of right ascension per second; multiplied first, as the
  // pre-computed 24/360 would differ in the last bit.
  if (axis.RateInHours) rate = Div(Mul(rate, kHoursPerTurn), kDegreesPerTurn);
  double& duration = state.*axis.PulseDuration;
  duration = Div(Mul(Abs(error), kMillisecondsPerSecond), rate);
  GuideDirection direction;
  if (error > 0) {
    window.SetStatusText(axis.CorrectingMinus);
    direction = axis.Minus;
  } else {
    window.SetStatusText(axis.CorrectingPlus);
    direction = axis.Plus;
  }
  telescope.PulseGuide(direction, duration);
  if (unseen) unseen->taken.*axis.Taken = news ? error : Sub(unseen->taken.*axis.Taken, -error);
  const SentPulse sent{direction, duration};
  (axis.Name == GuideAxis::RightAscension ? report.record.ra_pulse : report.record.dec_pulse) =
      sent;
  report.observer().Pulsed(axis.Name, sent, ReadoutArcsec(error, axis.ArcsecFactor));
  window.SetStatusText("Orvan tracking");
}

void Cycle(TrackerState& state, TrackerWindow& window, Report& report, UnseenPulses* unseen) {
  acp::Telescope telescope(state.AcpTelescope, window.DecimalSeparator());
  report.record.threshold_arcsec = state.MaxErrorArcsec;
  if (WaitOrAbort(state, window, telescope, report)) return;

  state.CurrentTrueRA = telescope.RightAscension();
  state.CurrentTrueDec = telescope.Declination();
  report.record.current = AxisPair{state.CurrentTrueRA, state.CurrentTrueDec};
  const std::optional<AxisPair> seen = SeenError(state);
  const bool recaptured = RecaptureIfMoved(state, window);
  report.record.target = AxisPair{state.TargetTrueRA, state.TargetTrueDec};
  if (recaptured) {
    report.record.error_arcsec = seen;
    return;
  }

  acp::Util util(state.AcpUtil);
  util.MapIdealToRawEqu(state.CurrentTrueRA, state.CurrentTrueDec, state.CurrentScopeRA,
                        state.CurrentScopeDec);
  util.MapIdealToRawEqu(state.TargetTrueRA, state.TargetTrueDec, state.TargetScopeRA,
                        state.TargetScopeDec);
  state.ErrorRA = WrapHours(Sub(state.CurrentScopeRA, state.TargetScopeRA));
  state.ErrorDec = Sub(state.CurrentScopeDec, state.TargetScopeDec);
  window.UpdateReadouts();
  report.record.current_scope = AxisPair{state.CurrentScopeRA, state.CurrentScopeDec};
  report.record.target_scope = AxisPair{state.TargetScopeRA, state.TargetScopeDec};
  // The readouts have just shown these: they convert without a fault.
  report.record.error_arcsec = AxisPair{ReadoutArcsec(state.ErrorRA, ArcsecPerHourFactor),
                                        ReadoutArcsec(state.ErrorDec, ArcsecPerDegreeFactor)};

  Correct(kRightAscension, state, window, telescope, report, unseen);
  Correct(kDeclination, state, window, telescope, report, unseen);

  window.UpdateReadouts();
}

}  // namespace

double ReadoutArcsec(double error, double arcsec_factor) {
  return Div(Floor(Div(Mul(error, kMicroPerUnit), arcsec_factor)), kMicroPerUnit);
}

void Command1_Click(TrackerState& state, TrackerWindow& window, TrackingObserver& observer) {
  if (state.TrackingActive) {
    Stop(state, window);
    Report report(observer, RecordKind::Stop);
    report.Send();
  } else {
    // A start refused with a message records nothing.
    Report report(observer, RecordKind::Start);
    StartUnlessRefused(state, window, report);
  }
}

void Timer1_Timer(TrackerState& state, TrackerWindow& window, TrackingObserver& observer,
                  UnseenPulses* unseen) {
  Report report(observer, RecordKind::Cycle);
  try {
    Cycle(state, window, report, unseen);
  } catch (...) {
    report.Send();
    throw;
  }
  report.Send();
}

}  // namespace orvan::tracking
