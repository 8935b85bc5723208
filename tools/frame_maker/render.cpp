#include "render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/units.h"

namespace orvan::framemaker {
namespace {

constexpr double kFwhmPerSigma = 2.354820045030949;  // 2 sqrt(2 ln 2)
constexpr double kReachSigmas = 4;                   // a star's light beyond this is left out

// A star's place, its trigonometry worked once for every step.
struct Place {
  double ra_rad, sin_dec, cos_dec;
  double counts;
};

// Maps a place to the pixel it falls on about one centre.
class Projection {
 public:
  Projection(const FrameShot& shot, pointing::RaDec center)
      : ra0_(center.ra * kDegreesPerHour * kRadiansPerDegree),
        sin_dec0_(std::sin(center.dec * kRadiansPerDegree)),
        cos_dec0_(std::cos(center.dec * kRadiansPerDegree)),
        cos_rot_(std::cos(shot.rotation_deg * kRadiansPerDegree)),
        sin_rot_(std::sin(shot.rotation_deg * kRadiansPerDegree)),
        pixels_per_rad_(1 / (shot.scale_arcsec / 3600 * kRadiansPerDegree)),
        mid_x_((shot.width - 1) / 2.0),
        mid_y_((shot.height - 1) / 2.0) {}

  // False when the place is on the far half of the sky.
  bool Pixel(const Place& place, double& x, double& y) const {
    const double dra = place.ra_rad - ra0_;
    const double cos_dra = std::cos(dra);
    const double denominator = place.sin_dec * sin_dec0_ + place.cos_dec * cos_dec0_ * cos_dra;
    if (denominator <= 0) return false;
    const double xi = place.cos_dec * std::sin(dra) / denominator;  // east
    const double eta =
        (place.sin_dec * cos_dec0_ - place.cos_dec * sin_dec0_ * cos_dra) / denominator;  // north
    // +y towards the rotation's position angle, +x a right angle before it
    // (west at 0): the sky as seen, not mirrored.
    x = mid_x_ + (-xi * cos_rot_ + eta * sin_rot_) * pixels_per_rad_;
    y = mid_y_ + (xi * sin_rot_ + eta * cos_rot_) * pixels_per_rad_;
    return true;
  }

 private:
  double ra0_, sin_dec0_, cos_dec0_, cos_rot_, sin_rot_, pixels_per_rad_, mid_x_, mid_y_;
};

// The fraction of a Gaussian's light (centre `mid`, `sigma`) on each of the
// pixels first..first+count-1 along one axis, integrated over each pixel.
void AxisShares(double mid, double sigma, int first, int count, std::vector<double>& shares) {
  const double scale = 1 / (sigma * std::numbers::sqrt2);
  shares.resize(count);
  double below = std::erf((first - 0.5 - mid) * scale);
  for (int i = 0; i < count; ++i) {
    const double above = std::erf((first + i + 0.5 - mid) * scale);
    shares[i] = 0.5 * (above - below);
    below = above;
  }
}

// Adds `counts` as a Gaussian at (x, y), clipped to the frame.
void AddGaussian(const FrameShot& shot, double x, double y, double sigma, double counts,
                 std::vector<float>& image) {
  const double reach = kReachSigmas * sigma;
  // Far off the frame (and beyond int's range, near the horizon): nothing.
  if (x < -reach || y < -reach || x > shot.width - 1 + reach || y > shot.height - 1 + reach) return;
  const int x0 = std::max(0, static_cast<int>(std::ceil(x - reach)));
  const int x1 = std::min(shot.width - 1, static_cast<int>(std::floor(x + reach)));
  const int y0 = std::max(0, static_cast<int>(std::ceil(y - reach)));
  const int y1 = std::min(shot.height - 1, static_cast<int>(std::floor(y + reach)));
  if (x0 > x1 || y0 > y1) return;
  thread_local std::vector<double> across, down;
  AxisShares(x, sigma, x0, x1 - x0 + 1, across);
  AxisShares(y, sigma, y0, y1 - y0 + 1, down);
  for (int row = y0; row <= y1; ++row) {
    float* line = image.data() + static_cast<std::size_t>(row) * shot.width;
    const double row_counts = counts * down[row - y0];
    for (int column = x0; column <= x1; ++column) {
      line[column] += static_cast<float>(row_counts * across[column - x0]);
    }
  }
}

}  // namespace

pointing::RaDec CenterAt(const FrameShot& shot, double t) {
  constexpr double kDayHours = 24;
  double dra = shot.end_center.ra - shot.start_center.ra;
  if (dra > kDayHours / 2) dra -= kDayHours;
  if (dra < -kDayHours / 2) dra += kDayHours;
  double ra = std::fmod(shot.start_center.ra + t * dra, kDayHours);
  if (ra < 0) ra += kDayHours;
  return {ra, shot.start_center.dec + t * (shot.end_center.dec - shot.start_center.dec)};
}

std::vector<float> RenderStars(const FrameShot& shot, const std::vector<Star>& stars) {
  const bool moves =
      shot.start_center.ra != shot.end_center.ra || shot.start_center.dec != shot.end_center.dec;
  const int steps = moves ? shot.smear_steps : 1;
  std::vector<Place> places;
  places.reserve(stars.size());
  for (const Star& star : stars) {
    const double counts = std::pow(10, -0.4 * (star.mag - shot.zero_point_mag)) / steps;
    places.push_back({star.ra_deg * kRadiansPerDegree, std::sin(star.dec_deg * kRadiansPerDegree),
                      std::cos(star.dec_deg * kRadiansPerDegree), counts});
  }
  const double sigma = shot.fwhm_arcsec / shot.scale_arcsec / kFwhmPerSigma;
  std::vector<float> image(static_cast<std::size_t>(shot.width) * shot.height, 0.0F);
  for (int step = 0; step < steps; ++step) {
    // Each step stands for its slice of the exposure, at the slice's middle.
    const Projection projection(shot, CenterAt(shot, (step + 0.5) / steps));
    for (const Place& place : places) {
      double x = 0, y = 0;
      if (projection.Pixel(place, x, y)) AddGaussian(shot, x, y, sigma, place.counts, image);
    }
  }
  return image;
}

}  // namespace orvan::framemaker
