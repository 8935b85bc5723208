#pragma once

#include <functional>
#include <string>
#include <vector>

#include "points/exposure_header.h"
#include "tracking/frame_feed.h"
#include "tracking/frame_hold.h"
#include "tracking/frame_note.h"

// Holding by frames whose files carry their own plate solution (the Windows
// program, beside ACP): what a folder watch found, each frame measured from
// its file's start and given to the hold, noted. No solver: a frame without
// a solution is said as such. On the program's own thread.
namespace orvan::tracking {

// What became of one file, or of the folder, as a watch hands it over.
struct PlateEvent {
  enum class Kind {
    Frame,    // whole: `start` holds its first bytes, its primary header among them
    Failed,   // not read: `text` says why
    Dropped,  // the queue overflowed: `text` says how many
    Folder,   // the folder went, came back, or can't be read: `text`
  };
  Kind kind = Kind::Failed;
  std::string file;  // the path, for Frame and Failed
  std::string text;
  std::string start;
};

class PlateIntake {
 public:
  using Say = FrameFeed::Say;
  // What a frame without a plate solution is said to need, with the first.
  static constexpr std::string_view kLetAcpSolve = "let ACP solve its images";

  // `now`: the program's clock, seconds of UTC since J2000.0; `leap`: the
  // days that ended with a leap second; `say` hears each note's line.
  PlateIntake(FrameHoldConfig config, std::function<double()> now, points::LeapSecondDay leap,
              Say say);
  PlateIntake(const PlateIntake&) = delete;
  PlateIntake& operator=(const PlateIntake&) = delete;

  FrameHold& hold() { return hold_; }
  // From now on each note also goes to `notes` (the log).
  void NoteTo(FrameFeed::NoteSink notes) { feed_.NoteTo(std::move(notes)); }
  // The frames that waited for a reading, then `events`, in order.
  void Take(const std::vector<PlateEvent>& events);
  // Frames wait for a reading after their middle: Take again soon.
  bool Waiting() const { return feed_.Waiting(); }

 private:
  void Measure(const PlateEvent& event);

  std::function<double()> now_;
  points::LeapSecondDay leap_;
  FrameHold hold_;
  FrameFeed feed_;
  bool unsolved_said_ = false;
};

}  // namespace orvan::tracking
