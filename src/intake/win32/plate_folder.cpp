#include "intake/win32/plate_folder.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <utility>

#include "points/fits_file.h"
#include "points/plate_header.h"
#include "support/error_text.h"
#include "support/wide.h"

namespace orvan::intake {
namespace {

using Clock = std::chrono::steady_clock;
using tracking::PlateEvent;

// The longest the thread sleeps with nothing to do; a file waiting to be
// whole is looked at this often.
constexpr DWORD kIdleMs = 1000;
constexpr long long kMsPerSecond = 1000;
constexpr DWORD kLookMs = 100;
// The folder's changes, gathered between two reads (a multiple of DWORD).
constexpr DWORD kChangeBytes = 64 * 1024;
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
// The most of a frame's start read: its primary header is within it.
constexpr std::int64_t kMostStartBytes = 100 * static_cast<std::int64_t>(points::kBlockLength);
// The most entries a rescan of the folder looks at.
constexpr int kMostScanned = 100000;

// A file as one look found it: a change to either is a write.
struct Stamp {
  std::int64_t size = 0;
  std::int64_t written = 0;  // FILETIME, 100-ns steps
  bool operator==(const Stamp&) const = default;
};

struct Pending {
  std::wstring path;
  Clock::time_point first;
  std::optional<Stamp> stamp;
  Clock::time_point changed;
};

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

bool ReadAt(HANDLE file, std::int64_t at, char* to, DWORD count) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(at) & 0xffffffffU);
  where.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(at) >> 32);
  DWORD got = 0;
  if (::ReadFile(file, to, count, &got, &where) == 0) return false;
  // Fewer bytes than asked: the file was cut short while it was read.
  if (got != count) ::SetLastError(ERROR_HANDLE_EOF);
  return got == count;
}

// The system's own lock: the program carries no thread library.
class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ::ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

struct PlateFolder::State {
  PlateFolderConfig config;
  std::function<void()> news;
  std::wstring root;
  HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE changed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

  SRWLOCK lock = SRWLOCK_INIT;  // guards what follows, up to the thread's own
  std::vector<PlateEvent> out;
  std::size_t frames_out = 0;
  std::size_t dropped = 0;
  bool told = false;

  // The thread's own.
  HANDLE dir = INVALID_HANDLE_VALUE;
  OVERLAPPED reading{};
  bool armed = false;
  alignas(DWORD) std::array<char, kChangeBytes> changes{};
  std::int64_t started = 0;  // files written before it are not news
  // Few at a time, and a night's worth: vectors, smaller than maps here.
  std::vector<Pending> pending;
  std::vector<std::pair<std::wstring, Stamp>> taken;

  ~State() {
    for (HANDLE h : {stop, done, changed})
      if (h != nullptr) ::CloseHandle(h);
  }

  void Put(PlateEvent event);
  void Run();
  bool Open(bool again);
  void Lose();
  bool Arm();
  void Changed();
  void Scan(const std::wstring& folder, int& budget);
  void Consider(const std::wstring& path);
  void LookAtPending();
  // Whether to keep looking at the file; what it was is Put.
  bool Look(Pending& p);
  void Take(const std::wstring& path, HANDLE file, const Stamp& stamp);
  void Fail(const std::wstring& path, std::string text) {
    Put({PlateEvent::Kind::Failed, win::Narrow(path), std::move(text), {}});
  }
};

void PlateFolder::State::Put(PlateEvent event) {
  bool tell = false;
  {
    const Locked locked(lock);
    if (event.kind == PlateEvent::Kind::Frame && ++frames_out > config.queue_limit) {
      const auto oldest = std::find_if(out.begin(), out.end(), [](const PlateEvent& e) {
        return e.kind == PlateEvent::Kind::Frame;
      });
      out.erase(oldest);
      --frames_out;
      ++dropped;
    }
    out.push_back(std::move(event));
    tell = !std::exchange(told, true);
  }
  if (tell && news) news();
}

bool PlateFolder::State::Open(bool again) {
  dir = ::CreateFileW(root.c_str(), FILE_LIST_DIRECTORY,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (dir == INVALID_HANDLE_VALUE) {
    if (!again) {
      Put({PlateEvent::Kind::Folder,
           {},
           "cannot watch frame folder " + config.dir + ": " + WindowsErrorText(::GetLastError()),
           {}});
    }
    return false;
  }
  if (again) {
    Put({PlateEvent::Kind::Folder, {}, points::FolderBackText(config.dir), {}});
    // What was written while it was away is news.
    int budget = kMostScanned;
    Scan(root, budget);
  }
  return true;
}

void PlateFolder::State::Lose() {
  if (armed) {
    ::CancelIoEx(dir, &reading);
    DWORD ignored = 0;
    ::GetOverlappedResult(dir, &reading, &ignored, TRUE);
    armed = false;
  }
  ::CloseHandle(dir);
  dir = INVALID_HANDLE_VALUE;
  pending.clear();
  Put({PlateEvent::Kind::Folder, {}, points::FolderGoneText(config.dir), {}});
}

bool PlateFolder::State::Arm() {
  reading = {};
  reading.hEvent = changed;
  ::ResetEvent(changed);
  armed = ::ReadDirectoryChangesW(dir, changes.data(), kChangeBytes, TRUE, kChanges, nullptr,
                                  &reading, nullptr) != 0;
  return armed;
}

// What the folder said changed; where it could not say all, everything new
// is looked for again.
void PlateFolder::State::Changed() {
  armed = false;
  DWORD bytes = 0;
  int budget = kMostScanned;
  if (::GetOverlappedResult(dir, &reading, &bytes, FALSE) == 0) {
    if (::GetLastError() != ERROR_NOTIFY_ENUM_DIR) return Lose();
    return Scan(root, budget);
  }
  if (bytes == 0) return Scan(root, budget);
  for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
    const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(changes.data() + at);
    const std::wstring name(change->FileName, change->FileNameLength / sizeof(wchar_t));
    const std::wstring path = root + L"\\" + name;
    if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_MODIFIED ||
        change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      const bool folder =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      // A folder moved or copied in brings its frames with it.
      if (folder && change->Action != FILE_ACTION_MODIFIED) Scan(path, budget);
      if (!folder) Consider(path);
    }
    if (change->NextEntryOffset == 0) break;
    at += change->NextEntryOffset;
  }
}

void PlateFolder::State::Consider(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'\\');
  if (!points::IsFrameName(win::Narrow(path.substr(slash + 1)), false)) return;
  const Clock::time_point now = Clock::now();
  if (std::none_of(pending.begin(), pending.end(),
                   [&](const Pending& p) { return p.path == path; }))
    pending.push_back({path, now, std::nullopt, now});
}

// The frames under `folder` written since the start and not taken as they
// stand.
void PlateFolder::State::Scan(const std::wstring& folder, int& budget) {
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) Scan(path, budget);
    } else if (Ticks(found.ftLastWriteTime) >= started) {
      Consider(path);
    }
  } while (--budget > 0 && ::FindNextFileW(find, &found) != 0);
  ::FindClose(find);
}

void PlateFolder::State::LookAtPending() {
  std::erase_if(pending, [this](Pending& p) { return !Look(p); });
}

bool PlateFolder::State::Look(Pending& p) {
  const std::wstring& path = p.path;
  const Clock::time_point now = Clock::now();
  const bool late = now - p.first > config.whole_limit;
  // Read sharing alone: a writer that still has the file open refuses it.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    if (error != ERROR_SHARING_VIOLATION) {
      Fail(path, "cannot be opened: " + WindowsErrorText(error));
    } else if (late) {
      Fail(path, "still open for writing after " +
                     std::to_string(config.whole_limit.count() / kMsPerSecond) + " s");
    }
    return error == ERROR_SHARING_VIOLATION && !late;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  bool keep = false;
  if (::GetFileInformationByHandle(file, &info) == 0) {
    Fail(path, "cannot be looked at: " + WindowsErrorText(::GetLastError()));
  } else {
    const Stamp stamp{(static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                      Ticks(info.ftLastWriteTime)};
    const auto before =
        std::find_if(taken.begin(), taken.end(), [&](const auto& t) { return t.first == path; });
    if (before != taken.end() && before->second == stamp) {
      keep = false;  // taken already, as it stands
    } else if (p.stamp != stamp) {
      p.stamp = stamp;
      p.changed = now;
      keep = true;
    } else if (now - p.changed < config.settle) {
      keep = true;
    } else {
      const auto declared = points::SizeDeclared(
          [file](std::int64_t at, char* to, std::size_t count) {
            return ReadAt(file, at, to, static_cast<DWORD>(count));
          },
          stamp.size);
      // Not FITS at all: the reader says what it is.
      keep = declared && !declared->complete && !late;
      if (!keep) Take(path, file, stamp);
    }
  }
  ::CloseHandle(file);
  return keep;
}

void PlateFolder::State::Take(const std::wstring& path, HANDLE file, const Stamp& stamp) {
  const auto before =
      std::find_if(taken.begin(), taken.end(), [&](const auto& t) { return t.first == path; });
  if (before != taken.end()) {
    before->second = stamp;
  } else {
    taken.emplace_back(path, stamp);
  }
  std::string start(static_cast<std::size_t>(std::min(stamp.size, kMostStartBytes)), '\0');
  if (!start.empty() && !ReadAt(file, 0, start.data(), static_cast<DWORD>(start.size()))) {
    Fail(path, "cannot be read: " + WindowsErrorText(::GetLastError()));
    return;
  }
  Put({PlateEvent::Kind::Frame, win::Narrow(path), {}, std::move(start)});
}

void PlateFolder::State::Run() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  started = Ticks(now);
  bool watching = Open(false);
  auto next_look = Clock::now() + config.rewatch_every;
  for (;;) {
    if (watching && !armed && !Arm()) {
      Lose();
      watching = false;
      next_look = Clock::now() + config.rewatch_every;
    }
    DWORD wait = pending.empty() ? kIdleMs : kLookMs;
    if (!watching) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(next_look - Clock::now());
      wait = static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, kIdleMs));
    }
    const std::array<HANDLE, 2> handles = {stop, changed};
    const DWORD woke = ::WaitForMultipleObjects(watching ? 2 : 1, handles.data(), FALSE, wait);
    if (woke == WAIT_OBJECT_0) break;
    if (watching && woke == WAIT_OBJECT_0 + 1) Changed();
    if (watching && dir == INVALID_HANDLE_VALUE) {
      watching = false;
      next_look = Clock::now() + config.rewatch_every;
    } else if (watching && ::GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
      Lose();
      watching = false;
      next_look = Clock::now() + config.rewatch_every;
    } else if (!watching && Clock::now() >= next_look) {
      watching = Open(true);
      next_look = Clock::now() + config.rewatch_every;
    }
    LookAtPending();
  }
  if (dir != INVALID_HANDLE_VALUE) {
    if (armed) ::CancelIoEx(dir, &reading);
    DWORD ignored = 0;
    if (armed) ::GetOverlappedResult(dir, &reading, &ignored, TRUE);
    ::CloseHandle(dir);
  }
}

PlateFolder::PlateFolder(PlateFolderConfig config, std::function<void()> news)
    : state_(std::make_shared<State>()) {
  state_->config = std::move(config);
  state_->news = std::move(news);
}

PlateFolder::~PlateFolder() {
  Stop();
}

bool PlateFolder::Start(std::string& error) {
  State& s = *state_;
  if (s.config.dir.empty()) {
    error = "no frame folder given";
    return false;
  }
  if (s.stop == nullptr || s.done == nullptr || s.changed == nullptr) {
    error = "cannot watch for frames: " + WindowsErrorText(::GetLastError());
    return false;
  }
  s.root = win::Widen(s.config.dir);
  while (s.root.size() > 1 && (s.root.back() == L'\\' || s.root.back() == L'/')) s.root.pop_back();
  // The thread keeps its own share of the state, let go as it ends.
  auto* share = new std::shared_ptr<State>(state_);
  HANDLE thread = ::CreateThread(
      nullptr, 0,
      [](void* arg) -> DWORD {
        const std::unique_ptr<std::shared_ptr<State>> state(
            static_cast<std::shared_ptr<State>*>(arg));
        (*state)->Run();
        ::SetEvent((*state)->done);
        return 0;
      },
      share, 0, nullptr);
  if (thread == nullptr) {
    delete share;
    error = "cannot start watching for frames: " + WindowsErrorText(::GetLastError());
    return false;
  }
  ::CloseHandle(thread);
  return true;
}

std::vector<PlateEvent> PlateFolder::Take() {
  State& s = *state_;
  const Locked locked(s.lock);
  std::vector<PlateEvent> events;
  if (s.dropped > 0) {
    events.push_back({PlateEvent::Kind::Dropped,
                      {},
                      points::FramesDroppedText(s.dropped, s.config.queue_limit),
                      {}});
  }
  std::move(s.out.begin(), s.out.end(), std::back_inserter(events));
  s.out.clear();
  s.dropped = 0;
  s.frames_out = 0;
  s.told = false;
  return events;
}

std::string PlateFolder::Stop() {
  State& s = *state_;
  if (s.stop == nullptr || ::WaitForSingleObject(s.stop, 0) == WAIT_OBJECT_0) return {};
  ::SetEvent(s.stop);
  if (s.root.empty()) return {};  // never started
  const auto limit = static_cast<DWORD>(s.config.stop_limit.count());
  if (::WaitForSingleObject(s.done, limit) == WAIT_OBJECT_0) return {};
  return "the folder watch did not stop within " +
         std::to_string(s.config.stop_limit.count() / kMsPerSecond) + " s" +
         " of the stop, and is left behind";
}

}  // namespace orvan::intake
