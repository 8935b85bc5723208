#pragma once

// Syncs another client makes on the mount, seen as they pass: each one a
// point of where a star truly was (the coordinates synced to) and where the
// mount said it pointed (its position just before), for the pointing model.

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "observatory/indi/indi_values.h"
#include "observatory/pier_side.h"
#include "pointing/sky.h"
#include "points/point_record.h"

namespace orvan::indi {

struct SeenSync {
  std::chrono::system_clock::time_point time;
  pointing::RaDec synced;  // apparent place of date, as EQUATORIAL_EOD_COORD has it
  pointing::RaDec before;  // the mount's position just before, the same way
};

// Fed every property update of the mount on the INDI library's thread,
// taken from on the program's own. A sync is ON_COORD_SET set to SYNC (the
// driver answers every such setting, even one that changes nothing), then
// the next new EQUATORIAL_EOD_COORD that the device did not refuse.
class SyncWatch {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  explicit SyncWatch(Clock now = std::chrono::system_clock::now) : now_(std::move(now)) {}

  // Under the link's lock: this only keeps what it sees, under its own.
  // `update`: new values; otherwise the property's definition, which gives
  // the position before any update has come and sets nothing going.
  void Seen(const PropertyValues& property, bool update);
  // The syncs seen since the last call, oldest first.
  std::vector<SeenSync> Take();

 private:
  std::mutex mutex_;
  Clock now_;
  std::optional<pointing::RaDec> position_;  // the last one reported
  bool armed_ = false;                       // SYNC set, its position not yet come
  std::optional<pointing::RaDec> before_;    // the position when SYNC was set
  std::vector<SeenSync> seen_;
};

// A seen sync as a point CSV's record: the synced place taken from the
// apparent place of date to J2000 (ERFA), the side of the pier and the air
// the program maps with.
points::PointRecord SyncPoint(const SeenSync& sync, PierSide side, const pointing::Site& air);

}  // namespace orvan::indi
