#pragma once

// The side of the pier a German equatorial mount stands on, for the parts
// that need it without an access of ACP's objects (which have none): which
// way a mount's guide pulses go, and the cycle log's pier_side column.
#include "support/pier_side.h"

namespace orvan {

// PierSide (support/pier_side.h) is Unknown where the observatory does not
// say: a mount without the property, ACP's objects, a scenario.

// The axes whose guide pulses move the mount the other way west of the pier,
// as the user knows the mount (east of it they move as named).
struct ReversedAxes {
  bool ra = false;
  bool dec = false;
};

// Offered by an observatory that knows the side of the pier from what the
// mount last reported: reading it costs no access and cannot fail.
class PierSideSource {
 public:
  virtual ~PierSideSource() = default;
  virtual PierSide SideOfPier() noexcept = 0;
};

}  // namespace orvan
