#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_source.h"
#include "observatory/program/observatory_program.h"
#include "points/point_record.h"
#include "tracking/frame_feed.h"
#include "tracking/frame_hold.h"
#include "tracking/frame_note.h"

// Holding by the frames (--frames), the one way down for a frame: the folder
// watched and each new frame read and solved on a worker thread; on the
// program's own thread, each frame measured by the hold, its note told, and,
// solved and taken, recorded as a point. No window system here: the program
// calls Take on a timer of its own.
namespace orvan::intake {

// A frame read, or read and solved, as the hold takes it: its start and
// middle, and the apparent place of date of its centre at the middle. None
// where the middle is no UTC moment.
std::optional<tracking::FrameMeasurement> HoldInputOf(const std::string& file,
                                                      const frames::FrameHeader& header,
                                                      const frames::FrameSky& sky);

class FrameIntake {
 public:
  using Say = tracking::FrameFeed::Say;
  using NoteSink = tracking::FrameFeed::NoteSink;
  using PointSink =
      std::function<void(const points::PointRecord& point, const std::string& source)>;
  struct Config {
    std::string dir;
    bool solve = true;
    bool any_wcs = false;  // every header WCS is a solve (--frames-wcs solved)
    std::optional<double> pixel_scale_arcsec;
    tracking::FrameHoldConfig hold;
    frames::SolverConfig solver;
    std::optional<std::chrono::milliseconds> whole_wait;  // the source's own where none
  };

  // `say` hears each frame's line where no view prints it (the window);
  // `points` is told each frame point (may be empty).
  FrameIntake(Config config, std::shared_ptr<program::ObservatoryProgram> program,
              std::shared_ptr<PierSideSource> side, PointSink points, Say say);

  tracking::FrameHold& hold() { return hold_; }
  // The watch starts; false, with the reason, when it cannot.
  bool Start(std::string& error);
  // From now on each note also goes to `notes` (the log and the view).
  void NoteTo(NoteSink notes) { feed_.NoteTo(std::move(notes)); }
  // Takes in what the worker made since the last call.
  void Take();
  // The watch and the worker stopped; what could not be, said (empty where
  // all stopped).
  std::string Stop() { return source_.Stop(); }

 private:
  // `since`: when the frame came, on the program's clock.
  void Measure(const frames::FrameEvent& event, double since);
  void Record(const frames::FrameEvent& event, const tracking::FrameOutcome& outcome);
  frames::SolveHint Hint() const;
  // The mount's side of the pier and the air the cycles mapped with, sampled
  // at each Take (on the program's clock), for a frame's middle.
  struct Conditions {
    double time = 0;
    PierSide side = PierSide::Unknown;
    std::optional<AirUsed> air;
  };
  static constexpr double kConditionsKeptSeconds = 600;
  void Sample();
  Conditions At(double time) const;

  Config config_;
  std::shared_ptr<program::ObservatoryProgram> program_;
  std::shared_ptr<PierSideSource> side_;
  PointSink points_;
  tracking::FrameHold hold_;
  tracking::FrameFeed feed_;
  frames::FrameSource source_;
  std::vector<frames::LearnedScale> learned_;  // the last solve's, per frame size
  bool wcs_said_ = false;                      // why a header's WCS was not taken, said once
  std::deque<Conditions> conditions_;
};

}  // namespace orvan::intake
