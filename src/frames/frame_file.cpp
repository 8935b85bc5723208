#include "frames/frame_file.h"

#include <fcntl.h>
#include <fitsio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "child.h"
#include "frames/frame_wcs.h"
#include "pointing/sky.h"
#include "points/exposure_header.h"
#include "points/text_fields.h"
#include "support/error_text.h"

namespace orvan::frames {
namespace {

// Every FITS file opens with this keyword and its value indicator, then T
// (for true) as the card's value.
constexpr std::string_view kFitsStart = "SIMPLE  =";
constexpr std::string_view kGzipStart = "\x1f\x8b";

struct FitsCloser {
  void operator()(fitsfile* file) const {
    int status = 0;
    fits_close_file(file, &status);
  }
};
using Fits = std::unique_ptr<fitsfile, FitsCloser>;

// What a file that is not a regular one is, for the line that skips it.
const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISDIR(mode)) return "a folder";
  return "not a regular file";
}

// Whether the first card is SIMPLE = T: F says the file does not follow the
// standard, and nothing in it can be taken as a frame.
bool Simple(std::string_view card) {
  std::string_view value = card.substr(kFitsStart.size());
  value = value.substr(0, value.find('/'));
  const auto first = value.find_first_not_of(' ');
  return first != std::string_view::npos && value[first] == 'T' &&
         value.find_first_not_of(' ', first + 1) == std::string_view::npos;
}

// What the file's first card says, before cfitsio sees it: whether it is
// readable, and a FITS file at all (or gzip's, `gzipped`).
std::string CheckStart(int fd, bool& gzipped) {
  std::array<char, kCardLength> start{};
  ssize_t got = 0;
  do {
    got = ::pread(fd, start.data(), start.size(), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return "cannot read: " + ErrorText(errno);
  if (got == 0) return "empty file";
  const std::string_view card(start.data(), static_cast<std::size_t>(got));
  // gzip's: cfitsio takes the FITS file out of it, within the reader's
  // memory limit.
  gzipped = card.starts_with(kGzipStart);
  if (gzipped) return {};
  if (!card.starts_with(kFitsStart)) return "not a FITS file";
  if (!Simple(card)) return "not a FITS file: SIMPLE is not T";
  return {};
}

Fits Open(const FrameFile& frame, std::string& error, bool* gzipped = nullptr) {
  bool compressed = false;
  if (error = CheckStart(frame.fd(), compressed); !error.empty()) return nullptr;
  if (gzipped != nullptr) *gzipped = compressed;
  // The very file checked, whatever its name now names.
  const std::string path = frame.ProcPath();
  fitsfile* file = nullptr;
  int status = 0;
  if (fits_open_diskfile(&file, path.c_str(), READONLY, &status) == 0) return Fits(file);
  if (status == END_OF_FILE || status == READ_ERROR) {
    error = "truncated header";
  } else {
    std::array<char, FLEN_STATUS> text{};
    fits_get_errstatus(status, text.data());
    error = std::string("cannot read: ") + text.data();
  }
  fits_clear_errmsg();
  return nullptr;
}

// The first 2-D image: the primary array, or the first extension holding
// one where the primary holds none (as compressed frames have it).
bool FindImage(fitsfile* file, int& width, int& height) {
  int status = 0;
  int naxis = 0;
  fits_get_img_dim(file, &naxis, &status);
  while (status == 0 && naxis == 0) {
    int type = 0;
    if (fits_movrel_hdu(file, 1, &type, &status) != 0) break;
    if (type == IMAGE_HDU) fits_get_img_dim(file, &naxis, &status);
  }
  std::array<long, 2> size{};
  if (status == 0 && naxis == 2) fits_get_img_size(file, 2, size.data(), &status);
  fits_clear_errmsg();
  if (status != 0 || naxis != 2 || size[0] <= 0 || size[1] <= 0 || size[0] > kMostFrameSide ||
      size[1] > kMostFrameSide) {
    return false;
  }
  width = static_cast<int>(size[0]);
  height = static_cast<int>(size[1]);
  return true;
}

// Whether the image's last pixel is in the file: a file cut short holds its
// header whole but not its data.
bool DataWhole(fitsfile* file, int width, int height) {
  std::array<long, 2> last = {width, height};
  double value = 0;
  int status = 0;
  fits_read_pix(file, TDOUBLE, last.data(), 1, nullptr, &value, nullptr, &status);
  fits_clear_errmsg();
  return status == 0;
}

// A keyword's value as written (strings without their quotes); empty when
// the header has no such keyword.
std::optional<std::string> Keyword(fitsfile* file, const char* name) {
  std::array<char, FLEN_VALUE> raw{};
  int status = 0;
  if (fits_read_keyword(file, name, raw.data(), nullptr, &status) != 0) {
    fits_clear_errmsg();
    return std::nullopt;
  }
  std::string value(raw.data());
  if (!value.empty() && value.front() == '\'') {
    std::array<char, FLEN_VALUE> text{};
    fits_read_string_key(file, name, 1, FLEN_VALUE, text.data(), nullptr, nullptr, &status);
    fits_clear_errmsg();
    return status == 0 ? std::string(text.data()) : value;
  }
  return value;
}

// The current header's WCS, through wcslib.
HeaderWcs SkyOf(fitsfile* file, int width, int height) {
  char* text = nullptr;
  int records = 0;
  int status = 0;
  if (fits_convert_hdr2str(file, 0, nullptr, 0, &text, &records, &status) != 0) {
    fits_clear_errmsg();
    HeaderWcs none;
    none.error = "cannot read the header";
    return none;
  }
  std::string header(text);
  fits_free_memory(text, &status);
  return SkyOfHeader(std::move(header), records, width, height);
}

// Whether the file is the plain FITS file solve-field reads: the image in
// the primary array, nothing compressed.
bool Plain(fitsfile* file, bool gzipped) {
  int hdu = 0;
  int status = 0;
  fits_get_hdu_num(file, &hdu);
  const bool tiled = fits_is_compressed_image(file, &status) != 0;
  fits_clear_errmsg();
  return hdu == 1 && !tiled && !gzipped;
}

FrameRead Read(fitsfile* file, bool gzipped) {
  FrameHeader header;
  std::string error;
  if (!FindImage(file, header.width, header.height)) return {std::nullopt, "not a 2-D image"};
  header.plain = Plain(file, gzipped);
  if (!DataWhole(file, header.width, header.height)) return {std::nullopt, "truncated image data"};
  const points::KeywordLookup keyword = [file](const char* name) { return Keyword(file, name); };
  const auto times = points::ExposureTimesOf(keyword, pointing::EndsWithLeapSecond, error);
  if (!times) return {std::nullopt, error};
  header.exposure_s = times->exposure_s;
  header.mid_exposure = times->mid_exposure;
  HeaderWcs wcs = SkyOf(file, header.width, header.height);
  if (!wcs.error.empty()) return {std::nullopt, wcs.error};
  header.sky = wcs.sky;
  header.wcs_unused = std::move(wcs.unused);
  header.wcs_solved = wcs.solved;
  header.pixel_scale_arcsec = points::OpticsScaleArcsec(keyword);
  return {header, {}};
}

}  // namespace

FrameFile FrameFile::Open(const std::string& path, std::string& error) {
  struct stat seen {};
  if (::stat(path.c_str(), &seen) != 0) {
    error = errno == ENOENT ? "file went away while read" : "cannot open: " + ErrorText(errno);
    return {};
  }
  // A FIFO's open would wait for a writer, a device's may act: neither is
  // opened at all.
  if (!S_ISREG(seen.st_mode)) {
    error = std::string("not a regular file: ") + KindOf(seen.st_mode);
    return {};
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = errno == ENOENT ? "file went away while read" : "cannot open: " + ErrorText(errno);
    return {};
  }
  FrameFile file(fd);
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    error = std::string("not a regular file: ") + KindOf(opened.st_mode);
    return {};
  }
  return file;
}

FrameFile::FrameFile(FrameFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FrameFile& FrameFile::operator=(FrameFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FrameFile::~FrameFile() {
  if (fd_ >= 0) ::close(fd_);
}

FrameRead ReadFrame(const FrameFile& frame) {
  std::string error;
  bool gzipped = false;
  const Fits file = Open(frame, error, &gzipped);
  if (!file) return {std::nullopt, error};
  return Read(file.get(), gzipped);
}

std::string WritePlainImage(const FrameFile& frame, const std::string& to) {
  std::string error;
  const Fits in = Open(frame, error);
  if (!in) return error;
  int width = 0;
  int height = 0;
  if (!FindImage(in.get(), width, height)) return "not a 2-D image";
  fitsfile* made = nullptr;
  int status = 0;
  if (fits_create_diskfile(&made, to.c_str(), &status) == 0) {
    const Fits out(made);
    // Either way the image goes into the new file's primary array.
    if (fits_is_compressed_image(in.get(), &status) != 0) {
      fits_img_decompress(in.get(), out.get(), &status);
    } else {
      fits_copy_hdu(in.get(), out.get(), 0, &status);
    }
  }
  if (status == 0) return {};
  std::array<char, FLEN_STATUS> text{};
  fits_get_errstatus(status, text.data());
  fits_clear_errmsg();
  return std::string("cannot write a plain copy: ") + text.data();
}

FrameRead ReadFrame(const std::string& path) {
  std::string error;
  const FrameFile frame = FrameFile::Open(path, error);
  if (!frame) return {std::nullopt, error};
  return ReadFrame(frame);
}

std::optional<FrameSky> ReadWcsFile(const std::string& path, int width, int height,
                                    std::string& error) {
  error.clear();
  const FrameFile frame = FrameFile::Open(path, error);
  if (!frame) return std::nullopt;
  const Fits file = Open(frame, error);
  if (!file) return std::nullopt;
  HeaderWcs wcs = SkyOf(file.get(), width, height);
  error = wcs.error;
  if (!wcs.sky && error.empty()) error = wcs.unused.empty() ? "no WCS" : wcs.unused;
  return wcs.sky;
}

}  // namespace orvan::frames
