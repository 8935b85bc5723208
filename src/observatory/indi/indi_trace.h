#pragma once

// Every INDI message the program sends and receives, one time-stamped line
// each, for a user whose mount misbehaves to send in (--trace-indi). The
// client library hands the program properties, not the XML text, so each
// line is built from what it hands over, in the protocol's own words:
//
//   2026-12-08T21:04:08.123Z sent newNumberVector "Telescope Simulator"
//       TELESCOPE_TIMED_GUIDE_WE TIMED_GUIDE_W=360 TIMED_GUIDE_E=0
//   2026-12-08T21:04:08.125Z received setNumberVector "Telescope Simulator"
//       TELESCOPE_TIMED_GUIDE_WE Busy TIMED_GUIDE_W=360 TIMED_GUIDE_E=0
//
// (each on one line). Lines come from the user-interface thread (sent) and
// the library's thread (received); a lock keeps them whole and in order.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace orvan::indi {

// One message: the protocol's element name (newSwitchVector,
// defNumberVector, setTextVector, delProperty, message, getProperties...),
// and what it carries. Empty parts are left out of the line.
struct TracedMessage {
  std::string tag;
  std::string device;
  std::string property;
  std::string state;  // Idle, Ok, Busy, Alert
  // name=value, the value as the line shows it.
  std::vector<std::pair<std::string, std::string>> elements;
  std::string text;  // a device's message, quoted
};

class IndiTrace {
 public:
  using LineSink = std::function<void(const std::string& line)>;
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // The most elements a line shows, and the most bytes of one text; the
  // rest is left out, with a note of how much.
  static constexpr std::size_t kShownElements = 16;
  static constexpr std::size_t kShownTextBytes = 120;

  // `now` defaults to the system clock.
  explicit IndiTrace(LineSink out, Clock now = {});

  void Sent(const TracedMessage& message);
  void Received(const TracedMessage& message);

  // A text as a line shows it: quoted, cut after kShownTextBytes with a note.
  static std::string Quoted(const std::string& text);
  // The line for `message`, without the time and direction.
  static std::string Body(const TracedMessage& message);

 private:
  void Write(const char* direction, const TracedMessage& message);

  LineSink out_;
  Clock now_;
  std::mutex mutex_;
};

}  // namespace orvan::indi
