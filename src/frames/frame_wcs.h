#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frames/frame_file.h"

// A FITS header's WCS taken through wcslib: where the image's middle pixel
// lies and how large a pixel is there.
namespace orvan::frames {

// A FITS number ("30", "3.0E1", Fortran's "3.0D1"), finite, with blanks
// about it; read as every number the program reads.
std::optional<double> FitsNumber(std::string_view text);

// `header` as cfitsio gives it (80-character records, `records` of them)
// for an image of `width` x `height`. Empty without `error` when the header
// has no celestial WCS, or one that gives no scale (`unused` says so); empty
// with `error` when a WCS card's value is not a finite number (naming the
// card), wcslib refuses it, or it is not in a frame the program takes (ICRS,
// or FK5 at J2000).
std::optional<FrameSky> SkyOfHeader(std::string header, int records, int width, int height,
                                    std::string& error, std::string& unused);

}  // namespace orvan::frames
