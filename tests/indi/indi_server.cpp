#include "indi_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "support/units.h"

extern char** environ;

namespace orvan::indi::standin {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr int kStartTries = 3;

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    throw std::runtime_error("no free port");
  }
  close(fd);
  return ntohs(addr.sin_port);
}

std::string RunTool(const std::vector<std::string>& argv) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> args = argv;
  std::vector<char*> ptrs = Pointers(args);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, ptrs[0], &actions, nullptr, ptrs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    throw std::runtime_error("cannot run " + argv[0]);
  }
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return text;
}

IndiServer::IndiServer(std::vector<std::string> drivers) : drivers_(std::move(drivers)) {
  if (home_.path().empty()) throw std::runtime_error("no home for indiserver: " + home_.error());
}

IndiServer::~IndiServer() {
  Stop();
}

void IndiServer::Start() {
  // The port is free when chosen but may be taken before the server binds
  // it; the server then exits at once and another port is tried.
  for (int i = 0; i < kStartTries; ++i)
    if (TryStart(FreePort())) return;
  throw std::runtime_error("indiserver did not start; see " + home_.File("indiserver.log"));
}

bool IndiServer::TryStart(int port) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "HOME=", 5) != 0) env.emplace_back(*e);
  env.push_back("HOME=" + home_.path());
  // Its local socket (abstract, "/tmp/indiserver" unless told) would clash
  // with any other server's on the machine: it gets a name of its own.
  std::vector<std::string> args = {"indiserver", "-p", std::to_string(port), "-u",
                                   home_.File("indiserver.sock")};
  args.insert(args.end(), drivers_.begin(), drivers_.end());
  const std::string log = home_.File("indiserver.log");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);  // a group of its own, led by the server
  std::vector<char*> argv = Pointers(args), envp = Pointers(env);
  const int rc = posix_spawnp(&pid_, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("cannot run indiserver");

  const bool up = WaitFor(kStartLimit, [&] {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return true;  // it ended: no use waiting
    }
    return Accepts(port);
  });
  if (up && pid_ > 0) {
    port_ = port;
    return true;
  }
  Stop();
  return false;
}

void IndiServer::Stop() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);  // the server and its driver
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void IndiServer::SetProp(const std::string& assignment) const {
  RunTool({"indi_setprop", "-p", std::to_string(port_), assignment});
}

void IndiServer::SetProps(const std::vector<std::string>& assignments) const {
  std::vector<std::string> argv{"indi_setprop", "-p", std::to_string(port_)};
  argv.insert(argv.end(), assignments.begin(), assignments.end());
  RunTool(argv);
}

std::string IndiServer::GetProp(const std::string& name) const {
  std::string value = RunTool({"indi_getprop", "-1", "-t", "2", "-p", std::to_string(port_), name});
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

double IndiServer::GetNumber(const std::string& name) const {
  const std::string text = GetProp(name);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') throw std::runtime_error(name + " is not a number: " + text);
  return v;
}

std::string NumberText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::size_t CountLines(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
    return l.find(text) != std::string::npos;
  }));
}

double TrackAt(IndiServer& server, double hour_angle, double dec, bool& ok, double longitude) {
  using namespace std::chrono_literals;
  server.SetProp(kSimulator + "CONNECTION.CONNECT=On");
  ok = WaitFor(5s, [&] { return server.GetProp(kSimulator + "CONNECTION.CONNECT") == "On"; });
  // INDI gives longitude east, 0 to 360.
  server.SetProp(kSimulator + "GEOGRAPHIC_COORD.LAT;LONG;ELEV=40;" +
                 NumberText(longitude < 0 ? longitude + 360 : longitude) + ";1600");
  const double lst =
      pointing::LocalSiderealTime({40, longitude, 0, 10, 0.5}, program::SystemClock().Now());
  const double ra = Wrap24(lst - hour_angle);
  server.SetProp(kSimulator + "ON_COORD_SET.SYNC=On");
  server.SetProp(kSimulator + "EQUATORIAL_EOD_COORD.RA;DEC=" + NumberText(ra) + ";" +
                 NumberText(dec));
  server.SetProp(kSimulator + "TELESCOPE_TRACK_STATE.TRACK_ON=On");
  // The program captures its target at the start: the mount must be still.
  ok = ok && WaitFor(5s, [&] {
         return std::abs(server.GetNumber(kSimulator + "EQUATORIAL_EOD_COORD.DEC") - dec) < 1e-6 &&
                server.GetProp(kSimulator + "TELESCOPE_TRACK_STATE.TRACK_ON") == "On";
       });
  return ra;
}

bool Drift(IndiServer& server, double arcsec_per_s, const std::string& pier) {
  using namespace std::chrono_literals;
  const std::string dec = kSimulator + "EQUATORIAL_EOD_COORD.DEC";
  if (!WaitFor(5s,
               [&] { return server.GetProp(kSimulator + "TELESCOPE_PIER_SIDE." + pier) == "On"; }))
    return false;
  const double dec0 = server.GetNumber(dec);
  const std::string ra_rate = server.GetProp(kSimulator + "TELESCOPE_TRACK_RATE.TRACK_RATE_RA");
  server.SetProp(kSimulator + "TELESCOPE_TRACK_MODE.TRACK_CUSTOM=On");
  server.SetProp(kSimulator + "TELESCOPE_TRACK_RATE.TRACK_RATE_RA;TRACK_RATE_DE=" + ra_rate + ";" +
                 NumberText(arcsec_per_s));
  // Seen to move: a tenth of a second's drift at least.
  return WaitFor(5s,
                 [&] { return std::abs(server.GetNumber(dec) - dec0) * 3600 > arcsec_per_s / 10; });
}

}  // namespace orvan::indi::standin
