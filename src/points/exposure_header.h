#pragma once

#include <functional>
#include <optional>
#include <string>

#include "points/plate_header.h"

// When a frame was exposed and how large its pixels are, as its header says:
// the rules every reader of frames keeps, whatever reads the keywords (a FITS
// library on Linux, the small card reader on Windows).
namespace orvan::points {

// The longest exposure a frame may claim: a day.
inline constexpr double kMostExposureSeconds = 86400;

// A keyword's value as text, a string without its quotes; none where the
// header does not have it.
using KeywordLookup = std::function<std::optional<std::string>(const char* name)>;
// Whether a UTC day ended with a leap second.
using LeapSecondDay = std::function<bool(int year, int month, int day)>;

// The lookup over a header's cards.
KeywordLookup LookupIn(const FitsCards& cards);

struct ExposureTimes {
  double mid_exposure = 0;  // seconds of UTC since J2000.0, as the program's clock counts
  double exposure_s = 0;
};

// The exposure's length (EXPTIME, else EXPOSURE) and its middle: DATE-AVG,
// else the start (DATE-OBS, with TIME-OBS where DATE-OBS holds the date
// alone, as older capture programs and ACP write it; DATE-BEG; MJD-OBS) plus
// half the length. None, with `error` naming the keyword and its value,
// where they are missing or bad.
std::optional<ExposureTimes> ExposureTimesOf(const KeywordLookup& keyword,
                                             const LeapSecondDay& leap, std::string& error);

// A pixel's size on the sky from the camera's pixel (XPIXSZ or PIXSIZE1,
// micrometres), its binning (XBINNING, 1 where not given) and the focal
// length (FOCALLEN, millimetres), where the header gives them, positive.
std::optional<double> OpticsScaleArcsec(const KeywordLookup& keyword);

}  // namespace orvan::points
