#pragma once

// The observatory program over a real mount on an INDI server (Linux).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "observatory/automation.h"
#include "observatory/program/observatory_program.h"

namespace orvan::indi {

struct IndiOptions {
  std::string host = "127.0.0.1";
  int port = 7624;
  std::string device = "Telescope Simulator";
  // Air for refraction and the pointing-model terms. Left out: 10 C, 50 %
  // humidity, the pressure estimated from the mount's elevation, no terms.
  program::SkyOptions sky;
  // Told, once each time, when the mount is found to move an axis the other
  // way on a side of the pier and its pulses are turned (pulse_sense.h).
  std::function<void(const std::string&)> notice;
};

// How long any wait for the server is allowed: connecting, the device and
// its properties appearing, a written value acknowledged.
inline constexpr std::chrono::seconds kAnswerLimit{5};
// A device not shown within this quiet time after the server's other devices
// were is taken as not there (the protocol has no "that is all" message).
inline constexpr std::chrono::milliseconds kDeviceQuiet{1000};

// "ACP.Telescope" and "ACP.Util" over an INDI mount. The first Create
// connects to the server, finds the device and connects it
// (CONNECTION.CONNECT), waiting for the properties the program uses; any
// failure raises from that Create, and a later one tries again. Writing
// Connected connects or disconnects the device. From the first connection on
// the process ignores SIGPIPE, so that writing to a server that has just
// gone raises instead of ending the program. See docs/indi.md.
std::unique_ptr<AutomationFactory> MakeIndiObservatory(const IndiOptions& options);

}  // namespace orvan::indi
