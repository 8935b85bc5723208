#include "model/points.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <utility>

#include "model/readers.h"
#include "points/point_csv.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::model {
namespace {

using points::Fail;
using points::Fields;
using points::Lines;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Little = "\xFF\xFE", kUtf16Big = "\xFE\xFF";

enum class Format { Tpoint, Indi, Csv };

// The first line that is neither blank nor a '#' comment.
std::string_view FirstLine(std::string_view text) {
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (!line.empty() && line[0] != '#') return line;
  }
  return {};
}

// TPOINT's layout: its caption (line 1, whatever it says), then, as the
// first line that is not blank, an option (":EQUAT") or the run line, whose
// fields are all numbers.
bool IsTpointLayout(std::string_view text) {
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = Trim(lines[i]);
    if (line.empty()) continue;
    if (line[0] == ':') return true;
    const std::vector<std::string_view> fields = Fields(line);
    return std::all_of(fields.begin(), fields.end(), points::IsNumber);
  }
  return false;
}

// The text as read, its one UTF-8 byte-order mark taken off; a text that
// can't be any point file is refused here, saying why.
std::string_view CheckedText(std::string_view text, const std::string& path) {
  if (text.starts_with(kUtf16Little) || text.starts_with(kUtf16Big))
    Fail(path, 0, "UTF-16 text (it starts with a UTF-16 byte-order mark): save it as UTF-8");
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (text.starts_with(kByteOrderMark))
    Fail(path, 0, "two UTF-8 byte-order marks: a file starts with one at most");
  for (std::size_t cr = text.find('\r'); cr != std::string_view::npos; cr = text.find('\r', cr + 1))
    if (cr + 1 == text.size() || text[cr + 1] != '\n')
      Fail(path, 0, "its lines end in a carriage return alone: save it with LF or CRLF line ends");
  if (Trim(text).empty()) Fail(path, 0, "empty file");
  return text;
}

// The format from the content: XML is INDI's database, a first line naming
// the CSV's columns is the CSV, TPOINT's layout is TPOINT's.
Format FormatOf(std::string_view text, const std::string& path) {
  if (Trim(text)[0] == '<') return Format::Indi;
  if (points::IsPointCsvHeader(FirstLine(text))) return Format::Csv;
  if (IsTpointLayout(text)) return Format::Tpoint;
  Fail(path, 0,
       "not a point file: it is neither a TPOINT observation file (a caption line, then : "
       "options or the run line), an INDI alignment database (XML) nor a point CSV (the header "
       "line utc,sky_ra_hours,...)");
}

pointing::Site SiteFrom(const ReadOptions& options, const std::string& source) {
  if (!options.latitude_deg || !options.longitude_deg)
    Fail(source, 0,
         "a point CSV needs the site: its latitude and longitude (--latitude, --longitude)");
  if (std::fabs(*options.latitude_deg) > kPoleDeg)
    Fail(source, 0, "site latitude beyond +-90 degrees");
  if (std::fabs(*options.longitude_deg) > kHalfTurnDeg)
    Fail(source, 0, "site longitude beyond +-180 degrees");
  return {*options.latitude_deg, *options.longitude_deg,    options.pressure_hpa,
          options.temperature_c, options.relative_humidity, options.height_m};
}

// What each format takes from itself rather than from ReadOptions.
void NoteUnused(Format format, const std::string& path, std::vector<UnusedSetting>& unused) {
  const auto add = [&](std::initializer_list<ReadSetting> settings, const std::string& why) {
    for (ReadSetting setting : settings)
      unused.push_back({setting, "does not apply to " + path + ": " + why});
  };
  using enum ReadSetting;
  if (format == Format::Tpoint)
    add({Latitude, Pressure, Temperature, Humidity, Height},
        "a TPOINT observation file carries its own site and air on its run line");

  if (format == Format::Indi) {
    add({Latitude, Longitude}, "an INDI alignment database carries its own site");
    add({Height}, "an INDI alignment database's site is taken at sea level");
  }
}

// The air columns of a point CSV, where a row gives them, over the options.
void NoteCsvAir(std::span<const points::PointRecord> records, const std::string& path,
                std::vector<UnusedSetting>& unused) {
  const auto note = [&](auto column, ReadSetting setting, std::string_view name) {
    if (std::any_of(records.begin(), records.end(),
                    [&](const points::PointRecord& r) { return (r.air.*column).has_value(); }))
      unused.push_back({setting, "gives way in " + path + " to its " + std::string(name) +
                                     " column, where a row has a value"});
  };
  note(&points::PointAir::temperature_c, ReadSetting::Temperature, "temperature_c");
  note(&points::PointAir::pressure_hpa, ReadSetting::Pressure, "pressure_hpa");
  note(&points::PointAir::humidity_percent, ReadSetting::Humidity, "humidity_percent");
}

}  // namespace

std::vector<Point> ReadPointCsv(std::string_view text, const std::string& source,
                                const ReadOptions& options, std::vector<UnusedSetting>& unused) {
  const pointing::Site site = SiteFrom(options, source);
  std::vector<points::PointRecord> records = points::ReadPointCsv(text, source);
  NoteCsvAir(records, source, unused);
  if (!options.refraction) {
    // The mount refracts: whatever air a row gives, there is none to fit.
    bool set_aside = false;
    for (points::PointRecord& record : records)
      if (std::exchange(record.air.pressure_hpa, 0.0).value_or(0) != 0) set_aside = true;
    if (set_aside)
      unused.push_back({ReadSetting::Refraction, "sets aside the pressure_hpa column of " + source +
                                                     ": the fit takes no refraction"});
  }
  std::vector<Point> points;
  points.reserve(records.size());
  for (const points::PointRecord& record : records)
    points.push_back(pointing::FitPointOf(record, site, source));
  return points;
}

std::vector<Point> ReadPoints(const std::string& path, const ReadOptions& options,
                              std::vector<UnusedSetting>* unused) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) Fail(path, 0, "a folder, not a point file");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (!in || !(content << in.rdbuf())) {
    // An empty file reads as a failed copy too: tell the two apart.
    if (in.is_open() && in.peek() == std::ifstream::traits_type::eof()) Fail(path, 0, "empty file");
    Fail(path, 0, "cannot be read");
  }
  const std::string_view text = CheckedText(content.view(), path);
  const Format format = FormatOf(text, path);
  std::vector<UnusedSetting> left;
  ReadOptions taken = options;
  if (!taken.refraction) taken.pressure_hpa = 0;
  std::vector<Point> points = format == Format::Indi  ? ReadIndiDatabase(text, path, taken)
                              : format == Format::Csv ? ReadPointCsv(text, path, taken, left)
                                                      : ReadTpointFile(text, path, taken);
  NoteUnused(format, path, left);
  if (format == Format::Tpoint && !options.refraction)
    left.push_back({ReadSetting::Refraction, "sets aside any pressure on the run line of " + path +
                                                 ": the fit takes no refraction"});
  if (unused) unused->insert(unused->end(), left.begin(), left.end());
  return points;
}

}  // namespace orvan::model
