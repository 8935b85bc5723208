#pragma once

#include <vector>

#include "framemaker/star_field.h"

// The stars' light on the frame, before sky and noise.
namespace orvan::framemaker {

// The centre a fraction `t` (0..1) of the way through the exposure.
pointing::RaDec CenterAt(const FrameShot& shot, double t);

// Each star's counts on each pixel (row-major, width x height; row 0 is
// FITS row 1): the exposure summed over its steps, at each a gnomonic
// projection about that step's centre, each star a Gaussian integrated
// over the pixels within 4 sigma of it.
std::vector<float> RenderStars(const FrameShot& shot, const std::vector<Star>& stars);

}  // namespace orvan::framemaker
