#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A plate solution as a solver leaves it in a FITS file's primary header:
// the cards read small, without a FITS library, and the TAN WCS that PinPoint,
// MaxIm DL, ASTAP and astrometry.net write turned into the place of the
// image's middle. Portable: the Windows program reads its images with it.
namespace orvan::points {

// A header's record: one card of 80 characters, in blocks of 2880 bytes.
inline constexpr std::size_t kCardLength = 80;
inline constexpr std::size_t kBlockLength = 2880;
// Its keyword's columns, and the value indicator that follows them.
inline constexpr std::size_t kKeywordLength = 8;
inline constexpr std::string_view kValueIndicator = "= ";

// The most pixels along a side a frame may have.
inline constexpr int kMostFrameSide = 1000000;

// A FITS number ("30", "3.0E1", Fortran's "3.0D1"), finite, with blanks
// about it; read as every number the program reads.
std::optional<double> FitsNumber(std::string_view text);

// A card's value (the card has the value indicator): what stands between
// it and a comment, blanks taken off; a string keeps its quotes, and a slash
// within it is its own.
std::string_view CardValue(std::string_view card);

// A string value's text (CardValue's, in its quotes): the quotes and
// trailing blanks taken off, '' read as a quote; empty for any other value.
std::string StringValue(std::string_view value);

// A header's cards, up to and without END.
class FitsCards {
 public:
  explicit FitsCards(std::string cards) : cards_(std::move(cards)) {}
  // The value text of the first card of `key` that has a value indicator:
  // what stands between it and a comment, blanks taken off (a string keeps
  // its quotes); none where there is no such card.
  std::optional<std::string_view> Value(std::string_view key) const;
  // Whether a card of `key` stands there, with a value or not.
  bool Has(std::string_view key) const;
  // Every card of `key` (HISTORY, COMMENT) whose text holds `text`.
  bool AnyHolds(std::string_view key, std::string_view text) const;
  const std::string& text() const { return cards_; }

 private:
  std::string cards_;
};

// The primary header at the start of `bytes`: SIMPLE = T first, printable
// ASCII, END within them. None, with `error` saying why, otherwise.
std::optional<FitsCards> PrimaryHeader(std::string_view bytes, std::string& error);

// Where the image's middle pixel lies (ICRS, J2000), the size of a pixel at
// the reference point, and the image's larger side.
struct PlateSky {
  double ra_hours = 0;
  double dec_deg = 0;
  double scale_arcsec = 0;
  double field_deg = 0;
};

struct PlateReading {
  std::optional<PlateSky> sky;
  // Why there is no sky though the header has a WCS: refused (a card that is
  // not a finite number, named; not TAN; not ICRS or FK5 J2000; a singular
  // matrix), or unused (it gives no scale).
  std::string error;
  std::string unused;
  // Marked as a plate solver's: PLTSOLVD = T, astrometry.net's own lines,
  // or a distortion polynomial (SIP, TPV) that only a fit to stars gives.
  bool solved = false;
};

// Why a frame's header gives no plate solution: it has no WCS, or one no
// solver marked.
inline constexpr std::string_view kNoWcsText = "no WCS in its header";
inline constexpr std::string_view kUnmarkedText =
    "its WCS is not marked as a plate solve (PLTSOLVD = T, astrometry.net's, or SIP)";
// What a header whose WCS gives no scale is said to lack.
inline constexpr std::string_view kNoScaleText = "its WCS gives no scale: no CDELT or CD cards";

// Why a WCS's celestial frame is not the program's J2000: empty for ICRS,
// or for FK5 at the equinox J2000 (or at none given); else, say, "WCS frame
// FK4 equinox 1950 is not ICRS or FK5 J2000" (an empty name: "unnamed").
std::string FrameNotJ2000(std::string_view radesys, std::optional<double> equinox);

// Whether a pixel-to-sky matrix (rows: right ascension's, declination's)
// maps the image to a line or a point: the sine of the angle between its
// rows is all but 0.
bool SingularMatrix(double a11, double a12, double a21, double a22);

// Whether a plate solver made the header's WCS, by the marks solvers leave:
// PLTSOLVD = T (PinPoint, ASTAP and others), astrometry.net's name in its
// HISTORY and COMMENT cards, or a distortion polynomial (SIP, TPV) that only
// a fit to stars gives. A WCS a capture program writes from the mount's own
// position says only where the mount believes it points.
bool MarkedAsSolve(const FitsCards& cards);

// The header's TAN WCS (CD; PC with CDELT; or CDELT with CROTA2; SIP where
// given) at the middle of an image of `width` x `height` pixels. No sky and
// no error where the header has no celestial axes at all.
PlateReading PlateOf(const FitsCards& cards, int width, int height);

}  // namespace orvan::points
