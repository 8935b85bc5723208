#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "points/fits_file.h"
#include "tracking/plate_intake.h"

// A folder and every folder in it, watched on Windows for FITS files written
// whole, on a thread of its own: the start of each new frame handed to the
// program's thread when it asks.
namespace orvan::intake {

using PlateFolderConfig = points::FolderWatchConfig;

class PlateFolder {
 public:
  // `news` is called on the watch's thread when something waits to be
  // taken: once, until the next Take.
  PlateFolder(PlateFolderConfig config, std::function<void()> news);
  ~PlateFolder();
  PlateFolder(const PlateFolder&) = delete;
  PlateFolder& operator=(const PlateFolder&) = delete;

  // The watch starts; only files written from now on are taken. False, with
  // `error`, only for what waiting cannot mend (no folder named, no thread);
  // a folder missing or unreadable is said, and looked for again. Once.
  bool Start(std::string& error);
  // What happened since the last call, in order; a count of the frames let
  // go first.
  std::vector<tracking::PlateEvent> Take();
  // Stops the thread within `stop_limit`; what could not be stopped, said
  // (empty where it ended). Once; later calls return at once.
  std::string Stop();

 private:
  struct State;
  // Shared with the thread, so that one left behind still has it.
  std::shared_ptr<State> state_;
};

}  // namespace orvan::intake
