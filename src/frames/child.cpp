#include "child.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace orvan::frames {
namespace {

// How often a child is looked at where the kernel cannot signal its end
// (no pidfd).
constexpr std::chrono::milliseconds kPollStep{20};
constexpr double kMicrosecondsPerSecond = 1e6;

double SecondsOf(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / kMicrosecondsPerSecond;
}

bool Ended(pid_t pid) {
  siginfo_t info{};
  const int waited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
  return (waited == 0 && info.si_pid == pid) || (waited != 0 && errno != EINTR);
}

// Waits until the child has ended or `deadline` passes; true once stop_fd
// turns readable first.
enum class Wait { Ended, Deadline, Stopped };
Wait Watch(pid_t pid, int pidfd, ChildClock::time_point deadline, int stop_fd) {
  while (!Ended(pid)) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ChildClock::now());
    if (left.count() <= 0) return Wait::Deadline;
    // poll passes over a descriptor of -1: either may be missing.
    std::array<pollfd, 2> ready{{{pidfd, POLLIN, 0}, {stop_fd, POLLIN, 0}}};
    const auto wait = pidfd >= 0 ? left : std::min(left, kPollStep);
    ::poll(ready.data(), ready.size(), static_cast<int>(wait.count()));
    if ((ready[1].revents & POLLIN) != 0) return Wait::Stopped;
  }
  return Wait::Ended;
}

}  // namespace

ChildEnding AwaitChild(pid_t pid, ChildClock::time_point deadline, int stop_fd) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  ChildEnding ending;
  const Wait wait = Watch(pid, pidfd, deadline, stop_fd);
  ending.timed_out = wait == Wait::Deadline;
  ending.stopped = wait == Wait::Stopped;
  ::killpg(pid, SIGKILL);
  // The child itself too, should it not yet have made its group.
  ::kill(pid, SIGKILL);
  // A child killed in an uninterruptible read ends only when the read does.
  if (wait != Wait::Ended && Watch(pid, pidfd, ChildClock::now() + kReapLimit, -1) != Wait::Ended) {
    ending.unreaped = true;
  } else {
    rusage usage{};
    while (::wait4(pid, &ending.status, 0, &usage) < 0 && errno == EINTR) {
    }
    ending.cpu_s = SecondsOf(usage.ru_utime) + SecondsOf(usage.ru_stime);
  }
  if (pidfd >= 0) ::close(pidfd);
  return ending;
}

std::string SignalName(int signal) {
  const char* name = ::sigdescr_np(signal);
  return name != nullptr ? name : "unknown signal";
}

}  // namespace orvan::frames
