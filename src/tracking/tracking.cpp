#include "tracking/tracking.h"

#include <cmath>

#include "observatory/acp.h"
#include "support/checked.h"
#include "support/numtext.h"

namespace orvan::tracking {
namespace {

using namespace checked;

constexpr double kRecaptureFactor = 5;
constexpr double kMillisecondsPerSecond = 1000;

void Stop(TrackerState& state, TrackerWindow& window) {
  window.SetText11Enabled(true);
  state.TrackingActive = false;
  window.SetTimer1Enabled(false);
  window.ClearReadouts();
  window.SetCommand1Caption(texts::kStartCaption);
}

void Start(TrackerState& state, TrackerWindow& window) {
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
}

// Mapped right ascensions on both sides of 0/24 hours would otherwise ask for
// a pulse nearly a day long: a difference beyond 12 hours either way is taken
// the short way round with one step of 24 hours, exact. A difference one step
// can't bring into (-12, +12] is no crossing and stands as it is.
double WrapHours(double hours) {
  double wrapped = hours;
  if (hours > 12) wrapped = Sub(hours, 24.0);
  if (hours <= -12) wrapped = Sub(hours, -24.0);
  return wrapped > -12 && wrapped <= 12 ? wrapped : hours;
}

}  // namespace

void Command1_Click(TrackerState& state, TrackerWindow& window) {
  if (state.TrackingActive)
    Stop(state, window);
  else
    Start(state, window);
}

void Timer1_Timer(TrackerState& state, TrackerWindow& window) {
  acp::Telescope telescope(state.AcpTelescope, window.DecimalSeparator());
  if (telescope.Slewing()) {
    window.SetStatusText("Waiting for slew to complete");
    state.TargetStale = true;
    return;
  }
  if (!telescope.Tracking()) {
    window.SetStatusText("Waiting for mount tracking to be enabled");
    state.TargetStale = true;
    return;
  }
  if (state.DriverInterfaceVersion >= 2 && telescope.IsPulseGuiding()) {
    // Someone else is guiding (or our last pulse outlasted the period): give up.
    state.TrackingActive = false;
    window.SetTimer1Enabled(false);
    window.SetCommand1Caption(texts::kStartCaption);
    window.ClearReadouts();
    window.MsgBox("Aborting Orvan - external pulseguide detected");
    return;
  }

  state.CurrentTrueRA = telescope.RightAscension();
  state.CurrentTrueDec = telescope.Declination();

  // A mount moved well beyond the allowed error, or one that was interrupted,
  // is held where it now is rather than driven back.
  const double d_ra = Abs(Sub(state.TargetTrueRA, state.CurrentTrueRA));
  const double limit_ra = Mul(Mul(state.MaxErrorArcsec, kRecaptureFactor), ArcsecPerHourFactor);
  const double d_dec = Abs(Sub(state.TargetTrueDec, state.CurrentTrueDec));
  const double limit_dec = Mul(Mul(state.MaxErrorArcsec, kRecaptureFactor), ArcsecPerDegreeFactor);
  if (!(d_ra <= limit_ra && d_dec <= limit_dec && !state.TargetStale)) {
    window.SetStatusText("Updating target coordinates");
    state.TargetTrueRA = state.CurrentTrueRA;
    state.TargetTrueDec = state.CurrentTrueDec;
    state.TargetStale = false;
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

  if (Abs(state.ErrorRA) > Mul(state.MaxErrorArcsec, ArcsecPerHourFactor)) {
    state.GuideRateRA =
        state.DriverInterfaceVersion >= 2 ? telescope.GuideRateRightAscension() : DefaultGuideRate;
    // Degrees to hours of right ascension per second; multiplied first, as the
    // pre-computed 24/360 would differ in the last bit.
    state.GuideRateRA = Div(Mul(state.GuideRateRA, 24.0), 360.0);
    state.PulseDurationRA = Div(Mul(Abs(state.ErrorRA), kMillisecondsPerSecond), state.GuideRateRA);
    GuideDirection direction;
    if (state.ErrorRA > 0) {
      window.SetStatusText("Orvan tracking - correcting -RA");
      direction = GuideDirection::West;
    } else {
      window.SetStatusText("Orvan tracking - correcting +RA");
      direction = GuideDirection::East;
    }
    telescope.PulseGuide(direction, state.PulseDurationRA);
    window.SetStatusText("Orvan tracking");
  }

  if (Abs(state.ErrorDec) > Mul(state.MaxErrorArcsec, ArcsecPerDegreeFactor)) {
    state.GuideRateDec =
        state.DriverInterfaceVersion >= 2 ? telescope.GuideRateDeclination() : DefaultGuideRate;
    state.PulseDurationDec =
        Div(Mul(Abs(state.ErrorDec), kMillisecondsPerSecond), state.GuideRateDec);
    GuideDirection direction;
    if (state.ErrorDec > 0) {
      window.SetStatusText("Orvan tracking - correcting -DEC");
      direction = GuideDirection::South;
    } else {
      window.SetStatusText("Orvan tracking - correcting +DEC");
      direction = GuideDirection::North;
    }
    telescope.PulseGuide(direction, state.PulseDurationDec);
    window.SetStatusText("Orvan tracking");
  }

  window.UpdateReadouts();
}

}  // namespace orvan::tracking
