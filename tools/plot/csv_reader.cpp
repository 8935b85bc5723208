#include "csv_reader.h"

#include <cstring>

namespace orvan::plot {

namespace {

// Big enough that a read is one system call per few thousand lines.
constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

}  // namespace

CsvReader::CsvReader(std::istream& in) : in_(in), buffer_(kBlockBytes) {}

bool CsvReader::Next(std::vector<std::string_view>& fields) {
  std::size_t end = 0;
  long breaks = 0;
  while (!FindRecordEnd(end, breaks)) {
    if (!Refill()) return false;
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
      throw ReadError(next_line_, "a line longer than " + std::to_string(kMaxRecordBytes) +
                                      " bytes: not a cycle log");
    buffer_.resize(buffer_.size() * 2);
  }
  std::memmove(buffer_.data(), buffer_.data() + begin_, unread);
  begin_ = 0;
  end_ = unread;
  in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
  if (in_.bad()) throw ReadError(0, "cannot read the file");
  const auto got = static_cast<std::size_t>(in_.gcount());
  end_ += got;
  if (in_.eof()) at_eof_ = true;
  return got > 0;
}

void CsvReader::Split(const char* p, const char* end, std::vector<std::string_view>& fields) {
  fields.clear();
  unquoted_.clear();
  // Unquoting only shortens a field, so this never reallocates under the views.
  unquoted_.reserve(static_cast<std::size_t>(end - p));
  for (;;) {
    if (p < end && *p == '"') {
      p = QuotedField(p + 1, end, fields);
    } else {
      const auto* comma = static_cast<const char*>(std::memchr(p, ',', end - p));
      const char* stop = comma ? comma : end;
      if (std::memchr(p, '"', stop - p) != nullptr)
        throw ReadError(line_, "a quote inside a field that does not begin with one");
      fields.emplace_back(p, static_cast<std::size_t>(stop - p));
      p = stop;
    }
    if (p == end) return;
    if (*p != ',') throw ReadError(line_, "text after a closing quote");
    ++p;
  }
}

// Reads a quoted field from just after its opening quote; returns where the
// field's text ends, after the closing quote.
const char* CsvReader::QuotedField(const char* p, const char* end,
                                   std::vector<std::string_view>& fields) {
  const std::size_t start = unquoted_.size();
  for (;;) {
    const auto* quote = static_cast<const char*>(std::memchr(p, '"', end - p));
    if (quote == nullptr) throw ReadError(line_, "a quoted field with no closing quote");
    unquoted_.append(p, quote);
    if (quote + 1 < end && quote[1] == '"') {
      unquoted_ += '"';
      p = quote + 2;
      continue;
    }
    fields.emplace_back(unquoted_.data() + start, unquoted_.size() - start);
    return quote + 1;
  }
}

}  // namespace orvan::plot
