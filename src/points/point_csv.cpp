// The program's own point CSV (docs/point-formats.md#the-point-csv).
#include "points/point_csv.h"

#include <array>

#include "points/text_fields.h"
#include "support/air.h"
#include "support/ascii.h"
#include "support/csv.h"
#include "support/line_error.h"
#include "support/numtext.h"
#include "support/units.h"

namespace orvan::points {
namespace {

constexpr std::size_t kColumns = 6;
constexpr std::size_t kAirColumns = 3;
constexpr std::string_view kLineEnd = "\n";

// The header's column names, each trimmed and lower case, joined by commas.
std::string HeaderOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::string unquoted;
  try {
    SplitCsvRecord(line, fields, unquoted, 0);
  } catch (const LineError&) {
    return {};
  }
  std::string columns;
  for (std::size_t i = 0; i < fields.size(); ++i)
    columns += (i > 0 ? "," : "") + AsciiLower(Trim(fields[i]));
  return columns;
}

double Ra(std::string_view field, const At& at, const std::string& what) {
  return InDayHours(Number(field, at, what), at, what);
}

double Dec(std::string_view field, const At& at, const std::string& what) {
  return WithinDegrees(Number(field, at, what), kPoleDeg, at, what);
}

std::optional<double> Air(std::string_view field, Bounds bounds, const At& at,
                          const std::string& what) {
  if (field.empty()) return std::nullopt;
  const double value = Number(field, at, what);
  if (!bounds.Holds(value)) at.Fail(what + " " + Quoted(field) + " is out of range");
  return value;
}

PierSide SideOf(std::string_view field, const At& at) {
  const std::string side = AsciiLower(field);
  if (side == "east") return PierSide::East;
  if (side == "west") return PierSide::West;
  if (!side.empty()) at.Fail("pier_side " + Quoted(field) + " is not east, west or empty");
  return PierSide::Unknown;
}

PointRecord ReadRow(const std::vector<std::string_view>& c, std::size_t columns, const At& at) {
  if (c.size() != columns)
    at.Fail(std::to_string(c.size()) + " columns; expected " + std::to_string(columns));
  PointRecord r;
  const std::optional<UtcFields> utc = ParseUtcText(c[0]);
  if (!utc)
    at.Fail("utc " + Quoted(c[0]) + ": not a time that exists, written YYYY-MM-DDTHH:MM:SS[.sss]Z");
  r.utc = *utc;
  r.sky_ra_hours = Ra(c[1], at, "sky_ra_hours");
  r.sky_dec_deg = Dec(c[2], at, "sky_dec_degrees");
  r.mount_ra_hours = Ra(c[3], at, "mount_ra_hours");
  r.mount_dec_deg = Dec(c[4], at, "mount_dec_degrees");
  r.pier_side = SideOf(c[5], at);
  if (columns > kColumns) {
    r.air.temperature_c = Air(c[6], kTemperatureBoundsC, at, "temperature_c");
    r.air.pressure_hpa = Air(c[7], kPressureBoundsHpa, at, "pressure_hpa");
    r.air.humidity_percent = Air(c[8], kHumidityBoundsPercent, at, "humidity_percent");
  }
  r.line = at.line;
  return r;
}

std::size_t HeaderColumns(std::string_view line, const At& at) {
  const std::string columns = HeaderOf(line);
  if (columns == kPointCsvHeader) return kColumns;
  if (columns == std::string(kPointCsvHeader) + std::string(kPointCsvAirColumns))
    return kColumns + kAirColumns;
  at.Fail("the header line should be " + std::string(kPointCsvHeader) + " (then, optionally, " +
          std::string(kPointCsvAirColumns.substr(1)) + ")");
}

std::string Optional(const std::optional<double>& value) {
  return value ? ShortestText(*value) : std::string();
}

}  // namespace

bool IsPointCsvHeader(std::string_view line) {
  // Its first column alone: a header with a fault in a later column is still
  // this format's, and gets this format's message.
  return HeaderOf(line).starts_with("utc,");
}

std::vector<PointRecord> ReadPointCsv(std::string_view text, const std::string& source) {
  std::vector<PointRecord> records;
  std::vector<std::string_view> fields;
  std::string unquoted;
  std::size_t columns = 0;
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const At at{source, static_cast<int>(i + 1)};
    const std::string_view line = Trim(lines[i]);
    if (line.empty() || line[0] == '#') continue;
    if (columns == 0) {
      columns = HeaderColumns(line, at);
      continue;
    }
    try {
      SplitCsvRecord(line, fields, unquoted, at.line);
    } catch (const LineError& e) {
      at.Fail(e.what());
    }
    for (std::string_view& field : fields) field = Trim(field);
    records.push_back(ReadRow(fields, columns, at));
  }
  if (records.empty()) Fail(source, 0, "no points");
  return records;
}

std::string PointCsvHeaderLine() {
  return std::string(kPointCsvHeader) + std::string(kPointCsvAirColumns) + std::string(kLineEnd);
}

std::string PointCsvLine(const PointRecord& r) {
  constexpr std::array<std::string_view, 3> kSides = {"", "east", "west"};
  const std::string fields[] = {UtcText(r.utc),
                                ShortestText(r.sky_ra_hours),
                                ShortestText(r.sky_dec_deg),
                                ShortestText(r.mount_ra_hours),
                                ShortestText(r.mount_dec_deg),
                                std::string(kSides[static_cast<std::size_t>(r.pier_side)]),
                                Optional(r.air.temperature_c),
                                Optional(r.air.pressure_hpa),
                                Optional(r.air.humidity_percent)};
  return CsvRecord(fields) + std::string(kLineEnd);
}

}  // namespace orvan::points
