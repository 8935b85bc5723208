#pragma once

// The observatory program over a real mount on an INDI server (Linux).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "observatory/automation.h"
#include "observatory/mount_note.h"
#include "observatory/pier_side.h"
#include "observatory/position_news.h"
#include "observatory/program/observatory_program.h"

namespace orvan::indi {

class IndiTrace;
class SyncWatch;

// How long any wait for the server is allowed by default: connecting, the
// device and its properties appearing, a written value answered.
inline constexpr std::chrono::milliseconds kDefaultAnswerLimit{5000};
// A device not shown within this quiet time after the server's other devices
// were is taken as not there (the protocol has no "that is all" message).
inline constexpr std::chrono::milliseconds kDefaultDeviceQuiet{1000};
// A weather device whose readings have not been updated for this long is
// taken as stuck; weather drivers update every minute by default.
inline constexpr std::chrono::seconds kDefaultWeatherStaleLimit{600};

struct IndiOptions {
  std::string host = "127.0.0.1";
  int port = 7624;
  std::string device = "Telescope Simulator";
  // Air for refraction and the pointing-model terms. Left out: 10 C, 50 %
  // humidity, the pressure estimated from the mount's elevation, no terms.
  program::SkyOptions sky;
  std::chrono::milliseconds answer_limit = kDefaultAnswerLimit;
  std::chrono::milliseconds device_quiet = kDefaultDeviceQuiet;
  // Told, once each time, when the mount is found to move an axis the other
  // way on a side of the pier and its pulses are turned, or when its pulses
  // stop or start moving it (pulse_sense.h); and once at the start, what the
  // mount lacks and what the program does instead (mount_shape.h).
  std::function<void(const MountNote&)> notice;
  // Where given, hears every message sent to the server and received from it.
  std::shared_ptr<IndiTrace> trace;
  // How the user says the mount moves west of the pier; left out, the
  // program finds it out from the first pulses.
  std::optional<ReversedAxes> reverse_on_pier_west;
  // Where given, sees the syncs other clients make on the mount.
  std::shared_ptr<SyncWatch> syncs;
  // The air read live from this weather device on the same server
  // (indi_weather.h), what it says of its readings told to `air_notice`; the
  // program's clock times a reading's age.
  std::optional<std::string> weather;
  std::chrono::seconds weather_stale_limit = kDefaultWeatherStaleLimit;
  std::function<void(const std::string&)> air_notice;
  // The guide rate, in times the sidereal rate, of a mount that does not
  // tell its own (no GUIDE_RATE, or one the program cannot read); left out,
  // the program's default rate.
  std::optional<double> guide_rate;
  // When a value is received; tests set it, the program leaves the steady
  // clock.
  std::function<std::chrono::steady_clock::time_point()> now;
};

// "ACP.Telescope" and "ACP.Util" over an INDI mount. The first Create
// connects to the server, finds the device and connects it
// (CONNECTION.CONNECT), waiting for the properties the program uses; any
// failure raises from that Create, and a later one tries again. Writing
// Connected connects or disconnects the device. The process must ignore
// SIGPIPE (the program's main does), so that writing to a server that has
// just gone raises instead of ending it. See docs/indi.md.
// `made`, where given, receives the observatory program the objects
// answer from; `side`, where given, the side of the pier as the mount last
// reported it, read without any access of the objects; `news`, where given,
// whether the mount has reported its position anew since a pulse.
std::unique_ptr<AutomationFactory> MakeIndiObservatory(
    const IndiOptions& options, std::shared_ptr<program::ObservatoryProgram>* made = nullptr,
    std::shared_ptr<PierSideSource>* side = nullptr, std::shared_ptr<PositionNews>* news = nullptr);

}  // namespace orvan::indi
