#include "program.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

extern char** environ;

namespace orvan::indi::standin {

Program::Program(std::vector<std::string> args) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("no pipes");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  out_.fd = out[0];
  err_.fd = err[0];
  if (rc != 0) {
    pid_ = -1;
    close(out[0]);
    close(err[0]);
    throw std::runtime_error("cannot run " + args[0]);
  }
  out_.reader = std::thread([this] { Read(out_); });
  err_.reader = std::thread([this] { Read(err_); });
}

Program::~Program() {
  if (pid_ > 0 && Wait(std::chrono::milliseconds(0)) < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
  for (Stream* s : {&out_, &err_}) {
    if (s->reader.joinable()) s->reader.join();
    close(s->fd);
  }
}

void Program::Read(Stream& s) {
  std::string pending;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(s.fd, buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, static_cast<std::size_t>(n));
    std::size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::lock_guard lock(mutex_);
      s.lines.push_back(pending.substr(0, nl));
      pending.erase(0, nl + 1);
      changed_.notify_all();
    }
  }
}

bool Program::WaitFor(Stream& s, const std::string& text, std::size_t count,
                      std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    return static_cast<std::size_t>(
               std::count_if(s.lines.begin(), s.lines.end(), [&](const std::string& line) {
                 return line.find(text) != std::string::npos;
               })) >= count;
  });
}

bool Program::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(out_, text, 1, limit);
}
bool Program::WaitForError(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(err_, text, 1, limit);
}
bool Program::WaitForErrors(const std::string& text, std::size_t count,
                            std::chrono::milliseconds limit) {
  return WaitFor(err_, text, count, limit);
}

std::vector<std::string> Program::Output() {
  std::lock_guard lock(mutex_);
  return out_.lines;
}
std::vector<std::string> Program::Errors() {
  std::lock_guard lock(mutex_);
  return err_.lines;
}

void Program::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

int Program::Wait(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return status_;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace orvan::indi::standin
