#include "model/points.h"

#include <fstream>
#include <sstream>

#include "model/readers.h"
#include "model/text_fields.h"
#include "support/ascii.h"

namespace orvan::model {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The first line that is neither blank nor a '#' comment.
std::string_view FirstLine(std::string_view text) {
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (!line.empty() && line[0] != '#') return line;
  }
  return {};
}

}  // namespace

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
  if (AsciiLower(FirstLine(text)).starts_with("utc,")) return ReadPointCsv(text, path, options);
  return ReadTpointFile(text, path, options);
}

}  // namespace orvan::model
