#pragma once

// A mount as the stand-in server shows it: "Fake Mount", connected, with
// every property the program uses, and the program's correction step run
// against it through the INDI mount driver.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_server.h"
#include "observatory/indi/indi_mount.h"
#include "observatory/indi/indi_names.h"
#include "support/error.h"

namespace orvan::indi::standin {

inline const std::string kFakeDevice = "Fake Mount";
// The error the step pulses away: one second's worth at the fake's guide
// rate, half the sidereal rate.
inline constexpr double kStepErrorArcsec = 0.5 * kSiderealDegPerSecond * 3600;
inline constexpr double kStepPulseMs = 1000;

// Its property definitions, in the order sent, with those in `replaced` put
// in place of the usual ones (an empty text leaves one out).
std::vector<std::pair<std::string, std::string>> MountDefinitions(
    const std::vector<std::pair<std::string, std::string>>& replaced = {});
// All of them as one text; `before_last` goes before the last definition,
// so it has been received once the mount is open.
std::string MountGreeting(const std::vector<std::pair<std::string, std::string>>& replaced = {},
                          const std::string& before_last = {});

std::string PositionUpdate(const std::string& state, const std::string& ra, const std::string& dec);
std::string PulseUpdate(const std::string& property, const std::string& state, double first,
                        double second);

// Options for the mount on `server`, with the short limits tests use.
IndiOptions FakeOptions(const FakeServer& server);
inline constexpr auto kTestAnswerLimit = std::chrono::milliseconds(1000);
inline constexpr auto kTestDeviceQuiet = std::chrono::milliseconds(300);

// What the program's correction cycle does: opens the mount, reads what it
// reads and pulses north for kStepErrorArcsec at the declination guide rate.
// The error raised, if any.
std::optional<Error> CorrectionStep(IndiMount& mount);

}  // namespace orvan::indi::standin
