#include "tracking/frame_feed.h"

#include <utility>

namespace orvan::tracking {

FrameFeed::FrameFeed(FrameHold& hold, std::function<double()> now, Say say)
    : hold_(hold), now_(std::move(now)), say_(std::move(say)) {}

void FrameFeed::Note(const FrameNote& note) const {
  if (notes_) notes_(note);
  if (say_) say_(FrameNoteText(note));
}

void FrameFeed::Offer(const FrameMeasurement& frame, double since, std::string also, Taken taken) {
  Measure({frame, since, std::move(also), std::move(taken)});
}

void FrameFeed::Retry() {
  for (Offered& o : std::exchange(waiting_, {})) Measure(std::move(o));
}

void FrameFeed::Measure(Offered offered) {
  const FrameOutcome outcome = hold_.Frame(offered.frame);
  if (outcome.wait && now_() - offered.since < kMostWaitSeconds) {
    waiting_.push_back(std::move(offered));
    return;
  }
  std::string reason = outcome.reason;
  if (!offered.also.empty()) reason += (reason.empty() ? "" : "; ") + offered.also;
  Note({offered.frame.file, offered.frame.mid, outcome.drift_arcsec, outcome.verdict, reason});
  if (offered.taken) offered.taken(outcome);
}

}  // namespace orvan::tracking
