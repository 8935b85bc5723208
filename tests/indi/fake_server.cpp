#include "fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace orvan::indi::testing {
namespace {

constexpr int kPollMs = 50;

// Waits for `fd` to be readable, in short steps so that `stop` is seen.
bool Readable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPollMs) > 0) return true;
  }
  return false;
}

}  // namespace

FakeServer::FakeServer(std::string greeting) : greeting_(std::move(greeting)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 1) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("fake INDI server cannot listen");
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeServer::~FakeServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

void FakeServer::Serve() {
  if (!Readable(listener_, stop_)) return;
  const int client = accept(listener_, nullptr, nullptr);
  if (client < 0) return;
  // Like a real server it speaks only once asked for the properties: the
  // client library is not ready for anything before it has asked (its
  // connectServer clears its devices after its reader has started).
  std::string heard;
  char buf[4096];
  bool greeted = false;
  while (Readable(client, stop_)) {
    const ssize_t n = read(client, buf, sizeof buf);
    if (n <= 0) break;
    if (greeted) continue;  // dropped, until the client goes or the test ends
    heard.append(buf, static_cast<std::size_t>(n));
    if (heard.find("<getProperties") == std::string::npos) continue;
    greeted = true;
    if (send(client, greeting_.data(), greeting_.size(), MSG_NOSIGNAL) < 0) break;
  }
  close(client);
}

std::string ConnectionDefinition(const std::string& device, bool connected) {
  return "<defSwitchVector device=\"" + device +
         "\" name=\"CONNECTION\" label=\"Connection\" group=\"Main Control\" state=\"" +
         (connected ? "Ok" : "Idle") +
         "\" perm=\"rw\" rule=\"OneOfMany\" timeout=\"60\" timestamp=\"2026-03-20T04:00:00\">\n"
         "<defSwitch name=\"CONNECT\" label=\"Connect\">" +
         (connected ? "On" : "Off") +
         "</defSwitch>\n"
         "<defSwitch name=\"DISCONNECT\" label=\"Disconnect\">" +
         (connected ? "Off" : "On") + "</defSwitch>\n</defSwitchVector>\n";
}

}  // namespace orvan::indi::testing
