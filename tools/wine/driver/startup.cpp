// startup: how long the program takes from its start until its main window
// is visible, run after run, with the stand-in answering its defaults. Each
// run's milliseconds on a line of their own; a benchmark's figures
// (bench/startup-time), not a test's.
#include <cstdio>
#include <thread>

#include "driver/jobs.h"
#include "driver/output.h"
#include "driver/target.h"

namespace orvan::wine {

int Startup(const std::wstring& exe, int runs) {
  using Clock = std::chrono::steady_clock;
  // The DLL's configuration; a local server is registered without one.
  ::SetEnvironmentVariableW(kConfigVariable, nullptr);
  SetDecimalSeparator('.');
  for (int run = 0; run < runs; ++run) {
    Target target;
    const auto start = Clock::now();
    if (!target.Start(exe)) {
      std::fprintf(stderr, "cannot start the program\n");
      return 1;
    }
    while (target.MainVisible() == nullptr) {
      if (target.Exited() || target.Box() != nullptr || Clock::now() - start > limits::kLoad) {
        std::fprintf(stderr, "the window did not open\n");
        return 1;
      }
      std::this_thread::sleep_for(limits::kStartupPoll);
    }
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    std::printf("%.1f\n", took.count());
    std::fflush(stdout);
    ::PostMessageW(target.Main(), WM_CLOSE, 0, 0);
    // Each run starts the way the first did: a local server started anew.
    if (!target.WaitExit(limits::kExit) || !StandinServerEnded()) {
      std::fprintf(stderr, "the program or the stand-in did not end\n");
      return 1;
    }
  }
  return 0;
}

}  // namespace orvan::wine
