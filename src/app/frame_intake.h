#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/points_file.h"
#include "frames/frame_source.h"
#include "observatory/program/observatory_program.h"
#include "tracking/frame_hold.h"
#include "ui/frmMain.h"

namespace orvan::app {

// Holding by the frames (--frames): the folder watched and each new frame
// read and solved on a worker thread; on the program's own thread, once a
// second, each frame measured by the hold, noted in the log and the view,
// and, solved and taken, appended as a point (--points).
class FrameIntake {
 public:
  using Say = std::function<void(const std::string&)>;
  static constexpr std::chrono::milliseconds kTakeEvery{1000};
  // The solver looks this far around where the program believes a frame is.
  static constexpr double kHintRadiusDeg = 2;
  // A frame whose middle is after the newest reading waits this long, three
  // cycles, for one after it; then it is said as waiting no longer.
  static constexpr double kMostWaitSeconds = 12;

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
  // `points` may be null.
  FrameIntake(Config config, std::shared_ptr<program::ObservatoryProgram> program,
              std::shared_ptr<PierSideSource> side, std::shared_ptr<PointsFile> points, Say say);

  tracking::FrameHold& hold() { return hold_; }
  // The watch starts; false, with the reason, when it cannot.
  bool Start(std::string& error);
  // From now on what the worker made is taken into `form` every kTakeEvery;
  // once the event loop runs.
  void Deliver(frmMain& form);
  void Take();
  // The watch and the worker stopped; what could not be, said (empty where
  // all stopped).
  std::string Stop() { return source_.Stop(); }

 private:
  // `since`: when the frame came, on the program's clock.
  void Measure(const frames::FrameEvent& event, double since);
  void Note(const tracking::FrameNote& note);
  void Record(const frames::FrameEvent& event, const tracking::FrameOutcome& outcome);
  frames::SolveHint Hint() const;

  Config config_;
  std::shared_ptr<program::ObservatoryProgram> program_;
  std::shared_ptr<PierSideSource> side_;
  std::shared_ptr<PointsFile> points_;
  Say say_;
  tracking::FrameHold hold_;
  frames::FrameSource source_;
  std::vector<frames::LearnedScale> learned_;  // the last solve's, per frame size
  bool wcs_said_ = false;                      // why a header's WCS was not taken, said once
  struct Waiting {
    frames::FrameEvent event;
    double since;
  };
  std::vector<Waiting> waiting_;  // for a reading after their middle
  frmMain* form_ = nullptr;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace orvan::app
