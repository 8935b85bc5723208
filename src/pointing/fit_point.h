#pragma once

#include <string>

#include "pointing/sky.h"
#include "points/point_record.h"

// A point as the model is fitted to it: where the star was seen and where
// the mount's axes read, in the same local frame.
namespace orvan::pointing {

struct FitPoint {
  std::string source;  // the file the point was read from
  int line = 0;        // 1-based line there (for messages and the reject report)
  // Where the star really is: apparent topocentric place of date, refracted
  // with the data's air.
  HaDec observed{};
  // The mount's own reading as hour angle and declination; |dec| > 90 on the
  // side through the pole.
  HaDec mechanical{};
  double latitude_deg = 0;
  bool through_pole = false;  // from |dec| > 90, or from the pier side
};

// A point CSV's record seen from `site`, in the air the record gives where it
// gives one and the site's elsewhere. Throws points::PointError for a leap
// second on a day that had none.
FitPoint FitPointOf(const points::PointRecord& record, const Site& site, const std::string& source);

// The air of `site` as a point records it.
points::PointAir PointAirOf(const Site& site);

// A point as a sync or a frame records it: at `utc`, the sky's J2000 place,
// the mount's own reading (apparent of date), its side of the pier and the air.
points::PointRecord PointOf(const UtcFields& utc, RaDec sky_j2000, RaDec mount, PierSide side,
                            const points::PointAir& air);

}  // namespace orvan::pointing
