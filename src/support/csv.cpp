// CSV fields and records as text, with no stream: the Windows program's
// cycle log writes through these, and a stream here would bring the whole of
// the C++ library's locale machinery into OrvanACP.exe (csv_reader.cpp).
#include "support/csv.h"

namespace orvan {

std::string CsvField(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!text.empty() && (blank(text.front()) || blank(text.back())));
  if (!quoted) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string CsvRecord(std::span<const std::string> fields) {
  std::string record;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    record += CsvField(fields[i]);
  }
  return record;
}

}  // namespace orvan
