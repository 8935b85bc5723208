// Syncs another client makes, told apart from the mount's other news, and
// each made a point of the point CSV.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "observatory/indi/indi_names.h"
#include "observatory/indi/sync_watch.h"

namespace orvan::indi {
namespace {

using namespace names;

PropertyValues Position(double ra, double dec, IPState state = IPS_OK) {
  PropertyValues p;
  p.name = kEquatorialEodCoord;
  p.state = state;
  p.numbers[kRa].value = ra;
  p.numbers[kDec].value = dec;
  return p;
}

PropertyValues CoordSet(const char* on, IPState state = IPS_OK) {
  PropertyValues p;
  p.name = kOnCoordSet;
  p.state = state;
  for (const char* e : {kSlew, kTrack, kSync}) p.switches[e] = std::string(e) == on;
  return p;
}

// What the watch is told: new values, or a definition.
struct Step {
  Step(PropertyValues values,
       bool new_values = true)  // NOLINT(google-explicit-constructor): a table's rows
      : p(std::move(values)), update(new_values) {}
  PropertyValues p;
  bool update;
};
Step Defined(PropertyValues p) {
  return {std::move(p), false};
}

struct Case {
  const char* what;
  std::vector<Step> seen;
  std::vector<std::pair<pointing::RaDec, pointing::RaDec>> syncs;  // synced, before
};

TEST(SyncWatch, ASyncIsSyncSetThenTheNextPositionNotRefused) {
  const Case cases[] = {
      {"a sync",
       {Position(1, 10), CoordSet(kSync), Position(1.01, 10.02)},
       {{{1.01, 10.02}, {1, 10}}}},
      {"the position as defined, before any update",
       {Defined(Position(1, 10)), CoordSet(kSync), Position(1.01, 10.02)},
       {{{1.01, 10.02}, {1, 10}}}},
      {"the position after it is not another",
       {Position(1, 10), CoordSet(kSync), Position(1.01, 10.02), Position(1.02, 10.02)},
       {{{1.01, 10.02}, {1, 10}}}},
      {"two, each set",
       {Position(1, 10), CoordSet(kSync), Position(2, 20), CoordSet(kSync), Position(3, 30)},
       {{{2, 20}, {1, 10}}, {{3, 30}, {2, 20}}}},
      {"a slew is none", {Position(1, 10), CoordSet(kTrack), Position(2, 20)}, {}},
      {"refused",
       {Position(1, 10), CoordSet(kSync), Position(1, 10, IPS_ALERT), Position(2, 2)},
       {}},
      {"SYNC refused", {Position(1, 10), CoordSet(kSync, IPS_ALERT), Position(2, 20)}, {}},
      {"nothing before it", {CoordSet(kSync), Position(2, 20)}, {}},
      {"a definition meanwhile (a driver restarted)",
       {Position(1, 10), CoordSet(kSync), Defined(CoordSet(kTrack)), Position(2, 20)},
       {}},
      {"a definition sets nothing going",
       {Position(1, 10), Defined(CoordSet(kSync)), Position(2, 20)},
       {}},
      {"no position", {Position(1, 10), CoordSet(kSync), Position(24, 20)}, {}},
      {"set again before the position",
       {Position(1, 10), CoordSet(kSync), CoordSet(kTrack), Position(2, 20)},
       {}},
  };
  for (const Case& c : cases) {
    SyncWatch watch;
    for (const Step& step : c.seen) watch.Seen(step.p, step.update);
    const std::vector<SeenSync> seen = watch.Take();
    ASSERT_EQ(seen.size(), c.syncs.size()) << c.what;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].synced.ra, c.syncs[i].first.ra) << c.what;
      EXPECT_EQ(seen[i].synced.dec, c.syncs[i].first.dec) << c.what;
      EXPECT_EQ(seen[i].before.ra, c.syncs[i].second.ra) << c.what;
      EXPECT_EQ(seen[i].before.dec, c.syncs[i].second.dec) << c.what;
    }
    EXPECT_TRUE(watch.Take().empty()) << c.what;
  }
}

// The synced place of date taken to J2000 as ERFA's eraAtic13 has it (TT =
// UTC + 37 s + 32.184 s in 2026), to 0.1 milli-arc-second; the time, the side
// and the air as they were.
TEST(SyncWatch, ASyncIsAPointOfItsMomentSideAndAir) {
  using namespace std::chrono;
  const sys_days day = year{2026} / December / 8;
  const SeenSync sync{
      time_point_cast<system_clock::duration>(day + hours{21} + minutes{30} + milliseconds{250}),
      {5.5, 20.25},
      {5.51, 20.2}};
  const points::PointRecord r = SyncPoint(sync, PierSide::West, {40, -105, 830.5, -2.5, 0.35});
  EXPECT_EQ(UtcText(r.utc), "2026-12-08T21:30:00.250Z");
  double jd1 = 0, jd2 = 0, rc = 0, dc = 0, eo = 0;
  eraDtf2d("UTC", 2026, 12, 8, 21, 30, 0.25, &jd1, &jd2);
  const double tt2 = jd2 + 69.184 / 86400;
  // ERFA's right ascension of date is from the CIO, INDI's from the equinox.
  const double from_cio = 5.5 * 15 * ERFA_DD2R + eraEo06a(jd1, tt2);
  eraAtic13(from_cio, 20.25 * ERFA_DD2R, jd1, tt2, &rc, &dc, &eo);
  EXPECT_NEAR((r.sky_ra_hours - rc * ERFA_DR2D / 15) * 54000, 0, 1e-4);
  EXPECT_NEAR((r.sky_dec_deg - dc * ERFA_DR2D) * 3600, 0, 1e-4);
  EXPECT_EQ(r.mount_ra_hours, 5.51);
  EXPECT_EQ(r.mount_dec_deg, 20.2);
  EXPECT_EQ(r.pier_side, points::PierSide::West);
  EXPECT_EQ(r.air.temperature_c, -2.5);
  EXPECT_EQ(r.air.pressure_hpa, 830.5);
  EXPECT_EQ(r.air.humidity_percent, 35);
}

}  // namespace
}  // namespace orvan::indi
