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

#include "child.h"
#include "frames/frame_reader.h"
#include "points/text_fields.h"
#include "support/error_text.h"
#include "support/numtext.h"
#include "support/temp_folder.h"
#include "support/units.h"

namespace orvan::frames {
namespace {

namespace fs = std::filesystem;

// The name solve-field gives its outputs in the private folder, and the file
// its own output goes to.
constexpr const char* kOutputBase = "frame";
constexpr const char* kLogName = "solve-field.log";
constexpr const char* kSolverName = "solve-field";
// The frame's own name in the private folder: astrometry.net builds shell
// command lines from it.
constexpr const char* kInputName = "input.fits";
constexpr std::size_t kCopyChunk = std::size_t{1} << 20U;
// The solution is a plain TAN: the program reads only the frame's centre,
// and a SIP polynomial fitted to a frame's few catalogue stars (a Tycho-2
// field holds tens) moves that centre by tenths of an arc-second.
constexpr const char* kTweakOrder = "1";
// How far from the believed pixel scale the solver looks, either way.
constexpr double kScaleSlack = 0.10;
// The CPU limit the kernel holds the solver to, beyond the one it keeps
// itself: only a solver that ignores its own is stopped by it.
constexpr rlim_t kCpuBackstopMarginS = 10;
// Marks every descriptor from 3 up close-on-exec (linux/close_range.h).
constexpr unsigned kCloseRangeCloexec = 1U << 2U;
constexpr int kExecFailed = 127;

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
  if (const auto scale = ScaleFor(header, hint)) {
    args.insert(args.end(), {"--scale-units", "arcsecperpix", "--scale-low",
                             ShortestText(*scale * (1 - kScaleSlack)), "--scale-high",
                             ShortestText(*scale * (1 + kScaleSlack))});
  }
  args.push_back(frame);
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
[[noreturn]] void RunChild(const char* file, char* const* argv, const char* dir, const char* log,
                           rlim_t cpu_s, int report) {
  ::setpgid(0, 0);
  const rlimit cpu{cpu_s, cpu_s + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  ::signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(log, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // It works in its own folder: nothing it makes lands beside the program.
  if (in >= 0 && out >= 0 && ::chdir(dir) == 0 && ::dup2(in, STDIN_FILENO) >= 0 &&
      ::dup2(out, STDOUT_FILENO) >= 0 && ::dup2(out, STDERR_FILENO) >= 0) {
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
            const std::string& dir, const std::string& log, rlim_t cpu_s) {
  const std::string file = Locate(program);
  if (file.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) RunChild(file.c_str(), argv.data(), dir.c_str(), log.c_str(), cpu_s, report[1]);
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

// The last line the solver wrote, for a failure's message.
std::string LastLine(const std::string& log) {
  std::ifstream in(log);
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  return points::Shortened(last);
}

std::string Seconds(double seconds) {
  return ShortestText(seconds) + " s";
}

std::string CpuLimitText(const SolverConfig& config) {
  return "passed its CPU limit of " + Seconds(config.cpu_limit_s);
}

// Why the solver gave no WCS, from how it ended; empty where it ended well.
std::string Failure(const ChildEnding& ending, const SolverConfig& config, const std::string& log) {
  if (ending.stopped) return kStoppedText;
  if (ending.timed_out || ending.unreaped) {
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

// The frame's bytes at `to`: a hard link to the very file opened where the
// file system and its owner allow, else a copy.
// Copies all of `in` to `out`; 0, or the errno of the failure.
int CopyAll(int in, int out) {
  std::vector<char> chunk(kCopyChunk);
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(in, chunk.data(), chunk.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got < 0 ? errno : 0;
    at += got;
    for (ssize_t put = 0; put < got;) {
      const ssize_t wrote = ::write(out, chunk.data() + put, static_cast<std::size_t>(got - put));
      if (wrote < 0 && errno != EINTR) return errno;
      put += std::max<ssize_t>(wrote, 0);
    }
  }
}

std::string Place(const FrameFile& frame, const std::string& to) {
  const std::string from = frame.ProcPath();
  if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const int failed = out < 0 ? errno : CopyAll(frame.fd(), out);
  if (out >= 0) ::close(out);
  return failed == 0 ? std::string()
                     : "cannot copy the frame for solve-field: " + ErrorText(failed);
}

// A compressed frame, or one whose image is an extension, as the plain FITS
// file solve-field reads; written by a reader's child, as hostile as the
// frame may be.
std::string PlainCopy(const FrameFile& frame, const std::string& to, const SolverConfig& config,
                      int stop_fd) {
  const FrameRead written = ReadInChild(
      [&] {
        FrameRead done{FrameHeader{}, WritePlainImage(frame, to)};
        done.header->width = done.header->height = 1;
        if (!done.error.empty()) done.header.reset();
        return done;
      },
      config.reader, stop_fd, frame.fd());
  return written.header ? std::string() : written.error;
}

}  // namespace

std::optional<double> ScaleFor(const FrameHeader& header, const SolveHint& hint) {
  if (hint.scale_arcsec) return hint.scale_arcsec;
  if (header.pixel_scale_arcsec) return header.pixel_scale_arcsec;
  for (const LearnedScale& scale : hint.learned) {
    if (scale.width == header.width && scale.height == header.height) return scale.arcsec;
  }
  return std::nullopt;
}

void Learn(std::vector<LearnedScale>& learned, const LearnedScale& scale) {
  std::erase_if(learned, [&](const LearnedScale& s) {
    return s.width == scale.width && s.height == scale.height;
  });
  learned.push_back(scale);
}

Solved Solve(const FrameFile& frame, const FrameHeader& header, const SolveHint& hint,
             const SolverConfig& config, int stop_fd) {
  Solved solved;
  const auto began = ChildClock::now();
  const TempFolder folder("orvan-solve");
  if (folder.path().empty()) {
    solved.error = folder.error();
    return solved;
  }
  const std::string input = folder.File(kInputName);
  solved.error = header.plain ? Place(frame, input) : PlainCopy(frame, input, config, stop_fd);
  if (!solved.error.empty()) return solved;
  const std::string log = folder.File(kLogName);
  const auto cpu_s = static_cast<rlim_t>(std::ceil(std::max(config.cpu_limit_s, 1.0)));
  const pid_t pid = Start(config.program, Arguments(input, folder.path(), header, hint, config),
                          folder.path(), log, cpu_s + kCpuBackstopMarginS);
  if (pid < 0) {
    solved.error = "cannot start solve-field: " + ErrorText(errno);
    return solved;
  }
  const ChildEnding ending = AwaitChild(pid, began + config.wall_limit, stop_fd);
  solved.seconds = std::chrono::duration<double>(ChildClock::now() - began).count();
  if (solved.error = Failure(ending, config, log); !solved.error.empty()) return solved;
  const std::string wcs = folder.path() + "/" + kOutputBase + ".wcs";
  if (!fs::exists(wcs)) {
    // solve-field that stops at its own --cpulimit ends well, with nothing.
    solved.error = ending.cpu_s >= config.cpu_limit_s ? CpuLimitText(config) : "no solution";
    return solved;
  }
  const FrameRead read = ReadInChild(
      [&] {
        FrameRead sky{FrameHeader(header), {}};
        sky.header->sky = ReadWcsFile(wcs, header.width, header.height, sky.error);
        if (!sky.header->sky) sky.header.reset();
        return sky;
      },
      config.reader, stop_fd);
  if (read.header) solved.sky = read.header->sky;
  if (!solved.sky) solved.error = "solution unreadable: " + read.error;
  return solved;
}

}  // namespace orvan::frames
