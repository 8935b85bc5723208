#pragma once

#include <string>
#include <vector>

#include "pointing/sky.h"

// Star fields rendered as the FITS frames a camera would write, for the
// frame reader's and solver's tests and benchmarks.
namespace orvan::framemaker {

// A star's place (J2000, ICRS) and its visual magnitude.
struct Star {
  double ra_deg;
  double dec_deg;
  double mag;
};

// One exposure. Pixels are FITS pixels: (1, 1) is the first, the middle is
// ((width + 1) / 2, (height + 1) / 2).
struct FrameShot {
  // Where the middle pixel points (J2000; hours, degrees) when the exposure
  // starts and when it ends: the mount's motion between them smears the
  // stars, linearly on the sky.
  pointing::RaDec start_center{0, 0};
  pointing::RaDec end_center{0, 0};
  // Position angle of the frame's +y axis, from north through east; at 0,
  // north is up (+y) and east left (-x), as the sky is drawn.
  double rotation_deg = 0;
  int width = 1600;
  int height = 1100;
  double scale_arcsec = 3;  // per pixel: 1600 x 1100 at 3" is 80' x 55'
  double exposure_s = 30;
  // UTC when the exposure starts: "YYYY-MM-DDThh:mm:ss[.sss]", a trailing Z
  // allowed (DATE-OBS is written without it, as FITS has it).
  std::string date_obs;
  // A TAN WCS for the exposure's middle: the centre halfway between start
  // and end; marked as a plate solve (PLTSOLVD = T) unless `wcs_unmarked`,
  // as a capture program writes one from the mount's own coordinates.
  bool write_wcs = false;
  bool wcs_unmarked = false;
  // The date alone in DATE-OBS and the time in TIME-OBS, as older capture
  // programs write them; the image tile-compressed, as fpack writes it.
  bool time_apart = false;
  bool tile_compressed = false;
  // XPIXSZ, YPIXSZ (pixel_um), XBINNING, YBINNING and FOCALLEN, with the
  // focal length that gives `scale_arcsec` for the pixel.
  bool write_optics = true;
  double pixel_um = 3.76;
  double fwhm_arcsec = 6;   // seeing, a Gaussian
  double sky_level = 1000;  // counts per pixel
  double read_noise = 10;   // counts, Gaussian
  // The magnitude that gives one count in all: at 20 a 12th-magnitude star
  // has about 1600 counts over the sky's noise of 32 per pixel, and a 6th
  // magnitude star just saturates its middle pixel (counts stop at 65535).
  double zero_point_mag = 20;
  // Steps the exposure is summed in when the centre moves; one when not.
  int smear_steps = 16;
  unsigned seed = 1;  // of the noise
};

// Renders `stars` as `shot` says and writes the frame to `path` as 16-bit
// data. The file is written to "<path>.part" in the same folder and renamed
// into place, so that a watcher of the folder sees only a whole frame, moved
// in. False, with `error` naming the cause, when the shot is unusable or the
// file could not be written (then nothing is left behind).
bool WriteFrame(const FrameShot& shot, const std::vector<Star>& stars, const std::string& path,
                std::string& error);

// The frame's middle of exposure centre: halfway between start and end on
// the sky, the shorter way round in right ascension.
pointing::RaDec MidCenter(const FrameShot& shot);

// Half the frame's diagonal (degrees): the radius of sky it shows.
double FieldRadiusDeg(const FrameShot& shot);

}  // namespace orvan::framemaker
