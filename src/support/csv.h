#pragma once

#include <cstddef>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/line_error.h"

namespace orvan {

// RFC 4180 records, read a block at a time so that a file of any length costs
// the same small buffer: fields separated by `,`, a field holding `,`, `"` or
// a line break in double quotes with `""` for a quote inside, records ending
// in CRLF or LF. A file the program appends to ends each record whole: there
// a last record with no line end is one its writer did not finish, and is not
// returned (LastRecord::Unfinished); a file written by hand may end without
// one (LastRecord::Taken).
class CsvReader {
 public:
  enum class LastRecord { Unfinished, Taken };
  explicit CsvReader(std::istream& in, LastRecord last = LastRecord::Unfinished);

  // The next record's fields, valid until the next call; false at the end.
  // Throws LineError for a malformed record.
  bool Next(std::vector<std::string_view>& fields);
  // The line the last record began on.
  long line() const { return line_; }

  static constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

 private:
  bool FindRecordEnd(std::size_t& end, long& breaks);
  bool Refill();
  bool EndLastRecord();
  void Split(const char* p, const char* end, std::vector<std::string_view>& fields);

  std::istream& in_;
  LastRecord last_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread data is buffer_[begin_, end_)
  std::size_t end_ = 0;
  bool at_eof_ = false;
  long line_ = 0;
  long next_line_ = 1;
  std::string unquoted_;  // quoted fields' text with their doubled quotes undone
};

// One record's fields, its quotes undone, into `fields`: views of `record`
// or of `unquoted`, which must outlive them. A malformed record throws
// LineError naming `line`.
void SplitCsvRecord(std::string_view record, std::vector<std::string_view>& fields,
                    std::string& unquoted, long line);

// `text` as one CSV field: quoted when it holds a comma, a quote or a line
// end, or begins or ends with a blank (which a reader might trim).
std::string CsvField(std::string_view text);
// The fields joined into one record, each as CsvField writes it, with no
// line end.
std::string CsvRecord(std::span<const std::string> fields);

}  // namespace orvan
