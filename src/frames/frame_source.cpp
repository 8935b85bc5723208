#include "frames/frame_source.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

#include "child.h"
#include "folder_watch.h"
#include "points/fits_file.h"
#include "points/plate_header.h"
#include "support/error_text.h"
#include "support/numtext.h"
#include "whole_file.h"

namespace orvan::frames {

namespace {

// The longest either thread waits before it looks at its work again; a stop
// wakes both at once.
constexpr std::chrono::milliseconds kIdleWait{1000};
constexpr char kNoReasonText[] = "not read, for a cause not given";

std::string WithoutTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

FrameEvent Note(FrameEvent::Kind kind, std::string text) {
  FrameEvent event;
  event.kind = kind;
  event.text = std::move(text);
  return event;
}

int Milliseconds(std::chrono::steady_clock::duration wait) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
  return static_cast<int>(std::clamp<std::int64_t>(ms.count(), 0, kIdleWait.count()));
}

}  // namespace

struct FrameSource::State {
  State(SourceConfig source, ProcessFrame processor)
      : config(std::move(source)), process(std::move(processor)), watch(config.dir) {}

  void Say(FrameEvent event);
  void Deliver(const WatchNews& news);
  void Queue(const std::vector<std::string>& frames);
  bool Rewatch();
  void Read();
  void Work();
  void Await(std::string path);
  std::optional<std::string> NextReady();
  std::chrono::steady_clock::duration NextLook() const;
  FrameEvent ProcessOne(const std::string& path);
  void Ended(bool& done);
  std::string Stop();

  const SourceConfig config;
  const ProcessFrame process;
  FolderWatch watch;  // the reader's alone once it runs
  int stop_fd = -1;   // wakes the reader's poll and ends a solve under way
  std::atomic<bool> stop_reading{false};
  bool started = false;

  std::mutex hint_mutex;
  SolveHint hint;

  mutable std::mutex queue_mutex;
  std::condition_variable queue_changed;
  std::deque<std::string> queue;  // oldest first
  std::size_t dropped = 0;        // since the worker last took a file
  std::size_t seen = 0;
  bool stopping = false;

  // Files taken, waiting to be whole and settled: the worker's alone.
  struct Awaited {
    std::string path;
    std::chrono::steady_clock::time_point since;
    std::chrono::steady_clock::time_point next_look;
    std::optional<FileStamp> stamp;
    bool whole = false;  // by the last look: it waits only to settle
  };
  std::vector<Awaited> awaited;  // oldest first

  std::mutex out_mutex;
  std::vector<FrameEvent> out;

  std::thread reader;
  std::thread worker;
  std::mutex ended_mutex;
  std::condition_variable ended_changed;
  bool reader_done = false;
  bool worker_done = false;
  bool stopped = false;
};

void FrameSource::State::Ended(bool& done) {
  {
    const std::lock_guard lock(ended_mutex);
    done = true;
  }
  ended_changed.notify_all();
}

void FrameSource::State::Say(FrameEvent event) {
  const std::lock_guard lock(out_mutex);
  out.push_back(std::move(event));
}

void FrameSource::State::Deliver(const WatchNews& news) {
  for (const std::string& note : news.notes) Say(Note(FrameEvent::Kind::Folder, note));
  if (news.overflowed) Say(Note(FrameEvent::Kind::Dropped, std::string(points::kFramesMissedText)));
  if (!news.frames.empty()) Queue(news.frames);
}

void FrameSource::State::Queue(const std::vector<std::string>& frames) {
  {
    const std::lock_guard lock(queue_mutex);
    for (const std::string& path : frames) {
      queue.push_back(path);
      ++seen;
      if (queue.size() > config.queue_limit) {
        queue.pop_front();
        ++dropped;
      }
    }
  }
  queue_changed.notify_one();
}

bool FrameSource::State::Rewatch() {
  WatchNews news;
  int err = 0;
  const bool back = watch.WatchRoot(news, err);
  if (back) news.notes.insert(news.notes.begin(), points::FolderBackText(config.dir));
  Deliver(news);
  return back;
}

void FrameSource::State::Read() {
  using Clock = std::chrono::steady_clock;
  auto next_look = Clock::now() + config.rewatch_every;
  while (!stop_reading.load()) {
    const bool watching = watch.Watching();
    const auto wait = watching ? Clock::duration(kIdleWait) : next_look - Clock::now();
    std::array<pollfd, 2> fds{{{stop_fd, POLLIN, 0}, {watch.fd(), POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), Milliseconds(wait)) < 0 && errno != EINTR) {
      Say(Note(FrameEvent::Kind::Folder, "frames are no longer watched: " + ErrorText(errno)));
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) return;
    if ((fds[1].revents & POLLIN) != 0) {
      WatchNews news;
      watch.ReadEvents(news);
      Deliver(news);
      if (watching && !watch.Watching()) next_look = Clock::now() + config.rewatch_every;
    }
    if (!watch.Watching() && Clock::now() >= next_look && !Rewatch()) {
      next_look = Clock::now() + config.rewatch_every;
    }
  }
}

FrameEvent FrameSource::State::ProcessOne(const std::string& path) {
  SolveHint now;
  {
    const std::lock_guard lock(hint_mutex);
    now = hint;
  }
  try {
    return process(path, now, stop_fd);
  } catch (const std::exception& e) {
    FrameEvent failed = Note(FrameEvent::Kind::Failed, e.what());
    failed.file = path;
    return failed;
  }
}

// A file taken again while it waits keeps its place in time.
void FrameSource::State::Await(std::string path) {
  const auto now = std::chrono::steady_clock::now();
  auto since = now;
  const auto same = std::find_if(awaited.begin(), awaited.end(),
                                 [&](const Awaited& a) { return a.path == path; });
  if (same != awaited.end()) {
    since = same->since;
    awaited.erase(same);
    const std::lock_guard lock(queue_mutex);
    --seen;
  }
  awaited.push_back({std::move(path), since, now, std::nullopt});
}

// The newest file whose look is due and finds it ready, if any. A newer file
// whole but for its settle is waited for, a settle at most, before an older
// one goes: the newest frame is the one the hold wants.
std::optional<std::string> FrameSource::State::NextReady() {
  const auto now = std::chrono::steady_clock::now();
  for (auto it = awaited.rbegin(); it != awaited.rend(); ++it) {
    if (it->next_look > now) {
      if (it->whole) return std::nullopt;
      continue;
    }
    const std::optional<FileLook> look =
        LookAt(it->path, std::chrono::nanoseconds(config.settle).count());
    const bool same = look && it->stamp == look->stamp;
    if (!look || now - it->since >= config.whole_limit ||
        (look->whole && (same || look->settled))) {
      std::string path = std::move(it->path);
      awaited.erase(std::next(it).base());
      return path;
    }
    it->stamp = look->stamp;
    it->next_look = now + config.settle;
    it->whole = look->whole;
    if (it->whole) return std::nullopt;
  }
  return std::nullopt;
}

std::chrono::steady_clock::duration FrameSource::State::NextLook() const {
  std::chrono::steady_clock::duration wait = kIdleWait;
  const auto now = std::chrono::steady_clock::now();
  for (const Awaited& a : awaited) wait = std::min(wait, a.next_look - now);
  return std::max(wait, std::chrono::steady_clock::duration::zero());
}

void FrameSource::State::Work() {
  while (true) {
    std::deque<std::string> taken;
    std::size_t dropped_now = 0;
    {
      std::unique_lock lock(queue_mutex);
      queue_changed.wait_for(lock, NextLook(), [&] { return stopping || !queue.empty(); });
      if (stopping) return;
      taken.swap(queue);
      dropped_now = std::exchange(dropped, 0);
    }
    for (std::string& path : taken) Await(std::move(path));
    // The files waiting count against the queue's limit: the oldest go.
    if (awaited.size() > config.queue_limit) {
      const auto over = static_cast<std::ptrdiff_t>(awaited.size() - config.queue_limit);
      dropped_now += static_cast<std::size_t>(over);
      awaited.erase(awaited.begin(), awaited.begin() + over);
    }
    if (dropped_now > 0) {
      Say(Note(FrameEvent::Kind::Dropped,
               points::FramesDroppedText(dropped_now, config.queue_limit)));
    }
    if (const std::optional<std::string> ready = NextReady()) Say(ProcessOne(*ready));
  }
}

std::string FrameSource::State::Stop() {
  if (std::exchange(stopped, true)) return {};
  stop_reading.store(true);
  if (stop_fd >= 0) {
    const std::uint64_t one = 1;
    // Should the write fail, the reader still sees stop_reading within kIdleWait.
    const ssize_t woken = write(stop_fd, &one, sizeof one);
    static_cast<void>(woken);
  }
  {
    const std::lock_guard lock(queue_mutex);
    stopping = true;
  }
  queue_changed.notify_all();
  std::unique_lock lock(ended_mutex);
  ended_changed.wait_for(lock, config.stop_limit, [this] {
    return (reader_done || !reader.joinable()) && (worker_done || !worker.joinable());
  });
  std::string left;
  for (auto [thread, done, name] : {std::tuple{&reader, reader_done, "the folder watch"},
                                    std::tuple{&worker, worker_done, "the frame reader"}}) {
    if (!thread->joinable()) continue;
    if (done) {
      thread->join();
      continue;
    }
    // It holds the state with it; the program may end without it.
    thread->detach();
    left += (left.empty() ? "" : " and ") + std::string(name);
  }
  if (!left.empty()) {
    return left + " did not end within " +
           ShortestText(std::chrono::duration<double>(config.stop_limit).count()) +
           " s of the stop, and " + (left.find(" and ") != std::string::npos ? "are" : "is") +
           " left behind";
  }
  if (stop_fd >= 0) close(stop_fd);
  stop_fd = -1;
  return {};
}

FrameSource::FrameSource(SourceConfig config, ProcessFrame process) {
  config.dir = WithoutTrailingSlash(std::move(config.dir));
  state_ = std::make_shared<State>(std::move(config), std::move(process));
}

std::string FrameSource::Stop() {
  return state_->Stop();
}

FrameSource::~FrameSource() {
  state_->Stop();
}

bool FrameSource::Start(std::string& error) {
  State& s = *state_;
  if (s.started) {
    error = "the frame folder is watched already";
    return false;
  }
  if (s.config.dir.empty()) {
    error = "no frame folder given";
    return false;
  }
  if (s.config.queue_limit == 0) {
    error = "the frame queue must hold at least one frame";
    return false;
  }
  if (!s.watch.Open(error)) return false;
  s.stop_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (s.stop_fd < 0) {
    error = "cannot watch for frames: eventfd: " + ErrorText(errno);
    return false;
  }
  WatchNews news;
  int err = 0;
  if (!s.watch.WatchRoot(news, err)) {
    news.notes.insert(news.notes.begin(),
                      "cannot watch frame folder " + s.config.dir + ": " + ErrorText(err));
  }
  s.Deliver(news);
  s.started = true;
  try {
    s.reader = std::thread([state = state_] {
      state->Read();
      state->Ended(state->reader_done);
    });
    s.worker = std::thread([state = state_] {
      state->Work();
      state->Ended(state->worker_done);
    });
  } catch (const std::system_error& e) {
    s.Stop();
    error = std::string("cannot start watching for frames: ") + e.what();
    return false;
  }
  return true;
}

void FrameSource::SetHint(const SolveHint& hint) {
  const std::lock_guard lock(state_->hint_mutex);
  state_->hint = hint;
}

std::vector<FrameEvent> FrameSource::Take() {
  std::vector<FrameEvent> taken;
  const std::lock_guard lock(state_->out_mutex);
  taken.swap(state_->out);
  return taken;
}

std::size_t FrameSource::Seen() const {
  const std::lock_guard lock(state_->queue_mutex);
  return state_->seen;
}

FrameEvent ProcessWith(const std::string& path, const SolveHint& hint, const FrameReading& how,
                       int stop_fd) {
  FrameEvent event;
  event.file = path;
  const FrameFile file = FrameFile::Open(path, event.text);
  if (!file) return event;
  const FrameRead read =
      ReadInChild([&file] { return ReadFrame(file); }, how.reader, stop_fd, file.fd());
  if (!read.header) {
    event.text = read.error.empty() ? kNoReasonText : read.error;
    return event;
  }
  const FrameHeader& header = *read.header;
  event.header = header;
  if (header.sky && (header.wcs_solved || how.any_wcs)) {
    event.kind = FrameEvent::Kind::Solved;
    event.sky = header.sky;
    return event;
  }
  event.wcs_unused = header.sky ? std::string(points::kUnmarkedText) : header.wcs_unused;
  const std::string no_wcs =
      event.wcs_unused.empty() ? std::string(points::kNoWcsText) : event.wcs_unused;
  if (!how.solver) {
    event.text = no_wcs + ", and solving is off";
    return event;
  }
  const Solved solved = Solve(file, header, hint, *how.solver, stop_fd);
  event.solve_seconds = solved.seconds;
  if (!solved.sky) {
    event.text = event.wcs_unused.empty() ? solved.error : solved.error + " (" + no_wcs + ")";
    return event;
  }
  event.kind = FrameEvent::Kind::Solved;
  event.sky = solved.sky;
  event.solved_here = true;
  return event;
}

}  // namespace orvan::frames
