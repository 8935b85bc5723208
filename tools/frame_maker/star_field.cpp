#include "framemaker/star_field.h"

#include <fitsio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "render.h"
#include "support/units.h"
#include "support/utc_text.h"

namespace orvan::framemaker {
namespace {

constexpr int kMaxSide = 20000;
constexpr int kMaxSmearSteps = 1000;
constexpr double kArcsecPerRadian = 206264.80624709636;
constexpr double kMaxCounts = 65535;
// Digits after the point of a real header value: a double's precision.
constexpr int kKeyDigits = 15;
// Above this mean a pixel's Poisson noise is drawn as a Gaussian of the
// same variance: near enough for frames that are only measured, and several
// times faster.
constexpr double kGaussianFromMean = 30;

// The shot's fault, or empty.
std::string ShotFault(const FrameShot& shot) {
  const auto finite = [](double v) { return std::isfinite(v); };
  if (shot.width < 1 || shot.width > kMaxSide || shot.height < 1 || shot.height > kMaxSide) {
    return "frame size out of range (1 to " + std::to_string(kMaxSide) + " pixels a side)";
  }
  if (!finite(shot.scale_arcsec) || shot.scale_arcsec <= 0) return "pixel scale not positive";
  if (!finite(shot.fwhm_arcsec) || shot.fwhm_arcsec <= 0) return "seeing (FWHM) not positive";
  if (!finite(shot.exposure_s) || shot.exposure_s < 0) return "exposure negative";
  if (!finite(shot.pixel_um) || shot.pixel_um <= 0) return "pixel size not positive";
  if (!finite(shot.sky_level) || shot.sky_level < 0 || !finite(shot.read_noise) ||
      shot.read_noise < 0) {
    return "sky level or read noise negative";
  }
  if (!finite(shot.zero_point_mag) || !finite(shot.rotation_deg)) {
    return "zero point or rotation not a number";
  }
  if (shot.smear_steps < 1 || shot.smear_steps > kMaxSmearSteps) return "smear steps out of range";
  for (const pointing::RaDec& center : {shot.start_center, shot.end_center}) {
    if (!finite(center.ra) || !finite(center.dec) || std::fabs(center.dec) > 90) {
      return "centre not a place on the sky";
    }
  }
  return {};
}

// DATE-OBS as FITS writes it (no Z), or empty when `text` is no UTC moment.
std::string DateObs(const std::string& text) {
  const bool zoned = !text.empty() && text.back() == 'Z';
  const std::optional<UtcFields> fields = ParseUtcText(zoned ? text : text + "Z");
  if (!fields) return {};
  std::string written = UtcText(*fields);
  written.pop_back();
  return written;
}

// The frame's counts: sky, stars and noise, rounded and held to 16 bits.
std::vector<std::uint16_t> Counts(const FrameShot& shot, const std::vector<float>& stars) {
  std::mt19937 random(shot.seed);
  std::normal_distribution<double> normal;
  const double read_variance = shot.read_noise * shot.read_noise;
  std::vector<std::uint16_t> counts(stars.size());
  for (std::size_t i = 0; i < stars.size(); ++i) {
    const double mean = shot.sky_level + stars[i];
    double value = 0;
    if (mean >= kGaussianFromMean) {
      value = mean + std::sqrt(mean + read_variance) * normal(random);
    } else {
      const double photons = mean > 0 ? std::poisson_distribution<int>(mean)(random) : 0;
      value = photons + shot.read_noise * normal(random);
    }
    counts[i] = static_cast<std::uint16_t>(std::clamp(std::round(value), 0.0, kMaxCounts));
  }
  return counts;
}

void WriteWcs(fitsfile* file, const FrameShot& shot, int& status) {
  const pointing::RaDec mid = MidCenter(shot);
  const double scale_deg = shot.scale_arcsec / 3600;
  const double cos_rot = std::cos(shot.rotation_deg * kRadiansPerDegree);
  const double sin_rot = std::sin(shot.rotation_deg * kRadiansPerDegree);
  // Columns are the sky directions of +x and +y: +y at the rotation's
  // position angle, +x a right angle before it (west at 0).
  const double cd[2][2] = {{-scale_deg * cos_rot, scale_deg * sin_rot},
                           {scale_deg * sin_rot, scale_deg * cos_rot}};
  int axes = 2;
  double equinox = 2000;
  fits_write_key(file, TINT, "WCSAXES", &axes, "", &status);
  fits_write_key_str(file, "CTYPE1", "RA---TAN", "gnomonic", &status);
  fits_write_key_str(file, "CTYPE2", "DEC--TAN", "gnomonic", &status);
  fits_write_key_str(file, "CUNIT1", "deg", "", &status);
  fits_write_key_str(file, "CUNIT2", "deg", "", &status);
  fits_write_key_dbl(file, "CRPIX1", (shot.width + 1) / 2.0, kKeyDigits, "middle pixel", &status);
  fits_write_key_dbl(file, "CRPIX2", (shot.height + 1) / 2.0, kKeyDigits, "middle pixel", &status);
  fits_write_key_dbl(file, "CRVAL1", mid.ra * kDegreesPerHour, kKeyDigits, "mid-exposure RA",
                     &status);
  fits_write_key_dbl(file, "CRVAL2", mid.dec, kKeyDigits, "mid-exposure Dec", &status);
  fits_write_key_dbl(file, "CD1_1", cd[0][0], kKeyDigits, "", &status);
  fits_write_key_dbl(file, "CD1_2", cd[0][1], kKeyDigits, "", &status);
  fits_write_key_dbl(file, "CD2_1", cd[1][0], kKeyDigits, "", &status);
  fits_write_key_dbl(file, "CD2_2", cd[1][1], kKeyDigits, "", &status);
  fits_write_key_str(file, "RADESYS", "ICRS", "", &status);
  fits_write_key(file, TDOUBLE, "EQUINOX", &equinox, "", &status);
  int solved = 1;
  if (!shot.wcs_unmarked) fits_write_key(file, TLOGICAL, "PLTSOLVD", &solved, "", &status);
}

void WriteOptics(fitsfile* file, const FrameShot& shot, int& status) {
  constexpr double kMicronsPerMm = 1000;
  const double focal_mm = shot.pixel_um / kMicronsPerMm * kArcsecPerRadian / shot.scale_arcsec;
  double pixel = shot.pixel_um;
  int binning = 1;
  fits_write_key(file, TDOUBLE, "XPIXSZ", &pixel, "pixel width, microns", &status);
  fits_write_key(file, TDOUBLE, "YPIXSZ", &pixel, "pixel height, microns", &status);
  fits_write_key(file, TINT, "XBINNING", &binning, "", &status);
  fits_write_key(file, TINT, "YBINNING", &binning, "", &status);
  fits_write_key_dbl(file, "FOCALLEN", focal_mm, kKeyDigits, "focal length, mm", &status);
}

// Writes the image to a new file at `path`; false, with `error`, on failure.
bool WriteFits(const FrameShot& shot, const std::string& date_obs,
               std::vector<std::uint16_t>& counts, const std::string& path, std::string& error) {
  fitsfile* file = nullptr;
  int status = 0;
  long size[2] = {shot.width, shot.height};
  double exposure = shot.exposure_s;
  // A disk file by its plain name: no cfitsio filename syntax read into it.
  fits_create_diskfile(&file, path.c_str(), &status);
  // As fpack writes it: an empty primary array, the image tile-compressed.
  if (shot.tile_compressed) fits_set_compression_type(file, RICE_1, &status);
  fits_create_img(file, USHORT_IMG, 2, size, &status);
  if (shot.time_apart) {
    const std::size_t t = date_obs.find('T');
    fits_write_key_str(file, "DATE-OBS", date_obs.substr(0, t).c_str(), "UTC date", &status);
    fits_write_key_str(file, "TIME-OBS", date_obs.substr(t + 1).c_str(), "UTC, exposure start",
                       &status);
  } else {
    fits_write_key_str(file, "DATE-OBS", date_obs.c_str(), "UTC, exposure start", &status);
  }
  fits_write_key(file, TDOUBLE, "EXPTIME", &exposure, "seconds", &status);
  if (shot.write_optics) WriteOptics(file, shot, status);
  if (shot.write_wcs) WriteWcs(file, shot, status);
  fits_write_img(file, TUSHORT, 1, static_cast<LONGLONG>(counts.size()), counts.data(), &status);
  const int written = status;
  if (file != nullptr) fits_close_file(file, &status);
  if (written != 0 || status != 0) {
    char text[FLEN_STATUS] = "";
    fits_get_errstatus(written != 0 ? written : status, text);
    error = std::string("cannot write ") + path + ": " + text;
    return false;
  }
  return true;
}

}  // namespace

pointing::RaDec MidCenter(const FrameShot& shot) {
  return CenterAt(shot, 0.5);
}

double FieldRadiusDeg(const FrameShot& shot) {
  return std::hypot(shot.width, shot.height) / 2 * shot.scale_arcsec / 3600;
}

bool WriteFrame(const FrameShot& shot, const std::vector<Star>& stars, const std::string& path,
                std::string& error) {
  error = ShotFault(shot);
  if (!error.empty()) return false;
  const std::string date_obs = DateObs(shot.date_obs);
  if (date_obs.empty()) {
    error = "not a UTC time: \"" + shot.date_obs + "\"";
    return false;
  }
  std::vector<std::uint16_t> counts = Counts(shot, RenderStars(shot, stars));
  const std::string part = path + ".part";
  if (std::remove(part.c_str()) != 0 && errno != ENOENT) {
    error = "cannot remove " + part + ": " + std::strerror(errno);
    return false;
  }
  if (!WriteFits(shot, date_obs, counts, part, error)) {
    std::remove(part.c_str());
    return false;
  }
  if (std::rename(part.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + part + " to " + path + ": " + std::strerror(errno);
    std::remove(part.c_str());
    return false;
  }
  return true;
}

}  // namespace orvan::framemaker
