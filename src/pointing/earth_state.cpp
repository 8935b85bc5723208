#include "pointing/earth_state.h"

#include <erfa.h>
#include <erfam.h>

#include <array>
#include <cmath>

namespace orvan::pointing {
namespace {

constexpr double kHoursPerDay = 24;
// Hours kept: more than a night's, so that a night's points in any order
// compute each hour once.
constexpr std::size_t kHoursKept = 48;

EarthState Compute(double hour) {
  const double tt1 = ERFA_DJ00, tt2 = hour / kHoursPerDay;
  EarthState e{};
  double ehpv[2][3], npb[3][3];
  eraEpv00(tt1, tt2, ehpv, e.ebpv);
  eraCp(ehpv[0], e.ehp);
  eraPnm06a(tt1, tt2, npb);
  eraBpn2xy(npb, &e.x, &e.y);
  e.s = eraS06(tt1, tt2, e.x, e.y);
  e.eo = eraEors(npb, e.s);
  e.ee = eraEe06a(tt1, tt2);
  return e;
}

struct Kept {
  double hour = NAN;
  EarthState state{};
};

const EarthState& AtHour(double hour) {
  thread_local std::array<Kept, kHoursKept> kept;
  thread_local std::size_t next = 0;
  for (const Kept& k : kept)
    if (k.hour == hour) return k.state;
  Kept& slot = kept[next];
  next = (next + 1) % kept.size();
  slot = {hour, Compute(hour)};
  return slot.state;
}

double Between(double a, double b, double f) {
  return a + (b - a) * f;
}

}  // namespace

EarthState EarthStateAt(double tt1, double tt2) {
  const double hours = ((tt1 - ERFA_DJ00) + tt2) * kHoursPerDay;
  const double hour = std::floor(hours);
  const double f = hours - hour;
  const EarthState a = AtHour(hour);
  const EarthState& b = AtHour(hour + 1);
  EarthState e{};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) e.ebpv[i][j] = Between(a.ebpv[i][j], b.ebpv[i][j], f);
  for (int j = 0; j < 3; ++j) e.ehp[j] = Between(a.ehp[j], b.ehp[j], f);
  e.x = Between(a.x, b.x, f);
  e.y = Between(a.y, b.y, f);
  e.s = Between(a.s, b.s, f);
  e.eo = Between(a.eo, b.eo, f);
  e.ee = Between(a.ee, b.ee, f);
  return e;
}

}  // namespace orvan::pointing
