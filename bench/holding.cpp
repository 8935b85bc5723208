#include "holding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "observatory/sim/simulated_observatory.h"
#include "rates/rate_follower.h"
#include "replay/player.h"
#include "tracking/frame_hold.h"
#include "tracking/model_tracking.h"
#include "ui/frmMain.h"

namespace orvan::bench {
namespace {

using namespace orvan::sim;

// Sky arc-seconds per mapped arc-second on each axis at the mount's present
// position: the row sums of the model's local Jacobian. The program holds the
// mapped error within the threshold; near the horizon refraction stretches
// that by up to a few tenths of a percent on the sky.
Sample SkyPerMapped(Observatory& observatory) {
  const Mount& m = observatory.mount();
  const RaDec axes{m.TrueRa(), m.Dec()};
  const RaDec at = observatory.TrueSkyAt(axes);
  const double step = 1.0;  // arc-second
  const RaDec ra_step = observatory.TrueSkyAt({axes.ra + step / kArcsecPerHour, axes.dec});
  const RaDec dec_step = observatory.TrueSkyAt({axes.ra, axes.dec + step / kArcsecPerDegree});
  const auto d_ra = [&](RaDec p) { return std::abs(Wrap12(p.ra - at.ra) * kArcsecPerHour) / step; };
  const auto d_dec = [&](RaDec p) { return std::abs(p.dec - at.dec) * kArcsecPerDegree / step; };
  return {d_ra(ra_step) + d_ra(dec_step), d_dec(ra_step) + d_dec(dec_step)};
}

}  // namespace

double NightStart() {
  return program::SecondsSinceJ2000(2026, 3, 20, 4.0);
}

double Sample::total() const {
  return std::hypot(ra, dec);
}

const char* ModeName(Mode m) {
  return m == Mode::None ? "none" : m == Mode::Pulses ? "pulses" : "rates";
}

namespace {

// Right ascension as an angle of right ascension, as Sample has it.
Sample SkyFrom(const RaDec& sky, const RaDec& aim) {
  return {Wrap12(sky.ra - aim.ra) * kArcsecPerHour, (sky.dec - aim.dec) * kArcsecPerDegree};
}

// The frames of a FramePlan as the night goes: each second's true place goes
// into the exposure under way; a frame goes to the hold once "solved".
class FrameTaker {
 public:
  FrameTaker(const FramePlan& plan, double first_start, tracking::FrameHold& hold)
      : plan_(plan), next_start_(first_start), hold_(hold), random_(plan.seed) {}

  void Sample(double time, const RaDec& sky) {
    if (time <= next_start_) return;
    if (!open_) open_ = Exposure{next_start_, {0, 0}, 0, sky, sky};
    open_->last = sky;
    open_->sum.ra += sky.ra;
    open_->sum.dec += sky.dec;
    ++open_->n;
    if (time < next_start_ + plan_.exposure_s) return;
    const double n = open_->n;
    open_->sum = {open_->sum.ra / n, open_->sum.dec / n};
    done_.push_back(*open_);
    open_.reset();
    next_start_ += plan_.cadence_s;
  }

  void Deliver(double time, Run& run) {
    while (!done_.empty() && done_.front().start + plan_.exposure_s + plan_.solve_s <= time) {
      const Exposure& e = done_.front();
      const std::optional<RaDec> seen = Seen(e);
      const double mid = e.start + plan_.exposure_s / 2;
      if (!seen) {
        done_.pop_front();
        continue;
      }
      const tracking::FrameOutcome outcome =
          hold_.Frame({"frame.fits", e.start, mid, {seen->ra, seen->dec}, kFieldDeg});
      if (outcome.verdict == tracking::FrameAction::Reference) aim_ = e.sum;
      if (outcome.verdict == tracking::FrameAction::Used) ++run.frames_used;
      if (outcome.verdict == tracking::FrameAction::Refused) ++run.frames_refused;
      if (aim_ && outcome.verdict != tracking::FrameAction::Ignored) centres_.push_back(e.sum);
      done_.pop_front();
    }
  }

  // The reference frame's true centre, once there is one, and every frame's.
  const std::optional<RaDec>& aim() const { return aim_; }
  const std::vector<RaDec>& centres() const { return centres_; }

 private:
  static constexpr double kFieldDeg = 80.0 / 60;  // 80' x 55'
  struct Exposure {
    double start;
    RaDec sum;  // the sum of the places while open; their mean once done
    int n;
    RaDec first, last;
  };
  // What the solver makes of an exposure: the real one for the first frames
  // where the plan has one, else the truth plus Gaussian noise.
  std::optional<RaDec> Seen(const Exposure& e) {
    if (plan_.solve && solved_ < plan_.solved_frames) {
      ++solved_;
      return plan_.solve({e.start, plan_.exposure_s, e.first, e.last, e.sum});
    }
    std::normal_distribution<double> noise(0, plan_.noise_arcsec);
    const double cos_dec = std::cos(e.sum.dec / kDegreesPerRadian);
    return RaDec{e.sum.ra + noise(random_) / (kArcsecPerHour * cos_dec),
                 e.sum.dec + noise(random_) / kArcsecPerDegree};
  }
  FramePlan plan_;
  double next_start_;
  tracking::FrameHold& hold_;
  std::mt19937 random_;
  std::optional<Exposure> open_;
  std::deque<Exposure> done_;
  std::optional<RaDec> aim_;
  std::vector<RaDec> centres_;
  int solved_ = 0;
};

// The first frame starts this long after Start.
constexpr double kFirstFrameAfterSeconds = 10;

}  // namespace

Run Simulate(const Target& target, double threshold, Mode mode, ObservatoryConfig config,
             const FramePlan* frames) {
  const double start = NightStart();
  config.start = {Wrap24(LocalSiderealTime(config.site, start) - target.start_ha), target.dec};
  auto clock = std::make_shared<program::VirtualClock>(start);
  auto observatory = std::make_shared<Observatory>(config, clock);
  auto program = MakeSimulatedProgram(observatory);
  auto factory = program::MakeAcpFactory(program);
  replay::Recorder recorder([](const std::string&) {}, '.');
  program::RateFollower follower(program, {});
  tracking::FrameHold hold({frames && frames->center, std::nullopt},
                           [clock] { return clock->Now(); });
  tracking::ModelTracking rates(follower, frames ? &hold : nullptr);
  std::optional<FrameTaker> taker;
  if (frames) taker.emplace(*frames, start + kFirstFrameAfterSeconds, hold);

  Run run;
  std::vector<RaDec> sky;  // every second
  std::vector<std::size_t> tick_samples;
  {
    std::unique_ptr<frmMain> main_form;  // it refers to the recorder and the observatory
    frmMain& form = Module1::Main(main_form, recorder, *factory);
    if (mode == Mode::Rates) form.Listen(&rates);
    if (frames) form.SteerWith(&hold);
    char text[16];
    std::snprintf(text, sizeof text, "%g", threshold);
    form.Type(ControlId::Text11, text);
    // The star the user sees when pressing the button is the one to hold.
    const RaDec aim = observatory->TrueSky();
    if (mode != Mode::None) form.Click();
    for (int i = 0; i < kTicks; ++i) {
      for (int k = 0; k < kSamplesPerTick; ++k) {
        clock->Advance(kTickSeconds / kSamplesPerTick);
        sky.push_back(observatory->TrueSky());
        if (taker) taker->Sample(clock->Now(), sky.back());
      }
      if (taker) taker->Deliver(clock->Now(), run);
      tick_samples.push_back(sky.size() - 1);
      run.sky_per_mapped.push_back(SkyPerMapped(*observatory));
      form.Tick();
      if (form.ended()) {
        std::fprintf(stderr, "the program ended during %s\n", target.name);
        std::exit(1);
      }
    }
    const RaDec from = taker && taker->aim() ? *taker->aim() : aim;
    for (const RaDec& s : sky) run.samples.push_back(SkyFrom(s, from));
    for (std::size_t i : tick_samples) run.before_tick.push_back(run.samples[i]);
    if (taker)
      for (const RaDec& c : taker->centres()) {
        const Sample s = SkyFrom(c, from);
        // On the sky, as a stack of the frames shows them.
        run.frame_centres.push_back({s.ra * std::cos(from.dec / kDegreesPerRadian), s.dec});
      }
  }
  run.pulses = observatory->pulses();
  return run;
}

Holding Summarise(double threshold, const Run& run, const Run& drift) {
  Holding h{0, 0, 0, 0, run.pulses, 0, 0};
  for (const Sample& s : run.samples) {
    h.rms_ra += s.ra * s.ra;
    h.rms_dec += s.dec * s.dec;
    h.max = std::max(h.max, s.total());
  }
  const double n = static_cast<double>(run.samples.size());
  h.rms = std::sqrt((h.rms_ra + h.rms_dec) / n);
  h.rms_ra = std::sqrt(h.rms_ra / n);
  h.rms_dec = std::sqrt(h.rms_dec / n);

  int within = 0, within_plain = 0;
  for (std::size_t i = 0; i < run.before_tick.size(); ++i) {
    const Sample& e = run.before_tick[i];
    const Sample before = i ? drift.before_tick[i - 1] : Sample{0, 0};
    const Sample step{std::abs(drift.before_tick[i].ra - before.ra),
                      std::abs(drift.before_tick[i].dec - before.dec)};
    const Sample& scale = run.sky_per_mapped[i];
    within += std::abs(e.ra) <= threshold * scale.ra + step.ra &&
              std::abs(e.dec) <= threshold * scale.dec + step.dec;
    within_plain +=
        std::abs(e.ra) <= threshold + step.ra && std::abs(e.dec) <= threshold + step.dec;
  }
  h.share_within_bound = within / static_cast<double>(run.before_tick.size());
  h.share_within_plain = within_plain / static_cast<double>(run.before_tick.size());
  return h;
}

std::optional<Outputs> ParseOutputs(int argc, char** argv) {
  Outputs out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--csv" || arg == "--plot") && i + 1 < argc) {
      (arg == "--csv" ? out.csv_path : out.plot_path) = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--csv FILE] [--plot FILE.svg|FILE.png]\n", argv[0]);
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace orvan::bench
