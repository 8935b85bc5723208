#pragma once

#include <optional>
#include <string>

#include "pointing/sky.h"
#include "points/exposure_header.h"

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
  // Why a WCS the header has was not taken as one (it gives no scale);
  // empty where it has none or it was taken.
  std::string wcs_unused;
  // The WCS is marked as a plate solver's (frame_wcs.h): only then is it a
  // measurement of where the frame lies, unless the user says all are.
  bool wcs_solved = false;
  // The image is the file's primary array, nothing compressed: the file as
  // it is is what solve-field reads.
  bool plain = true;
};

using points::kMostFrameSide;

using points::kMostExposureSeconds;

// A frame's header read, or why it could not be: a message naming the
// cause, never the path (the caller names the file).
struct FrameRead {
  std::optional<FrameHeader> header;
  std::string error;
};

// A frame's file open for reading, closed with it. Only a regular file is
// opened: anything else (a FIFO, a socket, a device, or a link to one) is
// refused without ever blocking, as is a file that changes into one between
// the look and the open.
class FrameFile {
 public:
  // Empty, with `error`, where the file is not one to read.
  static FrameFile Open(const std::string& path, std::string& error);
  FrameFile() = default;
  FrameFile(FrameFile&& other) noexcept;
  FrameFile& operator=(FrameFile&& other) noexcept;
  FrameFile(const FrameFile&) = delete;
  FrameFile& operator=(const FrameFile&) = delete;
  ~FrameFile();
  int fd() const { return fd_; }
  // A name for the very file opened, whatever its own name now names: for
  // what takes a name, not a descriptor (cfitsio, link).
  std::string ProcPath() const { return "/proc/self/fd/" + std::to_string(fd_); }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  explicit FrameFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Reads the first image of the FITS file open as `frame`, in this process:
// the isolated reader (frame_reader.h) runs it in a child.
FrameRead ReadFrame(const FrameFile& frame);
// As above, the file opened first.
FrameRead ReadFrame(const std::string& path);
// The frame's image, uncompressed, as the primary array of a new FITS file
// at `to`, its header with it; the cause where it cannot be.
std::string WritePlainImage(const FrameFile& frame, const std::string& to);

// The WCS in the FITS header file at `path` (a solver's .wcs output) for an
// image of `width` x `height`; empty, with `error`, when it has none that
// wcslib takes.
std::optional<FrameSky> ReadWcsFile(const std::string& path, int width, int height,
                                    std::string& error);

}  // namespace orvan::frames
