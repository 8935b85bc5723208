#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tracking/frame_hold.h"
#include "tracking/frame_note.h"

// A measured frame on its way to the hold, whatever read it: measured once
// the mount has been read after its middle, then noted. Every build feeds
// the hold, and notes its frames and folder, this way.
namespace orvan::tracking {

class FrameFeed {
 public:
  // A frame whose middle is after the newest reading waits this long, three
  // cycles, for one after it; then it is said as waiting no longer.
  static constexpr double kMostWaitSeconds = 12;

  using Say = std::function<void(const std::string&)>;
  using NoteSink = std::function<void(const FrameNote&)>;
  // Told what the hold made of a frame, once it is noted.
  using Taken = std::function<void(const FrameOutcome&)>;

  // `now`: the program's clock, as the hold's; `say` hears each note's line.
  FrameFeed(FrameHold& hold, std::function<double()> now, Say say);

  // From now on each note also goes to `notes` (the log and the view).
  void NoteTo(NoteSink notes) { notes_ = std::move(notes); }
  // Tells a note: to `notes`, and its line to `say`.
  void Note(const FrameNote& note) const;

  // Measures `frame`, which came at `since`; `also` is added to its note's
  // reason. One that has to wait is kept for Retry.
  void Offer(const FrameMeasurement& frame, double since, std::string also, Taken taken);
  // Offers again, in order, the frames that waited.
  void Retry();
  bool Waiting() const { return !waiting_.empty(); }

 private:
  struct Offered {
    FrameMeasurement frame;
    double since;
    std::string also;
    Taken taken;
  };
  void Measure(Offered offered);

  FrameHold& hold_;
  std::function<double()> now_;
  Say say_;
  NoteSink notes_;
  std::vector<Offered> waiting_;
};

}  // namespace orvan::tracking
