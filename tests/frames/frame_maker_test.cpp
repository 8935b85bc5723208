// The frame maker against references of its own kind: wcslib reading the
// WCS it writes, hand-worked gnomonic places, published star places, and
// astrometry.net solving a frame it made.

#include <fcntl.h>
#include <fitsio.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <wcslib/wcs.h>
#include <wcslib/wcshdr.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framemaker/catalogue.h"
#include "framemaker/star_field.h"
#include "support/units.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace orvan::framemaker {
namespace {

constexpr double kArcsecPerRadian = 206264.80624709636;

struct WcsFree {
  void operator()(wcsprm* wcs) const {
    int count = 1;
    wcsvfree(&count, &wcs);
  }
};
using Wcs = std::unique_ptr<wcsprm, WcsFree>;

// The primary header's WCS at `path`, as wcslib reads it.
Wcs ReadWcs(const std::string& path) {
  fitsfile* file = nullptr;
  int status = 0, keys = 0;
  char* header = nullptr;
  fits_open_diskfile(&file, path.c_str(), READONLY, &status);
  fits_hdr2str(file, 0, nullptr, 0, &header, &keys, &status);
  fits_close_file(file, &status);
  EXPECT_EQ(status, 0) << path;
  if (status != 0) return nullptr;
  int rejected = 0, found = 0;
  wcsprm* all = nullptr;
  const int parsed = wcspih(header, keys, WCSHDR_all, 0, &rejected, &found, &all);
  fits_free_memory(header, &status);
  EXPECT_TRUE(parsed == 0 && found >= 1 && rejected == 0) << path;
  if (parsed != 0 || found < 1) return nullptr;
  // The primary WCS alone is kept.
  for (int i = found - 1; i >= 1; --i) wcsfree(all + i);
  Wcs wcs(all);
  EXPECT_EQ(wcsset(wcs.get()), 0);
  return wcs;
}

// Sky (degrees) of FITS pixel (x, y), and the pixel of a sky place.
std::pair<double, double> SkyOf(wcsprm* wcs, double x, double y) {
  double pixel[2] = {x, y}, image[2], phi, theta, world[2];
  int status = 0;
  EXPECT_EQ(wcsp2s(wcs, 1, 2, pixel, image, &phi, &theta, world, &status), 0);
  return {world[0], world[1]};
}
std::pair<double, double> PixelOf(wcsprm* wcs, double ra_deg, double dec_deg) {
  double world[2] = {ra_deg, dec_deg}, image[2], phi, theta, pixel[2];
  int status = 0;
  EXPECT_EQ(wcss2p(wcs, 1, 2, world, &phi, &theta, image, pixel, &status), 0);
  return {pixel[0], pixel[1]};
}

// Arc-seconds between two places in degrees, by small angles.
double ApartArcsec(std::pair<double, double> a, std::pair<double, double> b) {
  double dra = a.first - b.first;
  if (dra > 180) dra -= 360;
  if (dra < -180) dra += 360;
  return std::hypot(dra * std::cos(b.second * kRadiansPerDegree), a.second - b.second) * 3600;
}

struct Image {
  long width = 0, height = 0;
  std::vector<double> counts;
  double At(long x, long y) const { return counts[(y - 1) * width + (x - 1)]; }  // FITS pixel
};

Image ReadImage(const std::string& path) {
  fitsfile* file = nullptr;
  int status = 0;
  long size[2] = {0, 0};
  Image image;
  fits_open_diskfile(&file, path.c_str(), READONLY, &status);
  fits_get_img_size(file, 2, size, &status);
  image.width = size[0];
  image.height = size[1];
  image.counts.resize(static_cast<std::size_t>(size[0] * size[1]));
  fits_read_img(file, TDOUBLE, 1, size[0] * size[1], nullptr, image.counts.data(), nullptr,
                &status);
  fits_close_file(file, &status);
  EXPECT_EQ(status, 0) << path;
  return image;
}

std::string Key(const std::string& path, const char* name) {
  fitsfile* file = nullptr;
  int status = 0;
  char value[FLEN_VALUE] = "";
  fits_open_diskfile(&file, path.c_str(), READONLY, &status);
  fits_read_keyword(file, name, value, nullptr, &status);
  fits_close_file(file, &status);
  return status == 0 ? value : "";
}

// Sky-subtracted light in a box about (x, y): its sum, centroid and second
// moment along the unit direction (ux, uy).
struct Light {
  double sum = 0, x = 0, y = 0, spread = 0;
};
Light Measure(const Image& image, double sky, double x, double y, long half, double ux = 1,
              double uy = 0) {
  Light light;
  const long cx = std::lround(x), cy = std::lround(y);
  for (long row = cy - half; row <= cy + half; ++row) {
    for (long column = cx - half; column <= cx + half; ++column) {
      const double counts = image.At(column, row) - sky;
      light.sum += counts;
      light.x += counts * static_cast<double>(column);
      light.y += counts * static_cast<double>(row);
    }
  }
  light.x /= light.sum;
  light.y /= light.sum;
  for (long row = cy - half; row <= cy + half; ++row) {
    for (long column = cx - half; column <= cx + half; ++column) {
      const double along =
          (static_cast<double>(column) - light.x) * ux + (static_cast<double>(row) - light.y) * uy;
      light.spread += (image.At(column, row) - sky) * along * along;
    }
  }
  light.spread /= light.sum;
  return light;
}

constexpr char kDate[] = "2026-12-08T21:04:08.123Z";

TEST(FrameMaker, WcsPutsTheMiddleAndACornerOnTheirHandWorkedPlaces) {
  TempDir dir;
  const std::string path = dir.File("frame.fits");
  // The centre moves 36" north through the exposure, across the equator:
  // halfway it is at RA 6.0001 h (90.0015 degrees), Dec 0.
  const std::pair<double, double> middle{90.0015, 0};
  // Pixel (1, 1) is 799.5 columns and 549.5 rows from the middle of
  // 1600 x 1100, 2398.5" and 1648.5" at 3" a pixel: at rotation 0 left is
  // east and down south; at 90 up (+y) is east and right (+x) north.
  struct Case {
    double rotation, xi_arcsec, eta_arcsec;  // the corner's offsets east and north
  };
  for (const Case& c : {Case{0, 2398.5, -1648.5}, Case{90, -1648.5, -2398.5}}) {
    FrameShot shot;
    shot.start_center = {6.0, -0.005};
    shot.end_center = {6.0002, 0.005};
    shot.rotation_deg = c.rotation;
    shot.write_wcs = true;
    shot.date_obs = kDate;
    std::string error;
    ASSERT_TRUE(WriteFrame(shot, {}, path, error)) << error;
    const Wcs wcs = ReadWcs(path);
    ASSERT_TRUE(wcs);
    EXPECT_LT(ApartArcsec(SkyOf(wcs.get(), 800.5, 550.5), middle), 1e-6);
    // The gnomonic projection about a place on the equator, inverted by
    // hand: tan(ra - ra0) = xi, tan dec = eta / sqrt(1 + xi^2), in radians.
    const double xi = c.xi_arcsec / kArcsecPerRadian, eta = c.eta_arcsec / kArcsecPerRadian;
    const std::pair<double, double> corner{middle.first + std::atan(xi) / kRadiansPerDegree,
                                           std::atan(eta / std::hypot(1, xi)) / kRadiansPerDegree};
    EXPECT_LT(ApartArcsec(SkyOf(wcs.get(), 1, 1), corner), 1e-6) << "rotation " << c.rotation;
  }
  EXPECT_EQ(Key(path, "DATE-OBS"), "'2026-12-08T21:04:08.123'");
  EXPECT_DOUBLE_EQ(std::stod(Key(path, "EXPTIME")), 30);
  // 3.76 um seen as 3": 3.76e-3 mm x 206264.8 / 3 = 258.52 mm.
  EXPECT_DOUBLE_EQ(std::stod(Key(path, "XPIXSZ")), 3.76);
  EXPECT_NEAR(std::stod(Key(path, "FOCALLEN")), 258.52, 0.01);
  // Renamed into place: nothing else is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  FrameShot bare;
  bare.date_obs = kDate;
  bare.write_optics = false;
  std::string error;
  ASSERT_TRUE(WriteFrame(bare, {}, path, error)) << error;
  EXPECT_EQ(Key(path, "FOCALLEN"), "");
  EXPECT_EQ(Key(path, "CTYPE1"), "");
  EXPECT_FALSE(WriteFrame(bare, {}, dir.File("no-such-folder/frame.fits"), error));
  EXPECT_NE(error.find("no-such-folder/frame.fits.part"), std::string::npos) << error;
}

TEST(FrameMaker, StarsFallWhereTheWcsPutsThemAndTrailFromStartToEnd) {
  TempDir dir;
  const std::string path = dir.File("frame.fits");
  FrameShot shot;
  shot.start_center = shot.end_center = {10.0, 40.0};
  shot.rotation_deg = 30;
  shot.write_wcs = true;
  shot.date_obs = kDate;
  // 7th magnitude: about 160,000 counts, its brightest pixel well below 65535.
  const std::vector<Star> still = {{150.02, 40.01, 7}, {149.7, 39.85, 7}, {150.25, 40.2, 7}};
  std::string error;
  ASSERT_TRUE(WriteFrame(shot, still, path, error)) << error;
  Wcs wcs = ReadWcs(path);
  ASSERT_TRUE(wcs);
  Image image = ReadImage(path);
  for (const Star& star : still) {
    const auto [x, y] = PixelOf(wcs.get(), star.ra_deg, star.dec_deg);
    const Light light = Measure(image, shot.sky_level, x, y, 5);
    EXPECT_NEAR(light.x, x, 0.05) << star.ra_deg;
    EXPECT_NEAR(light.y, y, 0.05) << star.ra_deg;
  }

  // The mount drifts 27" east and 36" north: the star trails from where the
  // start's centre puts it to where the end's does.
  shot.rotation_deg = 0;
  shot.end_center = {10.0005, 40.01};
  const Star trailing{150.1, 40.1, 5};
  ASSERT_TRUE(WriteFrame(shot, {trailing}, path, error)) << error;
  wcs = ReadWcs(path);
  ASSERT_TRUE(wcs);
  image = ReadImage(path);
  std::pair<double, double> ends[2];
  for (int i = 0; i < 2; ++i) {
    const pointing::RaDec center = i == 0 ? shot.start_center : shot.end_center;
    wcs->crval[0] = center.ra * 15;
    wcs->crval[1] = center.dec;
    wcs->flag = 0;
    ASSERT_EQ(wcsset(wcs.get()), 0);
    ends[i] = PixelOf(wcs.get(), trailing.ra_deg, trailing.dec_deg);
  }
  const double dx = ends[1].first - ends[0].first, dy = ends[1].second - ends[0].second;
  const double length = std::hypot(dx, dy);
  const double mid_x = (ends[0].first + ends[1].first) / 2;
  const double mid_y = (ends[0].second + ends[1].second) / 2;
  const Light light = Measure(image, shot.sky_level, mid_x, mid_y,
                              static_cast<long>(length / 2) + 6, dx / length, dy / length);
  EXPECT_NEAR(light.x, mid_x, 0.05);
  EXPECT_NEAR(light.y, mid_y, 0.05);
  // Along the trail: a uniform line of `length` (variance length^2 / 12)
  // blurred by the seeing's Gaussian (sigma 6" / 2.3548 = 0.849 px) and the
  // pixel (1/12).
  const double sigma = 6.0 / 3 / 2.3548;
  EXPECT_NEAR(light.spread, length * length / 12 + sigma * sigma + 1.0 / 12, 0.05 * light.spread);
  // 5th magnitude at zero point 20: 10^(0.4 x 15) = 10^6 counts.
  EXPECT_NEAR(light.sum, 1e6, 1e4);
}

TEST(FrameMaker, CatalogueHoldsThePleiadesWherePublished) {
  // Hipparcos places (J2000) and V magnitudes of two of the Pleiades the
  // index files keep; Alcyone, brighter, is one of the stars Tycho-2 lacks.
  struct Published {
    const char* name;
    double ra_deg, dec_deg, v;
  };
  const Published published[] = {
      {"Atlas", (3 + 49 / 60.0 + 9.74 / 3600) * 15, 24 + 3 / 60.0 + 12.3 / 3600, 3.62},
      {"Maia", (3 + 45 / 60.0 + 49.61 / 3600) * 15, 24 + 22 / 60.0 + 3.9 / 3600, 3.87},
  };
  std::string error;
  const std::vector<Star> stars = CatalogueStars({3.79, 24.1}, 1, error);
  ASSERT_EQ(error, "");
  for (const Published& star : published) {
    const auto near = std::find_if(stars.begin(), stars.end(), [&](const Star& s) {
      return ApartArcsec({s.ra_deg, s.dec_deg}, {star.ra_deg, star.dec_deg}) < 10;
    });
    ASSERT_NE(near, stars.end()) << star.name;
    EXPECT_NEAR(near->mag, star.v, 0.2) << star.name;  // Tycho VT is within 0.1 of V here
  }

  // A field inside the one asked is answered from it: the program is not run.
  CatalogueConfig missing;
  missing.program = "/nonexistent/query-starkd";
  EXPECT_FALSE(CatalogueStars({3.8, 24.2}, 0.8, missing, error).empty()) << error;
  EXPECT_TRUE(CatalogueStars({12, -30}, 0.8, missing, error).empty());
  EXPECT_NE(error.find("cannot run /nonexistent/query-starkd"), std::string::npos) << error;
}

// Runs `args`, its output to `log`; its exit status, or -1.
int RunProgram(const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FrameMakerSolver, SolveFieldFindsTheFrameWhereItWasMade) {
  TempDir dir;
  FrameShot shot;
  shot.start_center = {5.5, 20.0};
  shot.end_center = {5.50005, 20.0008};  // 2.5" east, 2.9" north of drift
  shot.rotation_deg = 20;
  shot.date_obs = kDate;
  std::string error;
  const pointing::RaDec truth = MidCenter(shot);
  const std::vector<Star> stars = CatalogueStars(truth, FieldRadiusDeg(shot), error);
  ASSERT_EQ(error, "");
  const std::string frame = dir.File("frame.fits");
  ASSERT_TRUE(WriteFrame(shot, stars, frame, error)) << error;
  const std::string log = dir.File("solve-field.log");
  const int status = RunProgram(
      {"solve-field", "--ra",          "82.5",         "--dec",       "20",       "--radius",
       "2",           "--scale-units", "arcsecperpix", "--scale-low", "2.7",      "--scale-high",
       "3.3",         "--cpulimit",    "30",           "--dir",       dir.path(), "--no-plots",
       "--new-fits",  "none",          "--overwrite",  frame},
      log);
  ASSERT_EQ(status, 0) << "solve-field failed; see " << log;
  const Wcs wcs = ReadWcs(dir.File("frame.wcs"));
  ASSERT_TRUE(wcs);
  EXPECT_LT(ApartArcsec(SkyOf(wcs.get(), 800.5, 550.5), {truth.ra * 15, truth.dec}), 1.0);
}

}  // namespace
}  // namespace orvan::framemaker
