#include "intake/frame_intake.h"

#include <utility>

#include "pointing/fit_point.h"
#include "pointing/places.h"
#include "support/escaped_text.h"
#include "support/utc_text.h"

namespace orvan::intake {
namespace {

// The UTC of a count of the program's clock, as ERFA takes it and as a
// point records it.
UtcFields FieldsAt(double seconds) {
  return UtcFieldsOf(TimeOfJ2000Seconds(seconds));
}

frames::SourceConfig SourceConfigOf(const FrameIntake::Config& config) {
  frames::SourceConfig source;
  source.dir = config.dir;
  if (config.whole_wait) source.whole_limit = *config.whole_wait;
  return source;
}

}  // namespace

std::optional<tracking::FrameMeasurement> HoldInputOf(const std::string& file,
                                                      const frames::FrameHeader& header,
                                                      const frames::FrameSky& sky) {
  pointing::Utc utc{};
  if (!pointing::UtcOf(FieldsAt(header.mid_exposure), utc)) return std::nullopt;
  const pointing::RaDec apparent = pointing::ApparentPlace({sky.center}, utc);
  return tracking::FrameMeasurement{file,
                                    header.mid_exposure - header.exposure_s / 2,
                                    header.mid_exposure,
                                    {apparent.ra, apparent.dec},
                                    sky.field_deg};
}

FrameIntake::FrameIntake(Config config, std::shared_ptr<program::ObservatoryProgram> program,
                         std::shared_ptr<PierSideSource> side, PointSink points, Say say)
    : config_(std::move(config)),
      program_(std::move(program)),
      side_(std::move(side)),
      points_(std::move(points)),
      hold_(config_.hold, [clock = program_->clock()] { return clock->Now(); }),
      feed_(
          hold_, [clock = program_->clock()] { return clock->Now(); }, std::move(say)),
      source_(SourceConfigOf(config_),
              [how = frames::FrameReading{
                   config_.solve ? std::optional(config_.solver) : std::nullopt,
                   config_.any_wcs,
                   {}}](const std::string& path, const frames::SolveHint& hint, int stop_fd) {
                return frames::ProcessWith(path, hint, how, stop_fd);
              }) {}

bool FrameIntake::Start(std::string& error) {
  source_.SetHint(Hint());
  return source_.Start(error);
}

frames::SolveHint FrameIntake::Hint() const {
  frames::SolveHint hint;
  hint.scale_arcsec = config_.pixel_scale_arcsec;
  hint.learned = learned_;
  if (const std::optional<tracking::AxisPair> held = hold_.Held()) {
    pointing::Utc utc{};
    if (pointing::UtcOf(FieldsAt(program_->clock()->Now()), utc))
      hint.near = pointing::MeanPlaceOf({held->ra, held->dec}, utc);
  }
  return hint;
}

void FrameIntake::Sample() {
  const double now = program_->clock()->Now();
  conditions_.push_back(
      {now, side_ ? side_->SideOfPier() : PierSide::Unknown, program_->LastAirUsed()});
  while (conditions_.front().time < now - kConditionsKeptSeconds) conditions_.pop_front();
}

// The last sample at or before `time`; the first where all are later.
FrameIntake::Conditions FrameIntake::At(double time) const {
  Conditions at = conditions_.front();
  for (const Conditions& c : conditions_) {
    if (c.time > time) break;
    at = c;
  }
  return at;
}

void FrameIntake::Take() {
  Sample();
  // Frames that waited for a reading after their middle go first, in order.
  feed_.Retry();
  for (const frames::FrameEvent& e : source_.Take()) {
    using Kind = frames::FrameEvent::Kind;
    tracking::FrameNote note;
    switch (e.kind) {
      case Kind::Solved:
        // A solve tells the scale the next frames of its size can be hinted with.
        if (e.solved_here) {
          frames::Learn(learned_, {e.header->width, e.header->height, e.sky->scale_arcsec});
        }
        Measure(e, program_->clock()->Now());
        continue;
      case Kind::Failed:
        note = {e.file, std::nullopt, std::nullopt, tracking::FrameAction::Failed, e.text};
        if (e.header) note.mid = e.header->mid_exposure;
        break;
      case Kind::Dropped:
        note = {"", std::nullopt, std::nullopt, tracking::FrameAction::Dropped, e.text};
        break;
      case Kind::Folder:
        note = {"", std::nullopt, std::nullopt, tracking::FrameAction::Folder, e.text};
        break;
    }
    feed_.Note(note);
  }
  source_.SetHint(Hint());
}

void FrameIntake::Measure(const frames::FrameEvent& e, double since) {
  const frames::FrameHeader& header = *e.header;
  const std::optional<tracking::FrameMeasurement> input = HoldInputOf(e.file, header, *e.sky);
  if (!input) {
    feed_.Note({e.file, header.mid_exposure, std::nullopt, tracking::FrameAction::Failed,
                "no such UTC moment"});
    return;
  }
  // A header's WCS passed over for a solve is said with the first such frame.
  std::string also;
  if (!e.wcs_unused.empty() && !std::exchange(wcs_said_, true)) also = "solved, as " + e.wcs_unused;
  feed_.Offer(*input, since, std::move(also),
              [this, e](const tracking::FrameOutcome& outcome) { Record(e, outcome); });
}

void FrameIntake::Record(const frames::FrameEvent& e, const tracking::FrameOutcome& outcome) {
  const bool taken = outcome.verdict == tracking::FrameAction::Reference ||
                     outcome.verdict == tracking::FrameAction::Used;
  if (!points_ || !taken || !outcome.mount) return;
  // The mount's own reading at the middle, as a sync records it: the hold's
  // place for the mount then, with the model and refraction put back as they
  // were then. A fit of these points fits the mount, not the model in use.
  const program::RaDec reading =
      program_->MapIdealToRaw({outcome.mount->ra, outcome.mount->dec}, e.header->mid_exposure);
  // The side of the pier and the air as they were at the middle.
  const Conditions then = At(e.header->mid_exposure);
  points::PointAir air;
  if (then.air) air = {then.air->temperature_c, then.air->pressure_hpa, then.air->humidity_percent};
  const points::PointRecord point = pointing::PointOf(
      FieldsAt(e.header->mid_exposure), e.sky->center, {reading.ra, reading.dec}, then.side, air);
  points_(point, "frame \"" + EscapedText(e.file) + "\"");
}

}  // namespace orvan::intake
