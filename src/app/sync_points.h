#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/points_file.h"
#include "observatory/indi/sync_watch.h"
#include "observatory/program/observatory_program.h"

namespace orvan::app {

// Every sync another client makes on the INDI mount, appended to a point CSV
// (--points) as it is seen: the INDI library's thread hands each one to the
// watch, and the program's own thread takes them from it once a second.
class SyncPoints {
 public:
  static constexpr std::chrono::milliseconds kTakeEvery{1000};

  explicit SyncPoints(std::shared_ptr<PointsFile> file) : file_(std::move(file)) {}

  const std::shared_ptr<indi::SyncWatch>& watch() const { return watch_; }
  // Takes syncs from the watch from now on; once the event loop runs.
  void Start(std::shared_ptr<program::ObservatoryProgram> program,
             std::shared_ptr<PierSideSource> side);
  // Appends the syncs seen since the last time.
  void Take();

 private:
  std::shared_ptr<PointsFile> file_;
  std::shared_ptr<indi::SyncWatch> watch_ = std::make_shared<indi::SyncWatch>();
  std::shared_ptr<program::ObservatoryProgram> program_;
  std::shared_ptr<PierSideSource> side_;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace orvan::app
