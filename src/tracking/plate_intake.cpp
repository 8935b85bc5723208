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
      say_(std::move(say)),
      hold_(config, now_),
      feed_(hold_, now_, [this](const FrameNote& note) { Note(note); }) {}

void PlateIntake::Take(const std::vector<PlateEvent>& events) {
  feed_.Retry();
  for (const PlateEvent& e : events) {
    switch (e.kind) {
      case PlateEvent::Kind::Frame:
        Measure(e);
        break;
      case PlateEvent::Kind::Failed:
        Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, e.text});
        break;
      case PlateEvent::Kind::Dropped:
        Note({"", std::nullopt, std::nullopt, FrameAction::Dropped, e.text});
        break;
      case PlateEvent::Kind::Folder:
        Note({"", std::nullopt, std::nullopt, FrameAction::Folder, e.text});
        break;
    }
  }
}

void PlateIntake::Measure(const PlateEvent& e) {
  const PlateFrame plate = MeasurePlateFrame(e.file, e.start, leap_);
  if (!plate.error.empty()) {
    Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, plate.error});
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
    Note({e.file, std::nullopt, std::nullopt, FrameAction::Failed, reason});
    return;
  }
  feed_.Offer(*plate.measurement, now_(), "", nullptr);
}

void PlateIntake::Note(const FrameNote& note) {
  if (notes_) notes_(note);
  if (say_) say_(FrameNoteText(note));
}

}  // namespace orvan::tracking
