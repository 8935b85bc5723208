#include "model/fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "model/report.h"
#include "pointing/model_file.h"
#include "pointing/terms.h"
#include "synthetic_points.h"

namespace orvan::model {
namespace {

using synthetic::Known;
using synthetic::MakePoint;
using synthetic::SkyGrid;

// The mount the README's night ran on.
constexpr Known kMount{95, -40, 25, 10, 48, 36, 6};

std::vector<std::size_t> Indices(std::initializer_list<std::string_view> names) {
  std::vector<std::size_t> indices;
  for (std::string_view name : names) indices.push_back(*pointing::FindTerm(name));
  return indices;
}

const std::vector<std::size_t> kSeven = Indices({"IH", "ID", "CH", "NP", "MA", "ME", "TF"});

std::vector<double> Values(const Known& k) {
  return {k.ih, k.id, k.ch, k.np, k.ma, k.me, k.tf};
}

struct SkyCase {
  const char* name;
  double latitude;
  bool both_sides;
};

class Recovery : public ::testing::TestWithParam<SkyCase> {};

TEST_P(Recovery, NoiseFreePointsGiveTheTermsBack) {
  const std::vector<Point> points = SkyGrid(kMount, GetParam().latitude, GetParam().both_sides);
  const FitResult fit = Fit(points, kSeven);
  const std::vector<double> expected = Values(kMount);
  for (std::size_t j = 0; j < expected.size(); ++j)
    EXPECT_NEAR(fit.values[j], expected[j], 1e-9) << pointing::Terms()[kSeven[j]].name;
  EXPECT_LT(fit.rms, 1e-9);
  EXPECT_EQ(fit.used.size(), points.size());
}

// Over many nights of points with 1" of noise on each axis, the errors of
// the values, each divided by its standard error, are distributed as a
// standard normal: RMS near 1, none far out; and the sky RMS is the noise's
// (two axes, the fit's freedom taken out).
TEST_P(Recovery, NoisyPointsGiveTheTermsWithinTheirStandardErrors) {
  constexpr double kSigma = 1;
  constexpr int kNights = 40;
  std::mt19937 random(20261208);
  const std::vector<double> expected = Values(kMount);
  double z_squares = 0, rms_ratio = 0;
  int z_count = 0;
  double z_most = 0;
  for (int night = 0; night < kNights; ++night) {
    std::vector<Point> points = SkyGrid(kMount, GetParam().latitude, GetParam().both_sides);
    synthetic::AddNoise(points, kSigma, random);
    const FitResult fit = Fit(points, kSeven);
    for (std::size_t j = 0; j < expected.size(); ++j) {
      const double z = (fit.values[j] - expected[j]) / fit.standard_errors[j];
      z_squares += z * z, ++z_count, z_most = std::max(z_most, std::abs(z));
    }
    const double n = double(points.size());
    rms_ratio += fit.rms / (kSigma * std::sqrt(2 * (2 * n - 7) / (2 * n))) / kNights;
  }
  EXPECT_NEAR(std::sqrt(z_squares / z_count), 1, 0.15);
  EXPECT_LT(z_most, 4.5);
  EXPECT_NEAR(rms_ratio, 1, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Sky, Recovery,
                         ::testing::Values(SkyCase{"North_OneSide", 40, false},
                                           SkyCase{"North_BothSides", 40, true},
                                           SkyCase{"South_OneSide", -33, false},
                                           SkyCase{"South_BothSides", -33, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Points the terms can't be told apart by: the fit refuses, naming them.
struct Indistinct {
  const char* name;
  std::vector<Point> points;
  std::vector<std::size_t> terms;
  std::string message;
};

std::vector<Point> Along(bool vary_ha, double fixed, double lat) {
  std::vector<Point> points;
  for (int i = 0; i < 12; ++i) {
    const double moving = vary_ha ? -4 + 0.7 * i : -20 + 9 * i;
    points.push_back(
        MakePoint(kMount, vary_ha ? moving : fixed, vary_ha ? fixed : moving, lat, false, i + 1));
  }
  return points;
}

// Along a declination circle at hour angle `ha`, a step of 3.6 ms of time
// between points.
std::vector<Point> NearlyAlong(double ha, double lat) {
  std::vector<Point> points;
  points.reserve(12);
  for (int i = 0; i < 12; ++i)
    points.push_back(MakePoint(kMount, ha + 1e-6 * i, -20 + 9 * i, lat, false, i + 1));
  return points;
}

TEST(Fit, NamesTheTermsThePointsCannotTellApart) {
  // At one hour angle h0, MA and ME each add to Δδ a constant (like ID) and
  // to Δh a multiple of tan δ (like NP): MA + cos h0 NP − sin h0 ID and
  // ME − sin h0 NP − cos h0 ID move no point.
  const std::string spread = ": spread them wider in hour angle and declination, or leave ";
  std::vector<Indistinct> cases{
      {"one hour angle", Along(false, 1.0, 40), kSeven,
       "the points cannot tell ID, NP, MA, ME apart" + spread + "some out of --terms"},
      // Nearly so: the hour angles a few milliseconds of time apart.
      {"nearly one hour angle", NearlyAlong(1.0, 40), kSeven,
       "the points cannot tell ID, NP, MA, ME apart" + spread + "some out of --terms"},
      // On the equator sec δ = 1: CH moves every point as IH does.
      {"equator", Along(true, 0, 40), Indices({"IH", "CH"}),
       "the points cannot tell IH, CH apart" + spread + "some out of --terms"},
      // ... and tan δ = 0: NP moves none.
      {"equator, NP", Along(true, 0, 40), Indices({"IH", "NP"}),
       "the points cannot determine NP" + spread + "it out of --terms"},
  };
  // DAF's effect, −DAF (cos φ cos h + sin φ tan δ), is −cos φ HCEC − sin φ NP
  // everywhere: no points separate the three. On the equator (φ 0) it is
  // −HCEC's; at the pole (φ 90) −NP's, and there TF's, −cos δ in
  // declination, is −DCEC's.
  const std::string none = "no points can tell ";
  const std::string same =
      " apart, however spread (their effects are the same functions of the position): leave ";
  const std::vector<Indistinct> by_construction{
      {"DAF at 40", SkyGrid(kMount, 40, true), Indices({"IH", "ID", "NP", "DAF", "HCEC", "MA"}),
       none + "NP, DAF, HCEC" + same + "one of them out of --terms"},
      {"DAF on the equator", SkyGrid(kMount, 0, true), Indices({"IH", "ID", "NP", "DAF", "HCEC"}),
       none + "DAF, HCEC" + same + "one of them out of --terms"},
      {"at the pole", SkyGrid(kMount, 90, true), Indices({"IH", "ID", "NP", "DAF", "TF", "DCEC"}),
       none + "NP, DAF, TF, DCEC" + same + "2 of them out of --terms"},
      {"and one hour angle", Along(false, 1.0, 40), Indices({"ID", "NP", "DAF", "HCEC", "MA"}),
       none + "NP, DAF, HCEC" + same + "one of them out of --terms, and the points cannot tell " +
           "ID, NP, DAF, HCEC, MA apart" + spread + "some out of --terms"},
  };
  cases.insert(cases.end(), by_construction.begin(), by_construction.end());
  for (const Indistinct& c : cases) {
    try {
      Fit(c.points, c.terms);
      ADD_FAILURE() << c.name << ": fitted";
    } catch (const FitError& e) {
      EXPECT_EQ(e.what(), c.message) << c.name;
    }
  }
}

TEST(Fit, RefusesTooFewPoints) {
  struct Case {
    std::size_t points;
    std::vector<std::size_t> terms;
    std::string message;  // empty: it fits
  };
  const std::vector<Point> all = SkyGrid(kMount, 40, true);
  const std::vector<Case> cases{
      {3, kSeven, "3 points are too few to fit 7 terms: it takes at least 4"},
      {4, kSeven, ""},
      {0, Indices({"IH"}), "0 points are too few to fit 1 term: it takes at least 1"},
      {1, Indices({"IH"}), ""},
      {1, Indices({"IH", "ID"}), "1 point is too few to fit 2 terms: it takes at least 2"},
  };
  for (const Case& c : cases) {
    // Each a step on in both hour angle and declination.
    std::vector<Point> points;
    for (std::size_t i = 0; i < c.points; ++i) points.push_back(all[13 * i + 5]);
    std::string message;
    try {
      Fit(points, c.terms);
    } catch (const FitError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.points << " points";
  }
}

TEST(Fit, RejectsTheWorstPointsOneAtATimeAndRefits) {
  std::vector<Point> points = SkyGrid(kMount, 40, true);
  // Two points knocked out of place by 30" and 20" in declination.
  points[17].mechanical.dec += 30.0 / 3600;
  points[60].mechanical.dec += 20.0 / 3600;
  const FitResult fit = Fit(points, kSeven, 3.0);
  ASSERT_EQ(fit.dropped.size(), 2u);
  EXPECT_EQ(fit.dropped[0].point, 17u);
  EXPECT_EQ(fit.dropped[1].point, 60u);
  EXPECT_GT(fit.dropped[0].residual, fit.dropped[0].limit);
  EXPECT_EQ(fit.used.size(), points.size() - 2);
  EXPECT_LT(fit.rms, 1e-9);
  EXPECT_NEAR(fit.residuals[17].Total(), 30, 1e-9);
  EXPECT_NEAR(fit.residuals[60].Total(), 20, 1e-9);
  const std::string table = FitTable(fit, points);
  const std::size_t first = table.find("\ndropped: synthetic, line 18: ");
  const std::size_t second = table.find("\ndropped: synthetic, line 61: ");
  EXPECT_NE(first, std::string::npos) << table;
  EXPECT_LT(first, second) << table;
  EXPECT_NE(table.find("points used: 166 of 168\n"), std::string::npos) << table;
  // Without the option nothing is dropped.
  EXPECT_TRUE(Fit(points, kSeven).dropped.empty());
}

// Points on the equator tell IH from CH only by the one at 60°, which is 30"
// out in declination: dropping it would leave the two inseparable, so
// rejection stops there and says so.
TEST(Fit, RejectionStopsBeforeTheTermsBecomeInseparable) {
  const Known mount{95, 0, 25};
  std::vector<Point> points;
  points.reserve(13);
  for (int i = 0; i < 12; ++i)
    points.push_back(MakePoint(mount, -4 + 0.7 * i, 0, 40, false, i + 1));
  points.push_back(MakePoint(mount, 1, 60, 40, false, 13));
  points.back().mechanical.dec += 30.0 / 3600;
  const FitResult fit = Fit(points, Indices({"IH", "CH"}), 3.0);
  EXPECT_TRUE(fit.dropped.empty());
  ASSERT_TRUE(fit.rejection_stopped);
  EXPECT_EQ(fit.rejection_stopped->point, 12u);
  EXPECT_EQ(fit.rejection_stopped->terms, Indices({"IH", "CH"}));
  EXPECT_NEAR(fit.values[0], mount.ih, 1e-9);
  EXPECT_NEAR(fit.values[1], mount.ch, 1e-9);
  const std::string table = FitTable(fit, points);
  EXPECT_NE(table.find("points used: 13 of 13\n"), std::string::npos) << table;
  EXPECT_NE(table.find("\nrejection stopped: dropping synthetic, line 13 would leave IH, CH "
                       "inseparable\n"),
            std::string::npos)
      << table;
}

TEST(Fit, ResidualsAreOnTheSkyOnBothSides) {
  // A model 10" short in IH and ID leaves each point 10" cos δ west and
  // 10" north of where the model puts it, on the sky; through the pole the
  // mount's declination runs the other way.
  const Point normal = MakePoint(Known{10, 10}, 2, 60, 40, false, 1);
  const Point flipped = MakePoint(Known{10, 10}, -2, 60, 40, true, 2);
  for (const Point& p : {normal, flipped}) {
    const SkyResidual r = ResidualOf(p, pointing::PointingTerms{});
    EXPECT_NEAR(r.x, 5, 1e-9) << p.line;
    EXPECT_NEAR(r.y, p.through_pole ? -10 : 10, 1e-9) << p.line;
  }
}

TEST(Fit, TheModelFileReadsBackTheValuesWithTheirNotes) {
  std::vector<Point> points = SkyGrid(kMount, 40, true);
  std::mt19937 random(7);
  synthetic::AddNoise(points, 1, random);
  const FitResult fit = Fit(points, kSeven);
  const std::vector<std::string> data{"a.csv", "b.dat"};
  const std::string text = ModelFileText(fit, data, "2026-12-08");
  EXPECT_EQ(pointing::ParsePointingModel(text, "fit"), fit.Model());
  EXPECT_NE(text.find("2026-12-08"), std::string::npos) << text;
  EXPECT_NE(text.find("a.csv b.dat"), std::string::npos) << text;
  char rms[32];
  std::snprintf(rms, sizeof rms, "%.3f\"", fit.rms);
  EXPECT_NE(text.find(rms), std::string::npos) << text;
}

TEST(Fit, TheResidualsCsvHasAPointALine) {
  Point a = MakePoint(Known{10}, 2, 60, 40, false, 7);
  a.source = "night, east.csv";
  const Point b = MakePoint(Known{0, -3}, -1, 20, 40, true, 9);
  const std::vector<Point> points{a, b};
  const std::vector<SkyResidual> residuals{ResidualOf(a, {}), ResidualOf(b, {})};
  EXPECT_EQ(ResidualsCsv(points, residuals, {true, false}),
            "file,line,pier,ha_h,dec_deg,dx_arcsec,dy_arcsec,residual_arcsec,used\n"
            "\"night, east.csv\",7,normal,2.000000,60.00000,5.000,0.000,5.000,yes\n"
            "synthetic,9,through_pole,-1.000000,20.00000,0.000,3.000,3.000,no\n");
}

}  // namespace
}  // namespace orvan::model
