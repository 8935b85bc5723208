#pragma once

// The observatory program over a real mount on an INDI server (Linux).

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "observatory/automation.h"
#include "observatory/sim/observatory_program.h"

namespace orvan::indi {

struct IndiOptions {
  std::string host = "127.0.0.1";
  int port = 7624;
  std::string device = "Telescope Simulator";
  // Air for refraction and the pointing-model terms. Left out: 10 C, 50 %
  // humidity, the pressure estimated from the mount's elevation, no terms.
  sim::SkyOptions sky;
};

// How long any wait for the server is allowed: connecting, the device and
// its properties appearing, a written value acknowledged.
inline constexpr std::chrono::seconds kAnswerLimit{5};
// A device not shown within this quiet time after the server's other devices
// were is taken as not there (the protocol has no "that is all" message).
inline constexpr std::chrono::milliseconds kDeviceQuiet{1000};

// One sidereal rate (GUIDE_RATE 1.0) in degrees per second: 15.0410686"/s.
inline constexpr double kSiderealDegPerSecond = 15.0410686 / 3600.0;

// What the INDI back end raises, in the range ASCOM leaves to drivers.
inline constexpr std::uint32_t kUnreachable = 0x80040500;      // no server at HOST:PORT
inline constexpr std::uint32_t kDeviceNotFound = 0x80040501;   // no such device there
inline constexpr std::uint32_t kPropertyMissing = 0x80040502;  // the device lacks a property
inline constexpr std::uint32_t kNoAnswer = 0x80040503;         // nothing within kAnswerLimit
inline constexpr std::uint32_t kConnectionLost = 0x80040504;   // the server went away
inline constexpr std::uint32_t kRefused = 0x80040505;          // the device answered Alert

// "ACP.Telescope" and "ACP.Util" over an INDI mount. The first Create
// connects to the server, finds the device and connects it
// (CONNECTION.CONNECT), waiting for the properties the program uses; any
// failure raises from that Create, and a later one tries again. Writing
// Connected connects or disconnects the device. From the first connection on
// the process ignores SIGPIPE, so that writing to a server that has just
// gone raises instead of ending the program. See docs/indi.md.
std::unique_ptr<AutomationFactory> MakeIndiObservatory(const IndiOptions& options);

}  // namespace orvan::indi
