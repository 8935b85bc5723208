#include "points/exposure_header.h"

#include <cstdint>

#include "points/text_fields.h"
#include "support/numtext.h"
#include "support/units.h"
#include "support/utc_text.h"

namespace orvan::points {
namespace {

constexpr int kLeapSecond = 60;
// "2026-12-08": a DATE-OBS that holds the date alone.
constexpr std::size_t kDateLength = 10;
// J2000.0 as a modified Julian date, and the years 1900 to 9999 as such
// dates: an MJD-OBS beyond them is no date a camera wrote.
constexpr double kJ2000Mjd = 51544.5;
constexpr double kFirstMjd = 15020;
constexpr double kLastMjd = 2973484;
constexpr std::int64_t kNanosecondsPerMillisecond = 1000000;
constexpr double kNanosecondsPerSecond = 1e9;
// Arc-seconds per radian over the micrometres per millimetre: a pixel of
// 1 um behind 1 mm of focal length.
constexpr double kArcsecPerMicronPerMm = 206.264806;

std::string Bad(const char* name, const std::string& value) {
  return std::string("bad ") + name + " " + Quoted(value);
}

// The first of two keywords the header has, and which it was.
std::optional<std::string> Either(const KeywordLookup& keyword, const char* first,
                                  const char* second, const char*& name) {
  name = first;
  if (auto value = keyword(first)) return value;
  name = second;
  return keyword(second);
}

// A FITS date and time of UTC (the Z may be left out), in seconds since
// J2000.0; none where it is no such moment.
std::optional<double> SecondsOfUtc(const std::string& text, const LeapSecondDay& leap) {
  const bool zoned = !text.empty() && text.back() == 'Z';
  const auto utc = ParseUtcText(zoned ? text : text + "Z");
  if (!utc || (utc->second == kLeapSecond && !leap(utc->year, utc->month, utc->day)))
    return std::nullopt;
  const double sub_ms = static_cast<double>(utc->nanoseconds % kNanosecondsPerMillisecond);
  return static_cast<double>(UnixMilliseconds(*utc)) / kMillisecondsPerSecond +
         sub_ms / kNanosecondsPerSecond - static_cast<double>(kJ2000UnixSeconds);
}

struct Dated {
  double seconds = 0;  // since J2000.0
  bool middle = false;
};

std::optional<Dated> DateOf(const KeywordLookup& keyword, const LeapSecondDay& leap,
                            std::string& error) {
  if (const auto avg = keyword("DATE-AVG")) {
    if (const auto seconds = SecondsOfUtc(*avg, leap)) return Dated{*seconds, true};
    error = Bad("DATE-AVG", *avg);
    return std::nullopt;
  }
  const char* name = nullptr;
  if (auto text = Either(keyword, "DATE-OBS", "DATE-BEG", name)) {
    const auto time = keyword("TIME-OBS");
    const std::string when = text->size() == kDateLength && time ? *text + "T" + *time : *text;
    if (const auto seconds = SecondsOfUtc(when, leap)) return Dated{*seconds, false};
    error = Bad(name, when);
    return std::nullopt;
  }
  if (const auto mjd = keyword("MJD-OBS")) {
    const auto day = FitsNumber(*mjd);
    if (day && *day >= kFirstMjd && *day <= kLastMjd)
      return Dated{(*day - kJ2000Mjd) * kSecondsPerDay, false};
    error = Bad("MJD-OBS", *mjd);
    return std::nullopt;
  }
  error = "no DATE-OBS, DATE-BEG, DATE-AVG or MJD-OBS";
  return std::nullopt;
}

std::optional<double> ExposureOf(const KeywordLookup& keyword, std::string& error) {
  const char* name = nullptr;
  const auto text = Either(keyword, "EXPTIME", "EXPOSURE", name);
  if (!text) {
    error = "no EXPTIME or EXPOSURE";
    return std::nullopt;
  }
  const auto seconds = FitsNumber(*text);
  if (!seconds || *seconds < 0 || *seconds > kMostExposureSeconds) {
    error = Bad(name, *text) + ": not a number of seconds from 0 to " +
            ShortestText(kMostExposureSeconds);
    return std::nullopt;
  }
  return seconds;
}

// A keyword's number where it is there and positive; 0 where it is not.
double Positive(const std::optional<std::string>& text) {
  const auto value = text ? FitsNumber(*text) : std::nullopt;
  return value && *value > 0 ? *value : 0;
}

}  // namespace

KeywordLookup LookupIn(const FitsCards& cards) {
  return [&cards](const char* name) -> std::optional<std::string> {
    const std::optional<std::string_view> value = cards.Value(name);
    if (!value) return std::nullopt;
    return value->starts_with('\'') ? StringValue(*value) : std::string(*value);
  };
}

std::optional<ExposureTimes> ExposureTimesOf(const KeywordLookup& keyword,
                                             const LeapSecondDay& leap, std::string& error) {
  const auto date = DateOf(keyword, leap, error);
  if (!date) return std::nullopt;
  const auto exposure = ExposureOf(keyword, error);
  if (!exposure) return std::nullopt;
  return ExposureTimes{date->middle ? date->seconds : date->seconds + *exposure / 2, *exposure};
}

std::optional<double> OpticsScaleArcsec(const KeywordLookup& keyword) {
  const char* name = nullptr;
  const double pixel_um = Positive(Either(keyword, "XPIXSZ", "PIXSIZE1", name));
  const double focal_mm = Positive(keyword("FOCALLEN"));
  const auto binning = keyword("XBINNING");
  const double bin = binning ? Positive(binning) : 1.0;
  if (pixel_um == 0 || focal_mm == 0 || bin == 0) return std::nullopt;
  return kArcsecPerMicronPerMm * pixel_um * bin / focal_mm;
}

}  // namespace orvan::points
