#include "pointing/fit_point.h"

#include "pointing/places.h"
#include "pointing/sides.h"
#include "points/text_fields.h"
#include "support/air.h"
#include "support/units.h"

namespace orvan::pointing {
namespace {

Site WithAir(Site site, const points::PointAir& air) {
  if (air.temperature_c) site.temperature_c = *air.temperature_c;
  if (air.pressure_hpa) site.pressure_hpa = *air.pressure_hpa;
  if (air.humidity_percent) site.relative_humidity = *air.humidity_percent / kPercent;
  return site;
}

}  // namespace

FitPoint FitPointOf(const points::PointRecord& r, const Site& site, const std::string& source) {
  Utc utc{};
  if (!UtcOf(r.utc, utc))
    points::Fail(source, r.line, "utc " + points::Quoted(UtcText(r.utc)) + ": no such time");
  // West of the pier, pointing east: the side through the pole, where the
  // mount's axes read beyond the pole.
  const bool through_pole = r.pier_side == points::PierSide::West;
  const double last = LocalApparentSiderealTime(utc, site.longitude_deg);
  FitPoint p;
  p.source = source;
  p.line = r.line;
  p.observed = Observed(ApparentPlace({{r.sky_ra_hours, r.sky_dec_deg}}, utc), utc, last,
                        WithAir(site, r.air));
  const HaDec reading = InSideFrame({last - r.mount_ra_hours, r.mount_dec_deg}, through_pole);
  p.mechanical = {Wrap12(reading.ha), reading.dec};
  p.latitude_deg = site.latitude_deg;
  p.through_pole = through_pole;
  return p;
}

points::PointAir PointAirOf(const Site& site) {
  return {site.temperature_c, site.pressure_hpa, site.relative_humidity * kPercent};
}

points::PointRecord PointOf(const UtcFields& utc, RaDec sky_j2000, RaDec mount, PierSide side,
                            const points::PointAir& air) {
  points::PointRecord r;
  r.utc = utc;
  r.sky_ra_hours = sky_j2000.ra;
  r.sky_dec_deg = sky_j2000.dec;
  r.mount_ra_hours = mount.ra;
  r.mount_dec_deg = mount.dec;
  r.pier_side = side;
  r.air = air;
  return r;
}

}  // namespace orvan::pointing
