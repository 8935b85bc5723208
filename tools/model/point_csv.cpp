// The program's own point CSV (docs/point-formats.md#the-point-csv).
#include <cmath>

#include "model/places.h"
#include "model/readers.h"
#include "model/text_fields.h"
#include "pointing/sides.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::model {
namespace {

constexpr std::size_t kColumns = 6;
constexpr double kDecLimit = kPoleDeg;
constexpr double kLongitudeLimit = kHalfTurnDeg;
constexpr double kSecondsPerMinute = 60;

std::vector<std::string_view> Columns(std::string_view line) {
  std::vector<std::string_view> columns;
  for (std::size_t begin = 0;;) {
    const auto comma = line.find(',', begin);
    columns.push_back(
        Trim(line.substr(begin, comma == std::string_view::npos ? comma : comma - begin)));
    if (comma == std::string_view::npos) return columns;
    begin = comma + 1;
  }
}

// A whole number of exactly `digits` digits at `text[at]`.
int Digits(std::string_view text, std::size_t at, std::size_t digits, bool& ok) {
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
      ok = false;
      return 0;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "2026-12-08T21:04:08.123Z": seconds may carry a fraction; the Z is required.
Utc ReadUtc(std::string_view text, const At& at) {
  bool ok = text.size() >= 20 && text[4] == '-' && text[7] == '-' && text[10] == 'T' &&
            text[13] == ':' && text[16] == ':' && text.back() == 'Z';
  const int year = Digits(text, 0, 4, ok), month = Digits(text, 5, 2, ok),
            day = Digits(text, 8, 2, ok);
  const int hour = Digits(text, 11, 2, ok), minute = Digits(text, 14, 2, ok);
  const std::string_view second_text = ok ? text.substr(17, text.size() - 18) : std::string_view{};
  ok = ok && IsNumber(second_text) && second_text[0] >= '0' && second_text[0] <= '9';
  if (!ok) at.Fail("utc \"" + std::string(text) + "\" is not YYYY-MM-DDTHH:MM:SS[.sss]Z");
  const double second = Number(second_text, at, "utc seconds");
  if (hour > 23 || minute > 59 || second >= 60)
    at.Fail("utc \"" + std::string(text) + "\": no such time of day");
  Utc utc{};
  const double seconds = hour * kSecondsPerHour + minute * kSecondsPerMinute + second;
  if (!UtcOfDate(year, month, day, seconds / kSecondsPerDay, utc))
    at.Fail("utc \"" + std::string(text) + "\": no such date");
  return utc;
}

double Ra(std::string_view field, const At& at, const std::string& what) {
  return InDayHours(Number(field, at, what), at, what);
}

double Dec(std::string_view field, const At& at, const std::string& what) {
  return WithinDegrees(Number(field, at, what), kDecLimit, at, what);
}

Observer SiteFrom(const ReadOptions& options, const std::string& source) {
  if (!options.latitude_deg || !options.longitude_deg)
    Fail(source, 0,
         "a point CSV needs the site: its latitude and longitude (--latitude, --longitude)");
  if (std::fabs(*options.latitude_deg) > kDecLimit)
    Fail(source, 0, "site latitude beyond +-90 degrees");
  if (std::fabs(*options.longitude_deg) > kLongitudeLimit)
    Fail(source, 0, "site longitude beyond +-180 degrees");
  Observer o;
  o.latitude_deg = *options.latitude_deg;
  o.longitude_deg = *options.longitude_deg;
  o.pressure_hpa = options.pressure_hpa;
  o.temperature_c = options.temperature_c;
  o.relative_humidity = options.relative_humidity;
  return o;
}

Point ReadRow(std::string_view line, const Observer& site, const At& at) {
  const std::vector<std::string_view> c = Columns(line);
  if (c.size() != kColumns)
    at.Fail(std::to_string(c.size()) + " columns; expected " + std::to_string(kColumns));
  const Utc utc = ReadUtc(c[0], at);
  const MeanPlace sky{{Ra(c[1], at, "sky_ra_hours"), Dec(c[2], at, "sky_dec_degrees")}};
  const RaDec mount{Ra(c[3], at, "mount_ra_hours"), Dec(c[4], at, "mount_dec_degrees")};
  const std::string side = AsciiLower(c[5]);
  if (side != "east" && side != "west" && !side.empty())
    at.Fail("pier_side \"" + std::string(c[5]) + "\" is not east, west or empty");
  // West of the pier, pointing east: the side through the pole, where the
  // mount's axes read beyond the pole.
  const bool through_pole = side == "west";

  const double last = LocalApparentSiderealTime(utc, site.longitude_deg);
  Point p;
  p.source = at.source;
  p.line = at.line;
  p.observed = Observed(ApparentPlace(sky, utc), utc, last, site);
  const HaDec reading = pointing::InSideFrame({last - mount.ra, mount.dec}, through_pole);
  p.mechanical = {Wrap12(reading.ha), reading.dec};
  p.latitude_deg = site.latitude_deg;
  p.through_pole = through_pole;
  return p;
}

}  // namespace

std::vector<Point> ReadPointCsv(std::string_view text, const std::string& source,
                                const ReadOptions& options) {
  const std::vector<std::string_view> lines = Lines(text);
  const Observer site = SiteFrom(options, source);
  std::vector<Point> points;
  bool header = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const At at{source, static_cast<int>(i + 1)};
    const std::string_view line = Trim(lines[i]);
    if (line.empty() || line[0] == '#') continue;
    if (!header) {
      std::string columns = AsciiLower(line);
      std::erase(columns, ' ');
      if (columns != kPointCsvHeader)
        at.Fail("the header line should be " + std::string(kPointCsvHeader));
      header = true;
      continue;
    }
    points.push_back(ReadRow(line, site, at));
  }
  if (points.empty()) Fail(source, 0, "no points");
  return points;
}

}  // namespace orvan::model
