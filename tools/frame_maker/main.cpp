// frame-maker: one frame of real stars (Tycho-2, from astrometry.net's index
// files) as a camera would write it, for trying the frame reader and solver
// by hand.

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "framemaker/catalogue.h"
#include "framemaker/star_field.h"
#include "support/numtext.h"

namespace {

using orvan::framemaker::FrameShot;

constexpr char kUsage[] =
    "usage: frame-maker --ra H --dec D [--to-ra H --to-dec D] --date UTC --exposure S\n"
    "                   [--wcs] [--no-optics] [--scale ARCSEC] [--width W --height H]\n"
    "                   [--rotation DEG] [--fwhm ARCSEC] [--seed N] [--index-dir DIR] OUT.fits\n";
constexpr int kUsageStatus = 2;
constexpr double kMaxSeed = 4294967295.0;
constexpr double kMaxSide = 20000;
constexpr double kMaxExposure = 86400;

struct Options {
  FrameShot shot;
  std::optional<double> ra, dec, to_ra, to_dec, exposure;
  double width = FrameShot{}.width, height = FrameShot{}.height, seed = FrameShot{}.seed;
  orvan::framemaker::CatalogueConfig catalogue;
  std::string out;
};

// One option that takes a value; false, with `error`, when it is bad or
// no such option.
bool TakeValue(Options& o, std::string_view arg, std::string_view value, std::string& error) {
  FrameShot& s = o.shot;
  const auto number = [&](double lo, double hi, double& out) {
    return orvan::OptionNumber(arg, value, lo, hi, out, error);
  };
  const auto whole = [&](double hi, double& out) {
    if (!number(1, hi, out)) return false;
    if (out == static_cast<double>(static_cast<long long>(out))) return true;
    error = "bad value for " + std::string(arg) + ": " + std::string(value);
    return false;
  };
  if (arg == "--ra") return number(0, 24, o.ra.emplace());
  if (arg == "--dec") return number(-90, 90, o.dec.emplace());
  if (arg == "--to-ra") return number(0, 24, o.to_ra.emplace());
  if (arg == "--to-dec") return number(-90, 90, o.to_dec.emplace());
  if (arg == "--exposure") return number(0, kMaxExposure, o.exposure.emplace());
  if (arg == "--scale") return number(0.01, 3600, s.scale_arcsec);
  if (arg == "--rotation") return number(-360, 360, s.rotation_deg);
  if (arg == "--fwhm") return number(0.01, 3600, s.fwhm_arcsec);
  if (arg == "--width") return whole(kMaxSide, o.width);
  if (arg == "--height") return whole(kMaxSide, o.height);
  if (arg == "--seed") return whole(kMaxSeed, o.seed);
  if (arg == "--date") {
    s.date_obs = value;
    return true;
  }
  if (arg == "--index-dir") {
    o.catalogue.index_dir = value;
    return true;
  }
  error = "unknown option " + std::string(arg);
  return false;
}

bool Parse(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--wcs") {
      o.shot.write_wcs = true;
    } else if (arg == "--no-optics") {
      o.shot.write_optics = false;
    } else if (arg.starts_with("--")) {
      if (i + 1 == argc) {
        error = std::string(arg) + " needs a value";
        return false;
      }
      if (!TakeValue(o, arg, argv[++i], error)) return false;
    } else if (o.out.empty()) {
      o.out = arg;
    } else {
      error = "more than one output file";
      return false;
    }
  }
  if (!o.ra || !o.dec || !o.exposure || o.shot.date_obs.empty() || o.out.empty()) {
    error = "--ra, --dec, --date, --exposure and the output file are needed";
    return false;
  }
  o.shot.start_center = {*o.ra, *o.dec};
  o.shot.end_center = {o.to_ra.value_or(*o.ra), o.to_dec.value_or(*o.dec)};
  o.shot.exposure_s = *o.exposure;
  o.shot.width = static_cast<int>(o.width);
  o.shot.height = static_cast<int>(o.height);
  o.shot.seed = static_cast<unsigned>(o.seed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!Parse(argc, argv, options, error)) {
    std::fprintf(stderr, "frame-maker: %s\n%s", error.c_str(), kUsage);
    return kUsageStatus;
  }
  const FrameShot& shot = options.shot;
  // Stars a seeing disc beyond the corners still light the frame's edge.
  const double radius = orvan::framemaker::FieldRadiusDeg(shot) + shot.fwhm_arcsec / 3600;
  const auto start = std::chrono::steady_clock::now();
  const auto stars = orvan::framemaker::CatalogueStars(orvan::framemaker::MidCenter(shot), radius,
                                                       options.catalogue, error);
  if (!error.empty()) {
    std::fprintf(stderr, "frame-maker: %s\n", error.c_str());
    return 1;
  }
  const auto asked = std::chrono::steady_clock::now();
  if (!orvan::framemaker::WriteFrame(shot, stars, options.out, error)) {
    std::fprintf(stderr, "frame-maker: %s\n", error.c_str());
    return 1;
  }
  const auto done = std::chrono::steady_clock::now();
  using Ms = std::chrono::duration<double, std::milli>;
  std::printf("%s: %zu stars; catalogue %.0f ms, frame %.0f ms\n", options.out.c_str(),
              stars.size(), Ms(asked - start).count(), Ms(done - asked).count());
  return 0;
}
