#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace orvan::indi::standin {

// Debian's INDI server with its telescope simulator (or the drivers given),
// for one test: on a free port, with HOME in a fresh temporary folder (the
// driver writes ~/.indi there), in a process group of its own that Stop()
// ends by its id.
class IndiServer {
 public:
  explicit IndiServer(std::vector<std::string> drivers = {"indi_simulator_telescope"});
  ~IndiServer();
  IndiServer(const IndiServer&) = delete;
  IndiServer& operator=(const IndiServer&) = delete;

  // Starts the server and returns once its port accepts connections.
  void Start();
  // Kills the server's process group and reaps the server.
  void Stop();
  int port() const { return port_; }

  // The command-line client tools from indi-bin, as a second client:
  // indi_setprop "Device.PROPERTY.E1;E2=v1;v2" and indi_getprop -1 "...".
  void SetProp(const std::string& assignment) const;
  // Several in one connection, one right after the other, as a client that
  // sends them together does.
  void SetProps(const std::vector<std::string>& assignments) const;
  std::string GetProp(const std::string& name) const;
  double GetNumber(const std::string& name) const;

 private:
  bool TryStart(int port);

  std::vector<std::string> drivers_;
  TempDir home_{"orvan-indi"};
  pid_t pid_ = -1;
  int port_ = 0;
};

// The simulator's properties, as the command-line tools name them.
inline const std::string kSimulator = "Telescope Simulator.";

// The site's longitude unless a test needs another, degrees east.
inline constexpr double kSiteLongitude = -105;

// Connects the simulator on `server` and sets it up as the program tests
// hold it: at 40 degrees north, `longitude` (degrees east), 1600 m, synced at
// `hour_angle` (hours, west positive) and `dec` (degrees), tracking, and
// still there. Returns the right ascension it was synced at; false in `ok`
// on a limit.
double TrackAt(IndiServer& server, double hour_angle, double dec, bool& ok,
               double longitude = kSiteLongitude);

// Tracking on `server` as TrackAt left it, drifting north in declination at
// `arcsec_per_s` (the simulator's own custom tracking rate); `pier`
// (PIER_EAST or PIER_WEST) is where the simulator must have the mount. False
// on a limit.
bool Drift(IndiServer& server, double arcsec_per_s, const std::string& pier);

// A number as the command-line tools take it, to the last bit.
std::string NumberText(double v);

// How many of `lines` contain `text`.
std::size_t CountLines(const std::vector<std::string>& lines, const std::string& text);

// A port on the loopback interface that nothing listens on at the moment.
int FreePort();

// Runs a program (found on PATH) to its end and returns what it printed.
std::string RunTool(const std::vector<std::string>& argv);

// Polls `done` until it holds or `limit` passes; true if it held.
template <typename F>
bool WaitFor(std::chrono::milliseconds limit, F done);

}  // namespace orvan::indi::standin

#include <thread>

template <typename F>
bool orvan::indi::standin::WaitFor(std::chrono::milliseconds limit, F done) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
