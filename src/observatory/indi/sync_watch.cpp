#include "observatory/indi/sync_watch.h"

#include <cmath>
#include <utility>

#include "observatory/indi/indi_names.h"
#include "pointing/fit_point.h"
#include "pointing/places.h"
#include "support/air.h"
#include "support/units.h"
#include "support/utc_text.h"

namespace orvan::indi {
namespace {

using namespace names;

std::optional<pointing::RaDec> PositionOf(const PropertyValues& p) {
  const auto ra = p.numbers.find(kRa), dec = p.numbers.find(kDec);
  if (ra == p.numbers.end() || dec == p.numbers.end()) return std::nullopt;
  const pointing::RaDec position{ra->second.value, dec->second.value};
  // A position that is none is no point: nothing is made of it.
  if (!std::isfinite(position.ra) || !std::isfinite(position.dec) || position.ra < 0 ||
      position.ra >= kHoursPerTurn || std::fabs(position.dec) > kPoleDeg)
    return std::nullopt;
  return position;
}

}  // namespace

void SyncWatch::Seen(const PropertyValues& p, bool update) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!update) armed_ = false;
  if (p.name == kOnCoordSet && update) {
    const auto sync = p.switches.find(kSync);
    armed_ = sync != p.switches.end() && sync->second && p.state != IPS_ALERT;
    before_ = position_;
    return;
  }
  if (p.name != kEquatorialEodCoord) return;
  const std::optional<pointing::RaDec> position = PositionOf(p);
  if (armed_ && before_ && position && p.state != IPS_ALERT)
    seen_.push_back({now_(), *position, *before_});
  // Taken, or refused: either way the next position is no sync's.
  armed_ = false;
  if (position) position_ = position;
}

std::vector<SeenSync> SyncWatch::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(seen_, {});
}

points::PointRecord SyncPoint(const SeenSync& sync, PierSide side, const pointing::Site& air) {
  const UtcFields fields = UtcFieldsOf(sync.time);
  pointing::Utc utc{};
  pointing::UtcOf(fields, utc);
  return pointing::PointOf(fields, pointing::MeanPlaceOf(sync.synced, utc), sync.before, side,
                           pointing::PointAirOf(air));
}

}  // namespace orvan::indi
