#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvan::indi::standin {

// Waits on the program run headless with --trace: its first tick comes a
// period (4 s) after the start, and the first access of every tick is this
// trace line; a margin for a loaded machine. It ends within a few seconds of
// SIGTERM.
inline constexpr std::chrono::seconds kTickLimit{10};
inline constexpr std::chrono::seconds kExitLimit{10};
inline const std::string kTickLine = "get Telescope.slewing ";

// The orvanacp program run as a user runs it, its standard output and error
// collected line by line as they come.
class Program {
 public:
  explicit Program(std::vector<std::string> args);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Waits until a line of standard output (or error) contains `text`;
  // true if one did within `limit`.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);
  bool WaitForError(const std::string& text, std::chrono::milliseconds limit);
  // Waits until `count` lines of standard error contain `text`.
  bool WaitForErrors(const std::string& text, std::size_t count, std::chrono::milliseconds limit);
  std::vector<std::string> Output();
  std::vector<std::string> Errors();

  void Signal(int signal) const;
  // The exit status once the program has ended; -1 if it did not within `limit`.
  int Wait(std::chrono::milliseconds limit);

 private:
  struct Stream {
    int fd = -1;
    std::thread reader;
    std::vector<std::string> lines;
  };
  void Read(Stream& s);
  bool WaitFor(Stream& s, const std::string& text, std::size_t count,
               std::chrono::milliseconds limit);

  pid_t pid_ = -1;
  int status_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  Stream out_, err_;
};

}  // namespace orvan::indi::standin
