#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_reader.h"
#include "frames/solver.h"
#include "points/fits_file.h"

// New frames in a folder, read and solved on a thread of their own, handed
// to the program's thread when it asks.
namespace orvan::frames {

// What became of one file, or of the folder.
struct FrameEvent {
  enum class Kind {
    Solved,   // `header` and `sky` are set
    Failed,   // not read or not solved: `text` says why
    Dropped,  // the queue overflowed: `text` says how many, oldest first
    Folder,   // the folder went, came back, or can't be read: `text`
  };
  Kind kind = Kind::Failed;
  std::string file;  // the path, for all but Folder
  std::string text;
  std::optional<FrameHeader> header;
  std::optional<FrameSky> sky;
  bool solved_here = false;  // by the solver, not the header's WCS
  // Why the header's WCS was not taken (not marked as a solve, no scale).
  std::string wcs_unused;
  double solve_seconds = 0;
};

// Reads and, where needed, solves one file; on the worker thread. `stop_fd`
// turns readable once the source stops, for a slow step to give up on.
using ProcessFrame =
    std::function<FrameEvent(const std::string& path, const SolveHint& hint, int stop_fd)>;

using SourceConfig = points::FolderWatchConfig;

// Watches `dir` and the folders made in it for FITS files written whole
// (.fits, .fit, .fts in any case), and processes the newest first.
class FrameSource {
 public:
  FrameSource(SourceConfig config, ProcessFrame process);
  // Stops both threads: the watch's at once, the worker once the file in
  // hand (if any) is processed, a read or solve of it cut short; the files
  // still queued are let go. Within `stop_limit`: a thread not ended by
  // then is left behind, and the text returned says so (empty where both
  // ended). Once; later calls return at once.
  std::string Stop();
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // The watch starts, and only files written from now on are taken. False,
  // with `error`, only for what waiting cannot mend (no folder named, a
  // queue of no frames, no inotify); a folder that is missing or can't be
  // read is said as a Folder event and looked for again every
  // `rewatch_every`. Once only.
  bool Start(std::string& error);
  // The hint for the next solves; from the program's thread.
  void SetHint(const SolveHint& hint);
  // What happened since the last call, in order.
  std::vector<FrameEvent> Take();
  // How many files written whole have been seen since the start, whether
  // processed, waiting or dropped; a file taken again while it waits to be
  // whole, once.
  std::size_t Seen() const;

 private:
  struct State;
  // Shared with the threads, so that one left behind still has it.
  std::shared_ptr<State> state_;
};

// How the program takes a frame.
struct FrameReading {
  // Where set, a frame without a WCS it can take is solved; else it fails.
  std::optional<SolverConfig> solver;
  // Every WCS in a header is taken as a solve, marked or not: the user says
  // the capture program's WCS is one (--frames-wcs solved).
  bool any_wcs = false;
  ReaderLimits reader;
};

// The one way the program processes a frame: opened (a regular file only),
// its header read in a child (frame_reader.h), its WCS taken where a solver
// made it (or `how` says any will do), else solved where `how` has a solver;
// the read and the solve end once `stop_fd` turns readable.
FrameEvent ProcessWith(const std::string& path, const SolveHint& hint, const FrameReading& how,
                       int stop_fd);

}  // namespace orvan::frames
