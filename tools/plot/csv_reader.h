#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "read_error.h"

namespace orvan::plot {

// RFC 4180 records, read a block at a time so that a file of any length costs
// the same small buffer: fields separated by `,`, a field holding `,`, `"` or
// a line break in double quotes with `""` for a quote inside, records ending
// in CRLF or LF. A last record with no line end is a line its writer did not
// finish, and is not returned.
class CsvReader {
 public:
  explicit CsvReader(std::istream& in);

  // The next record's fields, valid until the next call; false at the end.
  // Throws ReadError for a malformed record.
  bool Next(std::vector<std::string_view>& fields);
  // The line the last record began on.
  long line() const { return line_; }

  static constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

 private:
  bool FindRecordEnd(std::size_t& end, long& breaks);
  bool Refill();
  void Split(const char* p, const char* end, std::vector<std::string_view>& fields);
  const char* QuotedField(const char* p, const char* end, std::vector<std::string_view>& fields);

  std::istream& in_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread data is buffer_[begin_, end_)
  std::size_t end_ = 0;
  bool at_eof_ = false;
  long line_ = 0;
  long next_line_ = 1;
  std::string unquoted_;  // quoted fields' text with their doubled quotes undone
};

}  // namespace orvan::plot
