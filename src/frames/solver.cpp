#include "frames/solver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "points/text_fields.h"
#include "support/numtext.h"

namespace orvan::frames {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The name solve-field gives its outputs in the private folder, and the file
// its own output goes to.
constexpr const char* kOutputBase = "frame";
constexpr const char* kLogName = "solve-field.log";
constexpr const char* kSolverName = "solve-field";
constexpr double kDegreesPerHour = 15.0;
// The solution is a plain TAN: the program reads only the frame's centre,
// and a SIP polynomial fitted to a frame's few catalogue stars (a Tycho-2
// field holds tens) moves that centre by tenths of an arc-second.
constexpr const char* kTweakOrder = "1";
// How far from the believed pixel scale the solver looks, either way.
constexpr double kScaleSlack = 0.10;
// The CPU limit the kernel holds the solver to, beyond the one it keeps
// itself: only a solver that ignores its own is stopped by it.
constexpr rlim_t kCpuBackstopMarginS = 10;
// How often a child is looked at where the kernel cannot signal its end
// (no pidfd).
constexpr std::chrono::milliseconds kPollStep{20};
// Marks every descriptor from 3 up close-on-exec (linux/close_range.h).
constexpr unsigned kCloseRangeCloexec = 1U << 2U;
constexpr int kExecFailed = 127;
constexpr const char* kStoppedText = "stopped, as the frames are no longer watched";

// A folder of the solver's own, removed with everything in it.
class TempFolder {
 public:
  explicit TempFolder(std::string& error) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/orvan-solve-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
      return;
    }
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<std::string> Arguments(const std::string& frame, const std::string& dir,
                                   const FrameHeader& header, const SolveHint& hint,
                                   const SolverConfig& config) {
  std::vector<std::string> args = {
      kSolverName,  "--dir",       dir,
      "--temp-dir", dir,           "--out",
      kOutputBase,  "--no-plots",  "--new-fits",
      "none",       "--overwrite", "--tweak-order",
      kTweakOrder,  "--cpulimit",  ShortestText(std::ceil(config.cpu_limit_s))};
  if (hint.near) {
    args.insert(args.end(),
                {"--ra", ShortestText(hint.near->ra * kDegreesPerHour), "--dec",
                 ShortestText(hint.near->dec), "--radius", ShortestText(hint.radius_deg)});
  }
  const auto scale = hint.scale_arcsec ? hint.scale_arcsec : header.pixel_scale_arcsec;
  if (scale) {
    args.insert(args.end(), {"--scale-units", "arcsecperpix", "--scale-low",
                             ShortestText(*scale * (1 - kScaleSlack)), "--scale-high",
                             ShortestText(*scale * (1 + kScaleSlack))});
  }
  // Absolute, so that no frame name reads as an option.
  std::error_code failed;
  const fs::path absolute = fs::absolute(frame, failed);
  args.push_back(failed ? frame : absolute.string());
  return args;
}

// The program's file as exec takes it: as given where it names a folder, else
// the first executable of that name on PATH; empty, with errno, where none.
std::string Locate(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
  while (true) {
    const auto colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    std::string file = (dir.empty() ? std::string(".") : dir) + "/" + program;
    std::error_code unreadable;
    if (::access(file.c_str(), X_OK) == 0 && fs::is_regular_file(file, unreadable)) return file;
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  errno = ENOENT;
  return {};
}

// In the child, between fork and exec: only calls safe there. Any failure is
// written to `report` as its errno.
[[noreturn]] void RunChild(const char* file, char* const* argv, const char* log, rlim_t cpu_s,
                           int report) {
  ::setpgid(0, 0);
  const rlimit cpu{cpu_s, cpu_s + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  ::signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(log, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in >= 0 && out >= 0 && ::dup2(in, STDIN_FILENO) >= 0 && ::dup2(out, STDOUT_FILENO) >= 0 &&
      ::dup2(out, STDERR_FILENO) >= 0) {
    ::syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec);
    ::execv(file, argv);
  }
  const int cause = errno;
  (void)!::write(report, &cause, sizeof cause);
  ::_exit(kExecFailed);
}

// The child started, in a process group of its own; -1 with errno where it
// could not be.
pid_t Start(const std::string& program, const std::vector<std::string>& args,
            const std::string& log, rlim_t cpu_s) {
  const std::string file = Locate(program);
  if (file.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) RunChild(file.c_str(), argv.data(), log.c_str(), cpu_s, report[1]);
  const int fork_error = errno;
  ::close(report[1]);
  int cause = 0;
  ssize_t got = 0;
  if (pid > 0) {
    do {
      got = ::read(report[0], &cause, sizeof cause);
    } while (got < 0 && errno == EINTR);
  }
  ::close(report[0]);
  if (pid < 0) {
    errno = fork_error;
    return -1;
  }
  if (got == sizeof cause) {
    ::waitpid(pid, nullptr, 0);
    errno = cause;
    return -1;
  }
  return pid;
}

struct Ending {
  int status = 0;
  bool timed_out = false;
  bool stopped = false;
  double cpu_s = 0;  // the solver's and its waited-for helpers', user and system
};

double SecondsOf(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Waits for the child until `deadline` or until `stop_fd` turns readable,
// then ends its whole group: at the limit, or after it, for any helper it
// left running.
Ending Await(pid_t pid, Clock::time_point deadline, int stop_fd) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  Ending ending;
  while (true) {
    siginfo_t info{};
    const int waited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if ((waited == 0 && info.si_pid == pid) || (waited != 0 && errno != EINTR)) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      ending.timed_out = true;
      break;
    }
    // poll passes over a descriptor of -1: either may be missing.
    std::array<pollfd, 2> ready{{{pidfd, POLLIN, 0}, {stop_fd, POLLIN, 0}}};
    const auto wait = pidfd >= 0 ? left : std::min(left, kPollStep);
    ::poll(ready.data(), ready.size(), static_cast<int>(wait.count()));
    if ((ready[1].revents & POLLIN) != 0) {
      ending.stopped = true;
      break;
    }
  }
  ::killpg(pid, SIGKILL);
  rusage usage{};
  while (::wait4(pid, &ending.status, 0, &usage) < 0 && errno == EINTR) {
  }
  ending.cpu_s = SecondsOf(usage.ru_utime) + SecondsOf(usage.ru_stime);
  if (pidfd >= 0) ::close(pidfd);
  return ending;
}

// The last line the solver wrote, for a failure's message.
std::string LastLine(const std::string& log) {
  std::ifstream in(log);
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  return points::Shortened(last);
}

// The signal's description, as strsignal gives it but safe on any thread.
std::string SignalName(int signal) {
  const char* name = ::sigdescr_np(signal);
  return name != nullptr ? name : "unknown signal";
}

std::string Seconds(double seconds) {
  return ShortestText(seconds) + " s";
}

std::string CpuLimitText(const SolverConfig& config) {
  return "passed its CPU limit of " + Seconds(config.cpu_limit_s);
}

// Why the solver gave no WCS, from how it ended; empty where it ended well.
std::string Failure(const Ending& ending, const SolverConfig& config, const std::string& log) {
  if (ending.stopped) return kStoppedText;
  if (ending.timed_out) {
    const double limit_s = std::chrono::duration<double>(config.wall_limit).count();
    return "passed its time limit of " + Seconds(limit_s);
  }
  const int status = ending.status;
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
    return CpuLimitText(config);
  }
  if (WIFSIGNALED(status)) {
    return std::string("solve-field ended by signal ") + std::to_string(WTERMSIG(status)) + " (" +
           SignalName(WTERMSIG(status)) + ")";
  }
  if (WEXITSTATUS(status) != 0) {
    const std::string last = LastLine(log);
    return "solve-field failed with exit status " + std::to_string(WEXITSTATUS(status)) +
           (last.empty() ? "" : ": " + last);
  }
  return {};
}

}  // namespace

Solved Solve(const std::string& path, const FrameHeader& header, const SolveHint& hint,
             const SolverConfig& config, int stop_fd) {
  Solved solved;
  const auto began = Clock::now();
  const TempFolder folder(solved.error);
  if (folder.path().empty()) return solved;
  const std::string log = folder.path() + "/" + kLogName;
  const auto cpu_s = static_cast<rlim_t>(std::ceil(std::max(config.cpu_limit_s, 1.0)));
  const pid_t pid = Start(config.program, Arguments(path, folder.path(), header, hint, config), log,
                          cpu_s + kCpuBackstopMarginS);
  if (pid < 0) {
    solved.error = std::string("cannot start solve-field: ") + std::strerror(errno);
    return solved;
  }
  const Ending ending = Await(pid, began + config.wall_limit, stop_fd);
  solved.seconds = std::chrono::duration<double>(Clock::now() - began).count();
  if (solved.error = Failure(ending, config, log); !solved.error.empty()) return solved;
  const std::string wcs = folder.path() + "/" + kOutputBase + ".wcs";
  if (!fs::exists(wcs)) {
    // solve-field that stops at its own --cpulimit ends well, with nothing.
    solved.error = ending.cpu_s >= config.cpu_limit_s ? CpuLimitText(config) : "no solution";
    return solved;
  }
  std::string error;
  solved.sky = ReadWcsFile(wcs, header.width, header.height, error);
  if (!solved.sky) solved.error = "solution unreadable: " + error;
  return solved;
}

}  // namespace orvan::frames
