#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "frames/frame_file.h"
#include "points/plate_header.h"

// A FITS header's WCS taken through wcslib: where the image's middle pixel
// lies and how large a pixel is there.
namespace orvan::frames {

// The header's cards and numbers as the portable reader reads them.
using points::FitsNumber;
using points::kCardLength;
using points::kKeywordLength;
using points::kValueIndicator;

// What a header's WCS says, as wcslib takes it.
struct HeaderWcs {
  std::optional<FrameSky> sky;
  // Why there is no sky though the header has a WCS: refused (a WCS card
  // that is not a finite number, named; wcslib's refusal; not ICRS or FK5
  // J2000), or unused (it gives no scale).
  std::string error;
  std::string unused;
  // Marked as a plate solver's: PLTSOLVD = T, astrometry.net's own lines,
  // or a distortion polynomial (SIP, TPV) that only a fit to stars gives.
  bool solved = false;
};

// `header` as cfitsio gives it (80-character records, `records` of them)
// for an image of `width` x `height`.
HeaderWcs SkyOfHeader(std::string header, int records, int width, int height);

}  // namespace orvan::frames
