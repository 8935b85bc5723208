#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvan::indi::standin {

// What the stand-in server does, in order, once something starts it.
struct Action {
  enum Kind {
    kSend,     // `xml` in one write
    kTrickle,  // `xml` one byte a write
    kClose,    // closes the client's socket (after any partial text sent before)
  };
  Kind kind = kSend;
  std::string xml;
};

inline Action Send(std::string xml) {
  return {Action::kSend, std::move(xml)};
}
inline Action Trickle(std::string xml) {
  return {Action::kTrickle, std::move(xml)};
}
inline Action Close() {
  return {Action::kClose, {}};
}

// A stand-in INDI server on a free loopback port, scripted by the test. It
// takes one client at a time, as many in turn as come, and keeps every
// message each sent. Rules say what it does when a client's message
// contains a text: the rule for "<getProperties" greets. A rule fires once
// per client unless it repeats. Nothing else is ever answered.
class FakeServer {
 public:
  FakeServer();
  // The usual start: `greeting` once the client asks for the properties.
  explicit FakeServer(std::string greeting);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }

  void On(std::string contains, std::vector<Action> actions, bool repeat = false);
  // Does `actions` now, to the client connected at the moment; false if
  // there is none or it went.
  bool Do(const std::vector<Action>& actions);

  // Every complete message received, from every client, in order.
  std::vector<std::string> Received();
  // Those whose opening tag names `property`, e.g. new values for it.
  std::vector<std::string> Received(const std::string& tag, const std::string& property);
  // Waits until `count` messages with `tag` for `property` have come.
  bool AwaitReceived(const std::string& tag, const std::string& property, std::size_t count,
                     std::chrono::milliseconds limit);
  int clients();

 private:
  struct Rule {
    std::string contains;
    std::vector<Action> actions;
    bool repeat = false;
  };

  void Serve();
  void Talk(int client);
  void Heard(int client, std::string& pending, std::vector<bool>& fired);
  bool Perform(int client, const Action& action);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Rule> rules_;
  std::vector<std::string> received_;
  int client_ = -1;
  int clients_ = 0;
  std::mutex write_mutex_;  // whole actions do not interleave

  std::thread thread_;
};

// Definitions of a mount's properties, as a driver sends them.
std::string ConnectionDefinition(const std::string& device, bool connected);
std::string NumberDefinition(const std::string& device, const std::string& property,
                             const std::string& state,
                             const std::vector<std::pair<std::string, std::string>>& elements,
                             const std::string& min = "0", const std::string& max = "0");
std::string NumberUpdate(const std::string& device, const std::string& property,
                         const std::string& state,
                         const std::vector<std::pair<std::string, std::string>>& elements);
std::string SwitchDefinition(const std::string& device, const std::string& property,
                             const std::vector<std::pair<std::string, bool>>& elements);
std::string Deletion(const std::string& device, const std::string& property = {});

}  // namespace orvan::indi::standin
