#pragma once

#include <optional>
#include <string>

#include "pointing/sky.h"

// One image a capture program wrote: when its exposure was, its size, and
// where on the sky it lies where its header says (a WCS).
namespace orvan::frames {

// Where a frame lies: its middle pixel's place (ICRS, J2000), the size of a
// pixel there, and the frame's larger side.
struct FrameSky {
  pointing::RaDec center;  // hours, degrees
  double scale_arcsec = 0;
  double field_deg = 0;
};

struct FrameHeader {
  // The middle of the exposure, seconds of UTC since J2000.0
  // (2000-01-01T12:00:00Z), as the program's clock counts them.
  double mid_exposure = 0;
  double exposure_s = 0;
  int width = 0;
  int height = 0;
  std::optional<FrameSky> sky;  // from the header's WCS, where it has one
  // A pixel's size on the sky from the header's pixel size, binning and focal
  // length, where it gives them.
  std::optional<double> pixel_scale_arcsec;
};

// A frame's header read, or why it could not be: a message naming the
// cause, never the path (the caller names the file).
struct FrameRead {
  std::optional<FrameHeader> header;
  std::string error;
};

// Reads the first image of the FITS file at `path`.
FrameRead ReadFrame(const std::string& path);

// The WCS in the FITS header file at `path` (a solver's .wcs output) for an
// image of `width` x `height`; empty, with `error`, when it has none that
// wcslib takes.
std::optional<FrameSky> ReadWcsFile(const std::string& path, int width, int height,
                                    std::string& error);

}  // namespace orvan::frames
