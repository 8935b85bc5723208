#include "fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <optional>
#include <stdexcept>

namespace orvan::indi::standin {
namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kReadSize = 4096;

// Waits for `fd` to be readable, in short steps so that `stop` is seen.
bool Readable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPollMs) > 0) return true;
  }
  return false;
}

// The first whole message in `pending`, taken off it: an element that
// closes itself, or one up to its closing tag.
std::optional<std::string> TakeMessage(std::string& pending) {
  const std::size_t start = pending.find('<');
  if (start == std::string::npos) return std::nullopt;
  const std::size_t name_end = pending.find_first_of(" />", start + 1);
  const std::size_t open_end = pending.find('>', start);
  if (name_end == std::string::npos || open_end == std::string::npos) return std::nullopt;
  std::size_t end = open_end + 1;
  if (pending[open_end - 1] != '/') {
    const std::string closing = "</" + pending.substr(start + 1, name_end - start - 1) + ">";
    const std::size_t at = pending.find(closing, open_end);
    if (at == std::string::npos) return std::nullopt;
    end = at + closing.size();
  }
  std::string message = pending.substr(start, end - start);
  pending.erase(0, end);
  return message;
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

FakeServer::FakeServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("fake INDI server cannot listen");
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeServer::FakeServer(std::string greeting) : FakeServer() {
  On("<getProperties", {Send(std::move(greeting))});
}

FakeServer::~FakeServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

void FakeServer::On(std::string contains, std::vector<Action> actions, bool repeat) {
  std::lock_guard lock(mutex_);
  rules_.push_back({std::move(contains), std::move(actions), repeat});
}

bool FakeServer::Do(const std::vector<Action>& actions) {
  int client = -1;
  {
    std::lock_guard lock(mutex_);
    client = client_;
  }
  if (client < 0) return false;
  for (const Action& a : actions)
    if (!Perform(client, a)) return false;
  return true;
}

int FakeServer::clients() {
  std::lock_guard lock(mutex_);
  return clients_;
}

std::vector<std::string> FakeServer::Received() {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> FakeServer::Received(const std::string& tag, const std::string& property) {
  std::vector<std::string> out;
  for (const std::string& m : Received()) {
    const std::size_t open_end = m.find('>');
    const std::string open = m.substr(0, open_end);
    // The client library quotes with apostrophes.
    if (open.starts_with("<" + tag) && open.size() > tag.size() + 1 &&
        std::isspace(static_cast<unsigned char>(open[tag.size() + 1])) &&
        (open.find("name=" + Quoted(property)) != std::string::npos ||
         open.find("name='" + property + "'") != std::string::npos))
      out.push_back(m);
  }
  return out;
}

bool FakeServer::AwaitReceived(const std::string& tag, const std::string& property,
                               std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Received(tag, property).size() < count) {
    std::unique_lock lock(mutex_);
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  return Received(tag, property).size() >= count;
}

void FakeServer::Serve() {
  while (Readable(listener_, stop_)) {
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    {
      std::lock_guard lock(mutex_);
      client_ = client;
      ++clients_;
    }
    Talk(client);
    std::lock_guard lock(mutex_);
    client_ = -1;
    std::lock_guard write_lock(write_mutex_);
    close(client);
  }
}

void FakeServer::Talk(int client) {
  std::string pending;
  std::vector<bool> fired;
  char buf[kReadSize];
  while (Readable(client, stop_)) {
    const ssize_t n = read(client, buf, sizeof buf);
    if (n <= 0) return;
    pending.append(buf, static_cast<std::size_t>(n));
    Heard(client, pending, fired);
  }
}

void FakeServer::Heard(int client, std::string& pending, std::vector<bool>& fired) {
  while (std::optional<std::string> message = TakeMessage(pending)) {
    std::vector<std::vector<Action>> due;
    {
      std::lock_guard lock(mutex_);
      received_.push_back(*message);
      fired.resize(rules_.size(), false);
      for (std::size_t i = 0; i < rules_.size(); ++i) {
        if (fired[i] || message->find(rules_[i].contains) == std::string::npos) continue;
        fired[i] = !rules_[i].repeat;
        due.push_back(rules_[i].actions);
      }
      changed_.notify_all();
    }
    for (const auto& actions : due)
      for (const Action& a : actions)
        if (!Perform(client, a)) return;
  }
}

bool FakeServer::Perform(int client, const Action& action) {
  std::lock_guard lock(write_mutex_);
  if (action.kind == Action::kClose) {
    shutdown(client, SHUT_RDWR);
    return false;
  }
  const std::size_t step = action.kind == Action::kTrickle ? 1 : action.xml.size();
  for (std::size_t at = 0; at < action.xml.size(); at += step)
    if (send(client, action.xml.data() + at, std::min(step, action.xml.size() - at), MSG_NOSIGNAL) <
        0)
      return false;
  return true;
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

std::string NumberDefinition(const std::string& device, const std::string& property,
                             const std::string& state,
                             const std::vector<std::pair<std::string, std::string>>& elements,
                             const std::string& min, const std::string& max) {
  std::string xml = "<defNumberVector device=" + Quoted(device) + " name=" + Quoted(property) +
                    " label=" + Quoted(property) + " group=\"Main\" state=" + Quoted(state) +
                    " perm=\"rw\" timeout=\"60\">\n";
  for (const auto& [name, value] : elements)
    xml += "<defNumber name=" + Quoted(name) + " label=" + Quoted(name) +
           " format=\"%g\" min=" + Quoted(min) + " max=" + Quoted(max) + " step=\"0\">" + value +
           "</defNumber>\n";
  return xml + "</defNumberVector>\n";
}

std::string NumberUpdate(const std::string& device, const std::string& property,
                         const std::string& state,
                         const std::vector<std::pair<std::string, std::string>>& elements) {
  std::string xml = "<setNumberVector device=" + Quoted(device) + " name=" + Quoted(property) +
                    " state=" + Quoted(state) + " timeout=\"60\">\n";
  for (const auto& [name, value] : elements)
    xml += "<oneNumber name=" + Quoted(name) + ">" + value + "</oneNumber>\n";
  return xml + "</setNumberVector>\n";
}

std::string SwitchDefinition(const std::string& device, const std::string& property,
                             const std::vector<std::pair<std::string, bool>>& elements) {
  std::string xml = "<defSwitchVector device=" + Quoted(device) + " name=" + Quoted(property) +
                    " label=" + Quoted(property) +
                    " group=\"Main\" state=\"Ok\" perm=\"rw\" rule=\"OneOfMany\" timeout=\"60\">\n";
  for (const auto& [name, on] : elements)
    xml += "<defSwitch name=" + Quoted(name) + " label=" + Quoted(name) + ">" +
           (on ? "On" : "Off") + "</defSwitch>\n";
  return xml + "</defSwitchVector>\n";
}

std::string Deletion(const std::string& device, const std::string& property) {
  return "<delProperty device=" + Quoted(device) +
         (property.empty() ? "" : " name=" + Quoted(property)) + "/>\n";
}

}  // namespace orvan::indi::standin
