#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "points/point_record.h"

// The program's own point CSV (docs/point-formats.md#the-point-csv), read
// and written.
namespace orvan::points {

// The header's columns, lower case: the six every file has, then the three
// of the air, which a file may leave out.
inline constexpr std::string_view kPointCsvHeader =
    "utc,sky_ra_hours,sky_dec_degrees,mount_ra_hours,mount_dec_degrees,pier_side";
inline constexpr std::string_view kPointCsvAirColumns =
    ",temperature_c,pressure_hpa,humidity_percent";

// Whether `line` (a file's first line that is neither blank nor a comment) is
// a point CSV's header: its columns, in any letter case, blanks around them.
bool IsPointCsvHeader(std::string_view line);

// The records of a point CSV, each with its line; throws PointError
// ("FILE, line N: ...") for anything that is not one.
std::vector<PointRecord> ReadPointCsv(std::string_view text, const std::string& source);

// The header line a new file starts with, and a record's line; each with
// its line end ("\n").
std::string PointCsvHeaderLine();
std::string PointCsvLine(const PointRecord& record);

}  // namespace orvan::points
