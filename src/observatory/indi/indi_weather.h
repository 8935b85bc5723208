#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "observatory/indi/indi_link.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/program/clock.h"
#include "observatory/program/observatory_program.h"

namespace orvan::indi {

// The air tonight from an INDI weather device's WEATHER_PARAMETERS, read
// live over a connection of its own to the server (the library's thread
// receives; the program reads on its own thread what was last received).
// What the device does not read is the configuration's air, said once. A
// reading out of range or in Alert, a property not updated within the stale
// limit, a server gone: each is said once while it lasts, and the last good
// air is kept.
class IndiWeather final : public program::AirSource {
 public:
  // `options.weather` names the device; `fixed` is the air the program has
  // without it (given on the command line, or the defaults); `clock` times
  // a reading's age.
  IndiWeather(const IndiOptions& options, std::shared_ptr<program::Clock> clock,
              program::ProgramConfig fixed);

  // Connects to the server, finds the device, connects it and waits for
  // WEATHER_PARAMETERS; raises as the mount's start-up does. Nothing more
  // once that has succeeded.
  void Open();

  program::AirReading ReadAir() noexcept override;

 private:
  void SayMissing(const PropertyValues& parameters) const;
  void Take(const PropertyValues& parameters);
  static program::AirReading Judge(const PropertyValues& parameters);
  void Trouble(const std::string& what);
  std::string KeptAir() const;
  std::string Name() const;

  std::unique_ptr<IndiLink> link_;
  std::shared_ptr<program::Clock> clock_;
  program::ProgramConfig fixed_;
  double stale_limit_s_;
  std::function<void(const std::string&)> notice_;
  bool opened_ = false;

  program::AirReading good_;  // the last good reading; empty before the first
  std::optional<std::uint64_t> seen_updates_;
  double seen_at_ = 0;   // when the last new reading was seen, by the clock
  std::string trouble_;  // what was last said to be wrong; empty while all is well
};

}  // namespace orvan::indi
