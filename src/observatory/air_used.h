#pragma once

#include <optional>

// The air the program last mapped with, for the parts that record it
// without an access of ACP's objects (which have no air): the cycle log's
// air columns.
namespace orvan {

struct AirUsed {
  double temperature_c = 0;
  double pressure_hpa = 0;
  double humidity_percent = 0;
};

// Offered by an observatory that maps with an air of its own; reading it
// costs no access and cannot fail. None until the program has mapped.
class AirUsedSource {
 public:
  virtual ~AirUsedSource() = default;
  virtual std::optional<AirUsed> LastAirUsed() noexcept = 0;
};

}  // namespace orvan
