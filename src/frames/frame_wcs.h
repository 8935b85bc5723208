#pragma once

#include <optional>
#include <string>

#include "frames/frame_file.h"

// A FITS header's WCS taken through wcslib: where the image's middle pixel
// lies and how large a pixel is there.
namespace orvan::frames {

// `header` as cfitsio gives it (80-character records, `records` of them)
// for an image of `width` x `height`. Empty without `error` when the header
// has no celestial WCS; empty with `error` when wcslib refuses it or it is
// not in a frame the program takes (ICRS, or FK5 at J2000).
std::optional<FrameSky> SkyOfHeader(std::string header, int records, int width, int height,
                                    std::string& error);

}  // namespace orvan::frames
