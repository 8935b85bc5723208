// Start-up of the Linux program: the time from starting its process until its
// main window is mapped on the X display, run after run. Each run's
// milliseconds on a line of their own. bench/startup-time runs it on a
// private Xvfb at 96 dpi.
//
//   startup-linux N PROGRAM [ARG...]
//
// The program's window is known by its _NET_WM_PID; the map is seen as an X
// event on the root window (no window manager reparents it), so nothing is
// polled. A run is ended with SIGTERM to the program's own pid.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Until the window is mapped: a program that takes longer went wrong.
constexpr auto kLoad = 60s;

// The pid a window says it belongs to; 0 if it says none.
long PidOf(Display* display, Window window) {
  static const Atom net_wm_pid = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long pid = 0;
  if (XGetWindowProperty(display, window, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count == 1)
    pid = *reinterpret_cast<long*>(data);
  if (data != nullptr) XFree(data);
  return pid;
}

// Waits for a map of a top-level window of `pid`; false at the limit.
bool WaitMapped(Display* display, pid_t pid, Clock::time_point deadline) {
  const int fd = ConnectionNumber(display);
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && PidOf(display, event.xmap.window) == pid) return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) return false;
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::atoi(argv[1]) : 0;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: startup-linux N PROGRAM [ARG...]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "startup-linux: no X display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
      std::fprintf(stderr, "startup-linux: cannot start %s\n", argv[2]);
      return 1;
    }
    const bool mapped = WaitMapped(display, pid, start + kLoad);
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!mapped) {
      std::fprintf(stderr, "startup-linux: the window did not show\n");
      return 1;
    }
    std::printf("%.1f\n", took.count());
    std::fflush(stdout);
  }
  XCloseDisplay(display);
  return 0;
}
