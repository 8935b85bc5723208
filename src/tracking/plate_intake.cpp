#include "tracking/plate_intake.h"

#include <utility>

#include "points/plate_header.h"
#include "tracking/plate_frame.h"

namespace orvan::tracking {
namespace {

constexpr std::string_view kNoSolution = "no plate solution";

}  // namespace

PlateIntake::PlateIntake(FrameHoldConfig config, std::function<double()> now,
                         points::LeapSecondDay leap, Say say)
    : now_(std::move(now)),
      leap_(std::move(leap)),
      hold_(config, now_),
      feed_(hold_, now_, std::move(say)) {}

void PlateIntake::Take(const std::vector<PlateEvent>& events) {
  feed_.Retry();
  for (const PlateEvent& e : events) {
    switch (e.kind) {
      case PlateEvent::Kind::Frame:
        Measure(e);
        break;
      case PlateEvent::Kind::Failed:
        feed_.Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, e.text});
        break;
      case PlateEvent::Kind::Dropped:
        feed_.Note({"", std::nullopt, std::nullopt, FrameAction::Dropped, e.text});
        break;
      case PlateEvent::Kind::Folder:
        feed_.Note({"", std::nullopt, std::nullopt, FrameAction::Folder, e.text});
        break;
    }
  }
}

void PlateIntake::Measure(const PlateEvent& e) {
  const PlateFrame plate = MeasurePlateFrame(e.file, e.start, leap_);
  if (!plate.error.empty()) {
    feed_.Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, plate.error});
    return;
  }
  if (!plate.measurement || !plate.solved) {
    // A WCS no solver marked says only where the mount believed it pointed.
    std::string reason(kNoSolution);
    if (!std::exchange(unsolved_said_, true)) {
      const std::string_view why = plate.measurement      ? points::kUnmarkedText
                                   : plate.unused.empty() ? points::kNoWcsText
                                                          : std::string_view(plate.unused);
      reason += ", " + std::string(why) + ": " + std::string(kLetAcpSolve);
    }
    feed_.Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, reason});
    return;
  }
  feed_.Offer(*plate.measurement, now_(), "", nullptr);
}

}  // namespace orvan::tracking
