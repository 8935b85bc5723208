#include "app/sync_points.h"

#include "support/error.h"
#include "support/numtext.h"

namespace orvan::app {

std::unique_ptr<SyncPoints> SyncPoints::Open(const std::string& path, Say say, std::string& error) {
  std::unique_ptr<points::PointWriter> writer = points::PointWriter::Open(path, error);
  if (!writer) return nullptr;
  return std::unique_ptr<SyncPoints>(new SyncPoints(std::move(writer), path, std::move(say)));
}

SyncPoints::SyncPoints(std::unique_ptr<points::PointWriter> writer, std::string path, Say say)
    : writer_(std::move(writer)), path_(std::move(path)), say_(std::move(say)) {}

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
    std::string reason;
    try {
      // The air and the side the program maps with, as they are now.
      const PierSide side = side_ ? side_->SideOfPier() : PierSide::Unknown;
      const points::PointRecord point = indi::SyncPoint(sync, side, program_->CurrentSite());
      if (writer_->Append(point, reason)) {
        say_("sync at RA " + ShortestText(sync.synced.ra) + " h, Dec " +
             ShortestText(sync.synced.dec) + " deg recorded in " + path_);
        continue;
      }
    } catch (const Error& e) {
      reason = e.description();
    }
    if (!failed_) say_("cannot record a sync in " + path_ + ": " + reason);
    failed_ = true;
  }
}

}  // namespace orvan::app
