#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace orvan::indi::testing {

// A stand-in INDI server on a free loopback port that sends one client the
// given XML as soon as it connects and then never answers anything: for the
// back end's waits that must end in an error.
class FakeServer {
 public:
  explicit FakeServer(std::string greeting);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }

 private:
  void Serve();

  std::string greeting_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// An INDI switch vector definition for CONNECTION, connected or not.
std::string ConnectionDefinition(const std::string& device, bool connected);

}  // namespace orvan::indi::testing
