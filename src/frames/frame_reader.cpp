#include "frames/frame_reader.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "child.h"
#include "support/error_text.h"
#include "support/numtext.h"
#include "support/units.h"

namespace orvan::frames {
namespace {

// The answer as the child writes it: this, then the two texts' bytes.
struct Answer {
  std::uint32_t magic = 0;
  std::uint8_t has_header = 0;
  std::uint8_t has_sky = 0;
  std::uint8_t has_scale = 0;
  std::uint8_t wcs_solved = 0;
  std::uint8_t plain = 1;
  std::int32_t width = 0;
  std::int32_t height = 0;
  double mid = 0;
  double exposure = 0;
  double ra = 0;
  double dec = 0;
  double scale = 0;
  double field = 0;
  double pixel_scale = 0;
  std::uint32_t error_size = 0;
  std::uint32_t unused_size = 0;
};
static_assert(std::is_trivially_copyable_v<Answer>);

constexpr std::uint32_t kMagic = 0x4F524652;  // "ORFR"
// Each text is cut to this many bytes: the answer stays far below a pipe's
// buffer, so the child never waits to write it.
constexpr std::size_t kMostText = 1024;
constexpr std::size_t kMostAnswer = sizeof(Answer) + 2 * kMostText;
constexpr int kReaderFailed = 3;
// Descriptors below are standard input, output and error.
constexpr int kFirstOwnFd = 3;
// Signals that end a crashed child as they would a program of its own.
constexpr std::array<int, 5> kCrashSignals = {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL};

std::string Cut(const std::string& text) {
  return text.substr(0, kMostText);
}

std::string Encode(const FrameRead& read) {
  Answer a;
  a.magic = kMagic;
  const std::string error = Cut(read.error);
  const std::string unused = read.header ? Cut(read.header->wcs_unused) : std::string();
  a.error_size = static_cast<std::uint32_t>(error.size());
  a.unused_size = static_cast<std::uint32_t>(unused.size());
  if (const auto& h = read.header) {
    a.has_header = 1;
    a.width = h->width;
    a.height = h->height;
    a.mid = h->mid_exposure;
    a.exposure = h->exposure_s;
    a.has_sky = h->sky ? 1 : 0;
    if (h->sky) {
      a.ra = h->sky->center.ra;
      a.dec = h->sky->center.dec;
      a.scale = h->sky->scale_arcsec;
      a.field = h->sky->field_deg;
    }
    a.has_scale = h->pixel_scale_arcsec ? 1 : 0;
    a.wcs_solved = h->wcs_solved ? 1 : 0;
    a.plain = h->plain ? 1 : 0;
    a.pixel_scale = h->pixel_scale_arcsec.value_or(0);
  }
  std::string bytes(sizeof a, '\0');
  std::memcpy(bytes.data(), &a, sizeof a);
  return bytes + error + unused;
}

bool Positive(double value) {
  return std::isfinite(value) && value > 0;
}

// Whether the numbers are ones a header can give: nothing the child says
// is taken on trust.
bool InRange(const Answer& a) {
  if (a.width < 1 || a.width > kMostFrameSide || a.height < 1 || a.height > kMostFrameSide ||
      !std::isfinite(a.mid) || !(a.exposure >= 0 && a.exposure <= kMostExposureSeconds)) {
    return false;
  }
  if (a.has_sky != 0 && !(a.ra >= 0 && a.ra < kHoursPerTurn && std::abs(a.dec) <= kPoleDeg &&
                          Positive(a.scale) && Positive(a.field))) {
    return false;
  }
  return a.has_scale == 0 || Positive(a.pixel_scale);
}

FrameRead Decode(const std::string& bytes) {
  Answer a;
  if (bytes.size() < sizeof a) return {std::nullopt, "the header reader gave an incomplete answer"};
  std::memcpy(&a, bytes.data(), sizeof a);
  if (a.magic != kMagic || a.error_size > kMostText || a.unused_size > kMostText ||
      bytes.size() != sizeof a + a.error_size + a.unused_size) {
    return {std::nullopt, "the header reader gave an incomplete answer"};
  }
  FrameRead read{std::nullopt, bytes.substr(sizeof a, a.error_size)};
  if (a.has_header == 0) {
    if (read.error.empty()) read.error = "the header reader gave no header and no reason";
    return read;
  }
  if (!InRange(a)) return {std::nullopt, "the header reader gave numbers out of range"};
  FrameHeader& h = read.header.emplace();
  h.width = a.width;
  h.height = a.height;
  h.mid_exposure = a.mid;
  h.exposure_s = a.exposure;
  if (a.has_sky != 0) h.sky = FrameSky{{a.ra, a.dec}, a.scale, a.field};
  if (a.has_scale != 0) h.pixel_scale_arcsec = a.pixel_scale;
  h.wcs_solved = a.wcs_solved != 0;
  h.plain = a.plain != 0;
  h.wcs_unused = bytes.substr(sizeof a + a.error_size);
  return read;
}

// The address space the child may have: what it has now (the program's own
// mappings, shared with it) and `more`. Read without allocating.
void LimitMemory(std::size_t more) {
  const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::array<char, 64> text{};
  const ssize_t got = ::read(fd, text.data(), text.size() - 1);
  ::close(fd);
  if (got <= 0) return;
  constexpr rlim_t kDecimal = 10;
  rlim_t pages = 0;
  for (const char c : std::string_view(text.data(), static_cast<std::size_t>(got))) {
    if (c < '0' || c > '9') break;
    pages = pages * kDecimal + static_cast<rlim_t>(c - '0');
  }
  const rlim_t bytes = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + more;
  const rlimit memory{bytes, bytes};
  ::setrlimit(RLIMIT_AS, &memory);
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    done += static_cast<std::size_t>(put);
  }
}

// Closes every descriptor from 3 up but the two kept (-1: none): the child
// holds no file of the program's open, and above all none open for writing,
// whose close at its end would read as a file written anew.
void CloseAllBut(int a, int b) {
  unsigned from = kFirstOwnFd;
  for (const int keep : {std::min(a, b), std::max(a, b)}) {
    if (keep < kFirstOwnFd) continue;
    const auto fd = static_cast<unsigned>(keep);
    if (fd > from) ::syscall(SYS_close_range, from, fd - 1, 0U);
    from = fd + 1;
  }
  ::syscall(SYS_close_range, from, ~0U, 0U);
}

// In the child. It calls the readers, which allocate: glibc's fork leaves
// the allocator usable in the child of a threaded program, and the readers
// are used on this thread alone. It ends by _exit, running none of the
// program's own exit handlers.
[[noreturn]] void RunReader(const std::function<FrameRead()>& read, const ReaderLimits& limits,
                            int out, int keep_fd) {
  ::setpgid(0, 0);
  for (int signal : kCrashSignals) ::signal(signal, SIG_DFL);
  LimitMemory(limits.memory_bytes);
  const rlimit cpu{limits.cpu_s, limits.cpu_s + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  // Whatever a library prints about a hostile file is no one's business.
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) ::dup2(null, STDERR_FILENO);
  CloseAllBut(out, keep_fd);
  FrameRead result;
  try {
    result = read();
  } catch (const std::bad_alloc&) {
    result = {std::nullopt, "the header reader ran out of its memory"};
  } catch (const std::exception& e) {
    result = {std::nullopt, std::string("the header reader failed: ") + e.what()};
  } catch (...) {
    ::_exit(kReaderFailed);
  }
  WriteAll(out, Encode(result));
  ::_exit(0);
}

std::string Drain(int fd) {
  std::string bytes;
  std::array<char, kMostAnswer + 1> chunk{};
  while (bytes.size() <= kMostAnswer) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return bytes;
}

// Why the child gave no answer; empty where it ended well.
std::string Failure(const ChildEnding& ending, const ReaderLimits& limits) {
  if (ending.stopped) return kStoppedText;
  if (ending.timed_out || ending.unreaped) {
    return "the header reader passed its time limit of " +
           ShortestText(std::chrono::duration<double>(limits.wall).count()) + " s";
  }
  const int status = ending.status;
  if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)) {
    return "the header reader passed its CPU limit of " + std::to_string(limits.cpu_s) + " s";
  }
  if (WIFSIGNALED(status)) {
    return "the header reader ended on signal " + std::to_string(WTERMSIG(status)) + " (" +
           SignalName(WTERMSIG(status)) + ")";
  }
  if (WEXITSTATUS(status) != 0) {
    return "the header reader exited with status " + std::to_string(WEXITSTATUS(status));
  }
  return {};
}

}  // namespace

FrameRead ReadInChild(const std::function<FrameRead()>& read, const ReaderLimits& limits,
                      int stop_fd, int keep_fd) {
  std::array<int, 2> answer{};
  if (::pipe2(answer.data(), O_CLOEXEC) != 0) {
    return {std::nullopt, "cannot start the header reader: " + ErrorText(errno)};
  }
  const auto began = ChildClock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(answer[0]);
    RunReader(read, limits, answer[1], keep_fd);
  }
  const int fork_error = errno;
  // Its own group from here on, whichever of the two gets to it first.
  if (pid > 0) ::setpgid(pid, pid);
  ::close(answer[1]);
  if (pid < 0) {
    ::close(answer[0]);
    return {std::nullopt, "cannot start the header reader: " + ErrorText(fork_error)};
  }
  const ChildEnding ending = AwaitChild(pid, began + limits.wall, stop_fd);
  // The child wrote before it ended, and less than the pipe holds.
  ::fcntl(answer[0], F_SETFL, O_NONBLOCK);
  const std::string bytes = Drain(answer[0]);
  ::close(answer[0]);
  if (std::string why = Failure(ending, limits); !why.empty()) return {std::nullopt, why};
  return Decode(bytes);
}

}  // namespace orvan::frames
