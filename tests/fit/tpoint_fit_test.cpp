// A German mount's points written in TPOINT's layout, read and fitted back
// to the terms they were made with, in both hemispheres: on the side through
// the pole the telescope's declination runs on past the pole of the site's
// hemisphere (TPOINT's convention), up to 270° in the north and down to
// −270° in the south.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/fit.h"
#include "pointing/terms.h"
#include "synthetic_points.h"

namespace orvan::model {
namespace {

constexpr synthetic::Known kMount{95, -40, 25, 10, 48, 36, 6};

double Wrap24(double hours) {
  return hours - 24 * std::floor(hours / 24);
}

// "h m s" and "±d m s", as a TPOINT file writes them.
std::string Hms(double hours) {
  const double h = std::floor(hours), m = std::floor((hours - h) * 60);
  char text[48];
  std::snprintf(text, sizeof text, "%02.0f %02.0f %09.6f", h, m, (hours - h - m / 60) * 3600);
  return text;
}

std::string Dms(double degrees) {
  const double a = std::fabs(degrees), d = std::floor(a), m = std::floor((a - d) * 60);
  char text[48];
  std::snprintf(text, sizeof text, "%c%.0f %02.0f %08.5f", degrees < 0 ? '-' : '+', d, m,
                (a - d - m / 60) * 3600);
  return text;
}

struct Hemisphere {
  const char* name;
  double latitude, longitude;
};

class TpointGermanMount : public ::testing::TestWithParam<Hemisphere> {};

TEST_P(TpointGermanMount, PointsThroughThePoleFitBackToTheirTerms) {
  const Hemisphere& site = GetParam();
  const double pole_side = site.latitude >= 0 ? 1 : -1;
  std::string text = "Known terms\n:EQUAT\n" + Dms(site.latitude) + " 2026 12 08\n";
  std::vector<bool> through;
  int beyond_half_turn = 0;
  for (double ha = -5; ha <= 5; ha += 1.25) {
    for (double dec = -30; dec <= 75; dec += 15) {
      // Each point at its own moment of the night, well past 0 h UT.
      double u1, u2;
      ASSERT_EQ(eraDtf2d("UTC", 2026, 12, 8, 2 + int(through.size()) / 6,
                         int(through.size()) % 6 * 10, 0, &u1, &u2),
                0);
      double tai1, tai2, tt1, tt2;
      eraUtctai(u1, u2, &tai1, &tai2);
      eraTaitt(tai1, tai2, &tt1, &tt2);
      const double last =
          eraAnp(eraGst06a(u1, u2, tt1, tt2) + site.longitude * ERFA_DD2R) * 12 / ERFA_DPI;
      const double star_ra = Wrap24(last - ha), star_dec = dec * pole_side;
      double aob, zob, hob, dob, rob, eo;
      ASSERT_EQ(eraAtco13(star_ra * 15 * ERFA_DD2R, star_dec * ERFA_DD2R, 0, 0, 0, 0, u1, u2, 0,
                          site.longitude * ERFA_DD2R, site.latitude * ERFA_DD2R, 0, 0, 0, 0, 10, 0,
                          0.55, &aob, &zob, &hob, &dob, &rob, &eo),
                0);
      const bool through_pole = ha < 0;
      const Point p = synthetic::MakePoint(kMount, hob * 12 / ERFA_DPI, dob * ERFA_DR2D,
                                           site.latitude, through_pole, 0);
      double mount_dec = p.mechanical.dec;
      // On past the pole of the site's hemisphere: 225°, not −135°, in the north.
      if (through_pole && mount_dec * pole_side < 0) mount_dec += 360 * pole_side;
      beyond_half_turn += std::fabs(mount_dec) > 180;
      text += Hms(star_ra) + " " + Dms(star_dec) + " " + Hms(Wrap24(last - p.mechanical.ha)) + " " +
              Dms(mount_dec) + " " + Hms(last) + "\n";
      through.push_back(through_pole);
    }
  }
  ASSERT_GT(beyond_half_turn, 0);
  const std::filesystem::path path =
      std::filesystem::path(testing::TempDir()) / (std::string(site.name) + "_german.dat");
  std::ofstream(path) << text;
  ReadOptions options;
  options.longitude_deg = site.longitude;
  const std::vector<Point> points = ReadPoints(path.string(), options);
  ASSERT_EQ(points.size(), through.size());
  for (std::size_t i = 0; i < points.size(); ++i)
    EXPECT_EQ(points[i].through_pole, through[i]) << i;
  std::vector<std::size_t> terms;
  for (std::string_view name : kDefaultTerms) terms.push_back(*pointing::FindTerm(name));
  const FitResult fit = Fit(points, terms);
  const double known[] = {kMount.ih, kMount.id, kMount.ch, kMount.np,
                          kMount.ma, kMount.me, kMount.tf};
  // The reader's places and ERFA's agree to a few hundredths of an arc-second.
  for (std::size_t j = 0; j < terms.size(); ++j)
    EXPECT_NEAR(fit.values[j], known[j], 0.05) << kDefaultTerms[j];
  EXPECT_LT(fit.rms, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Hemispheres, TpointGermanMount,
                         ::testing::Values(Hemisphere{"North", 40, -105},
                                           Hemisphere{"South", -33, 150}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvan::model
