#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tracking/plate_intake.h"

// A folder and every folder in it, watched on Windows for FITS files written
// whole, on a thread of its own: the start of each new frame handed to the
// program's thread when it asks.
namespace orvan::intake {

struct PlateFolderConfig {
  std::string dir;
  // Frames waiting to be taken; beyond it the oldest are let go, counted.
  std::size_t queue_limit = 64;
  // A file is taken once no writer has it open (it opens with read sharing
  // alone), it holds what its headers declare, and its size and time of
  // writing have held for `settle`; one still open or short after
  // `whole_limit` is said as such, or read as it is.
  std::chrono::milliseconds settle{1000};
  std::chrono::milliseconds whole_limit{60000};
  // How often a folder that went, or can't be watched, is looked for again.
  std::chrono::milliseconds rewatch_every{2000};
  // How long a stop waits for the thread: one stuck in a call that does not
  // return (a network folder that hangs) is left behind.
  std::chrono::milliseconds stop_limit{3000};
};

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
