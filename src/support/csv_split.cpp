// A CSV record split into its fields, for the readers; apart from the
// writers, which the Windows program alone links.
#include <cstring>

#include "support/csv.h"
#include "support/line_error.h"

namespace orvan {

namespace {

// Reads a quoted field from just after its opening quote; returns where the
// field's text ends, after the closing quote.
const char* QuotedField(const char* p, const char* end, std::vector<std::string_view>& fields,
                        std::string& unquoted, long line) {
  const std::size_t start = unquoted.size();
  for (;;) {
    const auto* quote = static_cast<const char*>(std::memchr(p, '"', end - p));
    if (quote == nullptr) throw LineError(line, "a quoted field with no closing quote");
    unquoted.append(p, quote);
    if (quote + 1 < end && quote[1] == '"') {
      unquoted += '"';
      p = quote + 2;
      continue;
    }
    fields.emplace_back(unquoted.data() + start, unquoted.size() - start);
    return quote + 1;
  }
}

}  // namespace

void SplitCsvRecord(std::string_view record, std::vector<std::string_view>& fields,
                    std::string& unquoted, long line) {
  fields.clear();
  unquoted.clear();
  // Unquoting only shortens a field, so this never reallocates under the views.
  unquoted.reserve(record.size());
  const char* p = record.data();
  const char* end = p + record.size();
  for (;;) {
    if (p < end && *p == '"') {
      p = QuotedField(p + 1, end, fields, unquoted, line);
    } else {
      const auto* comma = static_cast<const char*>(std::memchr(p, ',', end - p));
      const char* stop = comma ? comma : end;
      if (std::memchr(p, '"', stop - p) != nullptr)
        throw LineError(line, "a quote inside a field that does not begin with one");
      fields.emplace_back(p, static_cast<std::size_t>(stop - p));
      p = stop;
    }
    if (p == end) return;
    if (*p != ',') throw LineError(line, "text after a closing quote");
    ++p;
  }
}

}  // namespace orvan
