// TPOINT's observation-file layout (docs/point-formats.md#tpoint-observation-files).
#include <cmath>
#include <optional>

#include "model/readers.h"
#include "pointing/places.h"
#include "pointing/sides.h"
#include "points/text_fields.h"
#include "support/air.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::model {

using namespace pointing;
using namespace points;

namespace {

// Field counts of a run line: latitude (3) and date (3), then up to five
// optional numbers: temperature, pressure, height, humidity, wavelength.
constexpr std::size_t kRunFieldsLeast = 6;
constexpr std::size_t kRunFieldsMost = 11;
// Numbers on an observation line: star (6), telescope (6), sidereal time
// (2 or 3); with proper motions and epoch, 3 more after the star.
constexpr std::size_t kPlainHm = 14;
constexpr std::size_t kPlainHms = 15;
constexpr std::size_t kMotionHm = 17;
constexpr std::size_t kMotionHms = 18;
constexpr double kSkyDecLimit = kPoleDeg;
// On the side through the pole the telescope's declination runs on past the
// pole of the site's hemisphere: 90° to 270° in the north, −90° to −270° in
// the south (a star at −45° through the north pole reads 225°).
constexpr double kMountDecLimit = 3 * kPoleDeg;
// Plausible ranges of an epoch and a wavelength; the air's are support/air.h's.
constexpr Bounds kEpochBounds{1000, 3000};
constexpr Bounds kWavelengthBoundsUm{0.1, 1e6};
constexpr Bounds kHumidityBoundsFraction{kHumidityBoundsPercent.lo / kPercent,
                                         kHumidityBoundsPercent.hi / kPercent};

struct Run {
  Site observer{0, 0, 0, kDefaultTemperatureC};
  Utc day_start;  // 0 h UT of the run's date
};

double InRange(std::string_view field, Bounds bounds, const At& at, const std::string& what) {
  const double value = Number(field, at, what);
  if (!bounds.Holds(value)) at.Fail(what + " " + Quoted(field) + " is out of range");
  return value;
}

int WholeNumber(std::string_view field, const At& at, const std::string& what) {
  const double value = Number(field, at, what);
  if (value != std::trunc(value) || std::fabs(value) > 1e6)
    at.Fail(what + ": " + Quoted(field) + " should be a whole number");
  return static_cast<int>(value);
}

Run ReadRunLine(const std::vector<std::string_view>& f, const At& at) {
  if (f.size() < kRunFieldsLeast || f.size() > kRunFieldsMost)
    at.Fail("the run line has " + std::to_string(f.size()) +
            " fields; expected latitude (d m s), year, month, day, then up to temperature, "
            "pressure, height, humidity and wavelength");
  Run run{};
  run.observer.latitude_deg = Degrees(f, 0, kSkyDecLimit, at, "latitude");
  const int year = WholeNumber(f[3], at, "year");
  const int month = WholeNumber(f[4], at, "month");
  const int day = WholeNumber(f[5], at, "day");
  if (!UtcOfDate(year, month, day, 0, run.day_start))
    at.Fail("no such date " +
            Quoted(std::string(f[3]) + " " + std::string(f[4]) + " " + std::string(f[5])));
  Site& o = run.observer;
  if (f.size() > 6) o.temperature_c = InRange(f[6], kTemperatureBoundsC, at, "temperature");
  if (f.size() > 7) o.pressure_hpa = InRange(f[7], kPressureBoundsHpa, at, "pressure");
  if (f.size() > 8) o.height_m = InRange(f[8], kHeightBoundsM, at, "height");
  if (f.size() > 9)
    o.relative_humidity = InRange(f[9], kHumidityBoundsFraction, at, "relative humidity");
  if (f.size() > 10) o.wavelength_um = InRange(f[10], kWavelengthBoundsUm, at, "wavelength");
  return run;
}

// The leading fields that are numbers: the rest of the line is ignored.
std::size_t CountNumbers(const std::vector<std::string_view>& f) {
  std::size_t n = 0;
  while (n < f.size() && IsNumber(f[n])) ++n;
  return n;
}

Point ReadObservation(const std::vector<std::string_view>& f, const Run& run, bool j2000,
                      const ReadOptions& options, const At& at) {
  const std::size_t n = CountNumbers(f);
  if (n != kPlainHm && n != kPlainHms && n != kMotionHm && n != kMotionHms)
    at.Fail("an observation has " + std::to_string(n) +
            " numbers; expected 14 or 15 (star, telescope, sidereal time h m or h m s), or 17 "
            "or 18 with proper motions and epoch");
  const bool motion = n >= kMotionHm;
  MeanPlace star;
  star.place = {Hours(f, 0, 3, at, "star RA"), Degrees(f, 3, kSkyDecLimit, at, "star Dec")};
  if (motion) {
    star.pm_ra_s = Number(f[6], at, "proper motion in RA");
    star.pm_dec_arcsec = Number(f[7], at, "proper motion in Dec");
    star.epoch = InRange(f[8], kEpochBounds, at, "epoch");
  }
  const std::size_t tel = motion ? 9 : 6;
  const RaDec telescope{Hours(f, tel, 3, at, "telescope RA"),
                        Degrees(f, tel + 3, kMountDecLimit, at, "telescope Dec")};
  const int last_parts = n == kPlainHms || n == kMotionHms ? 3 : 2;
  const double last = Hours(f, tel + 6, last_parts, at, "sidereal time");

  const Utc utc = options.longitude_deg
                      ? UtcAtSiderealTime(run.day_start, *options.longitude_deg, last)
                      : run.day_start;
  HaDec mechanical{last - telescope.ra, telescope.dec};
  const bool through_pole = pointing::ThroughPole(mechanical);
  if (j2000) {
    // The mean place the telescope pointed at, taken to the place of date on
    // the sky and back to the side of the mount it was read on, past the
    // same pole as the reading.
    const HaDec sky = pointing::InSideFrame({telescope.ra, telescope.dec}, through_pole);
    const RaDec apparent = ApparentPlace({{Wrap24(sky.ha), sky.dec}}, utc);
    mechanical = pointing::InSideFrame({last - apparent.ra, apparent.dec}, through_pole);
    const double turn = 2 * kHalfTurnDeg;
    mechanical.dec += turn * std::round((telescope.dec - mechanical.dec) / turn);
  }
  Point p;
  p.source = at.source;
  p.line = at.line;
  p.observed = Observed(ApparentPlace(star, utc), utc, last, run.observer);
  p.mechanical = {Wrap12(mechanical.ha), mechanical.dec};
  p.latitude_deg = run.observer.latitude_deg;
  p.through_pole = through_pole;
  return p;
}

}  // namespace

std::vector<Point> ReadTpointFile(std::string_view text, const std::string& source,
                                  const ReadOptions& options) {
  const std::vector<std::string_view> lines = Lines(text);
  std::optional<Run> run;
  bool j2000 = false;
  std::vector<Point> points;
  // Line 1 is the caption, whatever it says.
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const At at{source, static_cast<int>(i + 1)};
    const std::string_view line = Trim(lines[i]);
    if (line.empty()) continue;
    if (AsciiLower(line) == "end") break;
    if (line[0] == ':') {
      if (run) at.Fail("option " + Quoted(Fields(line)[0]) + " after the run line");
      const std::string option = AsciiLower(Fields(line)[0]);
      if (option == ":altaz")
        at.Fail(":ALTAZ data (an altazimuth mount) cannot be read: equatorial only");
      if (option == ":j2000") j2000 = true;
      continue;
    }
    if (!run) {
      run = ReadRunLine(Fields(line), at);
      if (!options.refraction) run->observer.pressure_hpa = 0;
    } else
      points.push_back(ReadObservation(Fields(line), *run, j2000, options, at));
  }
  if (!run) Fail(source, 0, "no run line (latitude, year, month, day)");
  if (points.empty()) Fail(source, 0, "no observations");
  return points;
}

}  // namespace orvan::model
