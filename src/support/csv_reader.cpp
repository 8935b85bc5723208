// CSV records read from a stream a block at a time (the plot's logs, the tests).
#include "support/csv.h"

#include <cstring>

namespace orvan {

namespace {

// Big enough that a read is one system call per few thousand lines.
constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

}  // namespace

CsvReader::CsvReader(std::istream& in, LastRecord last)
    : in_(in), last_(last), buffer_(kBlockBytes) {}

bool CsvReader::Next(std::vector<std::string_view>& fields) {
  std::size_t end = 0;
  long breaks = 0;
  while (!FindRecordEnd(end, breaks)) {
    if (Refill()) continue;
    if (last_ == LastRecord::Unfinished || begin_ == end_) return false;
    if (!EndLastRecord()) throw LineError(next_line_, "a quoted field with no closing quote");
  }
  line_ = next_line_;
  next_line_ += 1 + breaks;
  const char* first = buffer_.data() + begin_;
  const char* last = buffer_.data() + end;
  if (last > first && last[-1] == '\r') --last;
  begin_ = end + 1;
  Split(first, last, fields);
  return true;
}

// Where the record at begin_ ends: the first line feed outside quotes, and how
// many line feeds inside quotes come before it.
bool CsvReader::FindRecordEnd(std::size_t& end, long& breaks) {
  const char* first = buffer_.data() + begin_;
  const std::size_t size = end_ - begin_;
  const auto* feed = static_cast<const char*>(std::memchr(first, '\n', size));
  if (feed == nullptr) return false;
  if (std::memchr(first, '"', static_cast<std::size_t>(feed - first)) == nullptr) {
    end = static_cast<std::size_t>(feed - buffer_.data());
    breaks = 0;
    return true;
  }
  // Rare: quotes on the line. Only a quote that begins a field opens a quoted
  // one, so that a stray quote elsewhere is reported on its own line rather
  // than swallowing the rest of the file.
  enum class At { FieldStart, Plain, Quoted, QuoteInQuoted } at = At::FieldStart;
  breaks = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = first[i];
    if (at == At::Quoted) {
      if (c == '"') at = At::QuoteInQuoted;
      if (c == '\n') ++breaks;
    } else if (c == '\n') {
      end = begin_ + i;
      return true;
    } else if (c == ',') {
      at = At::FieldStart;
    } else {
      at = c == '"' && at != At::Plain ? At::Quoted : At::Plain;
    }
  }
  return false;
}

// Moves the unread data to the front and reads more after it; false when
// there is no more.
bool CsvReader::Refill() {
  if (at_eof_) return false;
  const std::size_t unread = end_ - begin_;
  if (unread == buffer_.size()) {
    if (buffer_.size() >= kMaxRecordBytes)
      throw LineError(next_line_,
                      "a line longer than " + std::to_string(kMaxRecordBytes) + " bytes");
    buffer_.resize(buffer_.size() * 2);
  }
  std::memmove(buffer_.data(), buffer_.data() + begin_, unread);
  begin_ = 0;
  end_ = unread;
  in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
  if (in_.bad()) throw LineError(0, "cannot read the file");
  const auto got = static_cast<std::size_t>(in_.gcount());
  end_ += got;
  if (in_.eof()) at_eof_ = true;
  return got > 0;
}

// A last record with no line end, ended; false when it has one already (so
// that what keeps it open is a quote).
bool CsvReader::EndLastRecord() {
  if (buffer_[end_ - 1] == '\n') return false;
  if (end_ == buffer_.size())
    buffer_.push_back('\n');
  else
    buffer_[end_] = '\n';
  ++end_;
  return true;
}

void CsvReader::Split(const char* p, const char* end, std::vector<std::string_view>& fields) {
  SplitCsvRecord({p, static_cast<std::size_t>(end - p)}, fields, unquoted_, line_);
}

}  // namespace orvan
