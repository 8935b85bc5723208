#include "app/sync_points.h"

#include "support/error.h"
#include "support/numtext.h"

namespace orvan::app {

void SyncPoints::Start(std::shared_ptr<program::ObservatoryProgram> program,
                       std::shared_ptr<PierSideSource> side) {
  program_ = std::move(program);
  side_ = std::move(side);
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { Take(); });
  timer_->start(kTakeEvery);
}

void SyncPoints::Take() {
  for (const indi::SeenSync& sync : watch_->Take()) {
    const std::string what = "sync at RA " + ShortestText(sync.synced.ra) + " h, Dec " +
                             ShortestText(sync.synced.dec) + " deg";
    try {
      // The air and the side the program maps with, as they are now.
      const PierSide side = side_ ? side_->SideOfPier() : PierSide::Unknown;
      file_->Append(indi::SyncPoint(sync, side, program_->CurrentSite()), what);
    } catch (const Error& e) {
      file_->Failed(what, e.description());
    }
  }
}

}  // namespace orvan::app
