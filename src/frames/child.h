#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

// A child process of the frame worker, waited for within limits: the solver,
// and the reader that takes a frame's header apart.
namespace orvan::frames {

using ChildClock = std::chrono::steady_clock;

// How a child ended.
struct ChildEnding {
  int status = 0;          // as wait4 gives it, where reaped
  bool timed_out = false;  // killed at the deadline
  bool stopped = false;    // killed as the frames stopped
  // Killed, but not gone within kReapLimit (a read that hangs in the
  // kernel): left behind, its status unknown.
  bool unreaped = false;
  double cpu_s = 0;  // the child's and its waited-for helpers', user and system
};

// Why a child was killed when the frames stopped.
inline constexpr const char* kStoppedText = "stopped, as the frames are no longer watched";

// How long a killed child is waited for before it is left behind.
inline constexpr std::chrono::milliseconds kReapLimit{2000};

// Waits for `pid`, the leader of a process group of its own, until it ends,
// `deadline` passes or `stop_fd` (where not -1) turns readable; then kills
// the whole group (any helper the child left running too) and reaps the
// child within kReapLimit.
ChildEnding AwaitChild(pid_t pid, ChildClock::time_point deadline, int stop_fd);

// A signal's description ("Segmentation fault"), safe on any thread.
std::string SignalName(int signal);

}  // namespace orvan::frames
