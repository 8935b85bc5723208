#include "tracking/model_tracking.h"

#include "tracking/tracking.h"

namespace orvan::tracking {
namespace {

constexpr double kCycleSeconds = kCyclePeriodMs / kMillisecondsPerSecond;

}  // namespace

void ModelTracking::Recorded(const CycleRecord& record) noexcept {
  switch (record.kind) {
    case RecordKind::Start:
      if (record.target) return Follow(*record.target);
      return Pause();
    case RecordKind::Cycle:
      // Only a cycle that mapped both positions held the target; one with
      // a target and no mapping re-captured it.
      if (record.target && record.target_scope) return Follow(*record.target);
      if (record.target && following_ && ++recaptures_ >= kMostRecaptures) {
        Pause();
        given_up_ = true;
        follower_.GaveUp(recaptures_);
        return;
      }
      return Pause();
    case RecordKind::Stop:
    case RecordKind::Abort:
      return Pause();
  }
}

void ModelTracking::Follow(const AxisPair& target) noexcept {
  if (given_up_) return;
  following_ = true;
  try {
    follower_.Follow(target, kCycleSeconds, motion_ ? motion_->Motion() : AxisPair{});
  } catch (const Error& e) {
    follower_.Failed(e);
    Pause();
  } catch (...) {
    Pause();
  }
}

void ModelTracking::Pause() noexcept {
  following_ = false;
  try {
    follower_.Pause();
  } catch (const Error& e) {
    follower_.Failed(e);
  } catch (...) {
  }
}

}  // namespace orvan::tracking
