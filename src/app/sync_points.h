#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "observatory/indi/sync_watch.h"
#include "observatory/program/observatory_program.h"
#include "points/point_writer.h"

namespace orvan::app {

// Every sync another client makes on the INDI mount, appended to a point CSV
// (--points) as it is seen: the INDI library's thread hands each one to the
// watch, and the program's own thread takes them from it once a second.
class SyncPoints {
 public:
  using Say = std::function<void(const std::string&)>;
  static constexpr std::chrono::milliseconds kTakeEvery{1000};

  // The file at `path`, appended to; null, with the reason, when it can't be.
  static std::unique_ptr<SyncPoints> Open(const std::string& path, Say say, std::string& error);

  const std::shared_ptr<indi::SyncWatch>& watch() const { return watch_; }
  // Takes syncs from the watch from now on; once the event loop runs.
  void Start(std::shared_ptr<program::ObservatoryProgram> program,
             std::shared_ptr<PierSideSource> side);
  // Appends the syncs seen since the last time.
  void Take();

 private:
  SyncPoints(std::unique_ptr<points::PointWriter> writer, std::string path, Say say);

  std::unique_ptr<points::PointWriter> writer_;
  std::string path_;
  Say say_;
  std::shared_ptr<indi::SyncWatch> watch_ = std::make_shared<indi::SyncWatch>();
  std::shared_ptr<program::ObservatoryProgram> program_;
  std::shared_ptr<PierSideSource> side_;
  std::unique_ptr<QTimer> timer_;
  bool failed_ = false;  // a failure is said once
};

}  // namespace orvan::app
