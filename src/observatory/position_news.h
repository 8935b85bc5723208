#pragma once

#include <optional>

#include "observatory/units.h"

namespace orvan {

// Whether a mount has reported its position anew since the last guide pulse
// on an axis. A mount that republishes its position only once it has moved
// by a step (an INDI driver: 0.1 s of right ascension or 0.1" of
// declination) reports the same reading after a pulse that moved it less:
// that reading is no news of the error, and a pulse on it would correct the
// same error twice. An observatory that knows tells it (the INDI mount);
// without one, every reading is news.
class PositionNews {
 public:
  virtual ~PositionNews() = default;
  // False while the position the mount reports is the very one it reported
  // when the last pulse on the axis (declination where `dec`) was sent; true
  // before any pulse, and where the mount's report can't be read.
  virtual bool NewSincePulse(bool dec) noexcept = 0;
  // The direction a pulse toward `sky` goes to the mount as things now stand,
  // where the mount is sent another (a reversed axis); none where it goes as
  // named.
  virtual std::optional<GuideDirection> SentAs(GuideDirection /*sky*/) noexcept {
    return std::nullopt;
  }
};

}  // namespace orvan
