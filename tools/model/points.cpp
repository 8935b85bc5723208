#include "model/points.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "model/readers.h"
#include "points/point_csv.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::model {
namespace {

using points::Fail;
using points::Lines;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The first line that is neither blank nor a '#' comment.
std::string_view FirstLine(std::string_view text) {
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (!line.empty() && line[0] != '#') return line;
  }
  return {};
}

pointing::Site SiteFrom(const ReadOptions& options, const std::string& source) {
  if (!options.latitude_deg || !options.longitude_deg)
    Fail(source, 0,
         "a point CSV needs the site: its latitude and longitude (--latitude, --longitude)");
  if (std::fabs(*options.latitude_deg) > kPoleDeg)
    Fail(source, 0, "site latitude beyond +-90 degrees");
  if (std::fabs(*options.longitude_deg) > kHalfTurnDeg)
    Fail(source, 0, "site longitude beyond +-180 degrees");
  return {*options.latitude_deg, *options.longitude_deg, options.pressure_hpa,
          options.temperature_c, options.relative_humidity};
}

}  // namespace

std::vector<Point> ReadPointCsv(std::string_view text, const std::string& source,
                                const ReadOptions& options) {
  const pointing::Site site = SiteFrom(options, source);
  std::vector<Point> points;
  for (const points::PointRecord& record : points::ReadPointCsv(text, source))
    points.push_back(pointing::FitPointOf(record, site, source));
  return points;
}

std::vector<Point> ReadPoints(const std::string& path, const ReadOptions& options) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (!in || !(content << in.rdbuf())) {
    // An empty file reads as a failed copy too: tell the two apart.
    if (in.is_open() && in.peek() == std::ifstream::traits_type::eof()) Fail(path, 0, "empty file");
    Fail(path, 0, "cannot be read");
  }
  std::string_view text = content.view();
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (Trim(text).empty()) Fail(path, 0, "empty file");
  // The format from the content: XML is INDI's database, a first line naming
  // the CSV's columns is the CSV, anything else TPOINT's layout.
  if (Trim(text)[0] == '<') return ReadIndiDatabase(text, path, options);
  if (points::IsPointCsvHeader(FirstLine(text))) return ReadPointCsv(text, path, options);
  return ReadTpointFile(text, path, options);
}

}  // namespace orvan::model
