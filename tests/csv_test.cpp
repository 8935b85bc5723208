// RFC 4180 records as the cycle log is written, and what a reader does with
// a file that is not.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/csv.h"

namespace orvan {
namespace {

struct Record {
  long line;
  std::vector<std::string> fields;
  bool operator==(const Record&) const = default;
};

std::vector<Record> ReadAll(const std::string& text,
                            CsvReader::LastRecord last = CsvReader::LastRecord::Unfinished) {
  std::istringstream in(text);
  CsvReader csv(in, last);
  std::vector<std::string_view> fields;
  std::vector<Record> records;
  while (csv.Next(fields)) records.push_back({csv.line(), {fields.begin(), fields.end()}});
  return records;
}

long ErrorLine(const std::string& text, std::string& what) {
  try {
    ReadAll(text);
  } catch (const LineError& e) {
    what = e.what();
    return e.line();
  }
  return -1;
}

TEST(CsvReader, CrlfAndLfEndLinesAlike) {
  const std::vector<Record> expected = {{1, {"a", "b"}}, {2, {"1", "", "3"}}};
  EXPECT_EQ(ReadAll("a,b\r\n1,,3\r\n"), expected);
  EXPECT_EQ(ReadAll("a,b\n1,,3\n"), expected);
}

TEST(CsvReader, UndoesQuoting) {
  const auto records = ReadAll("\"a,b\",\"say \"\"hi\"\"\",\"\",\" x \"\r\n");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a,b", "say \"hi\"", "", " x "}));
}

TEST(CsvReader, ALineBreakInQuotesIsPartOfTheField) {
  const auto records = ReadAll("1,\"two\r\nlines\"\r\n2,x\r\n");
  const std::vector<Record> expected = {{1, {"1", "two\r\nlines"}}, {3, {"2", "x"}}};
  EXPECT_EQ(records, expected);
}

TEST(CsvReader, SkipsALastLineWithNoLineEnd) {
  EXPECT_EQ(ReadAll("a,b\r\nc,d"), (std::vector<Record>{{1, {"a", "b"}}}));
  EXPECT_EQ(ReadAll("a,b\r\nc,\"open\r\nquote"), (std::vector<Record>{{1, {"a", "b"}}}));
  EXPECT_TRUE(ReadAll("").empty());
}

TEST(CsvReader, AnEmptyLineIsOneEmptyField) {
  EXPECT_EQ(ReadAll("\r\n"), (std::vector<Record>{{1, {""}}}));
}

TEST(CsvReader, AQuoteInsideAnUnquotedFieldNamesItsLine) {
  std::string what;
  EXPECT_EQ(ErrorLine("a,b\r\nc,d\"e\r\n", what), 2);
  EXPECT_EQ(what, "a quote inside a field that does not begin with one");
}

TEST(CsvReader, TextAfterAClosingQuoteNamesItsLine) {
  std::string what;
  EXPECT_EQ(ErrorLine("a\r\n\"b\r\nc\",d\r\n\"x\"y,z\r\n", what), 4);
  EXPECT_EQ(what, "text after a closing quote");
}

TEST(CsvReader, ReadsAcrossBlocks) {
  // Far more than one block, with lines cut at every block boundary.
  std::string text;
  constexpr int kLines = 40000;
  for (int i = 0; i < kLines; ++i)
    text += std::to_string(i) + ",\"q,\"\"" + std::to_string(i) + "\"\r\n";
  const auto records = ReadAll(text);
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kLines));
  for (int i = 0; i < kLines; ++i) {
    const Record expected{i + 1, {std::to_string(i), "q,\"" + std::to_string(i)}};
    ASSERT_EQ(records[i], expected);
  }
}

TEST(CsvReader, ALineLongerThanABlockIsReadWhole) {
  const std::string field(std::size_t{600} * 1024, 'x');
  const auto records = ReadAll("a\r\n" + field + ",b\r\n");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{field, "b"}));
}

TEST(CsvReader, ALineOfOverAMegabyteIsNotALog) {
  std::string what;
  EXPECT_EQ(
      ErrorLine("a\r\nb\r\n" + std::string(CsvReader::kMaxRecordBytes + 1, 'x') + "\r\n", what), 3);
  EXPECT_EQ(what, "a line longer than 1048576 bytes");
}

// A file written by hand may end without a line end; an appended one whose
// last line has none was cut short.
TEST(CsvReader, ALastRecordWithNoLineEndIsTakenOnlyWhenAsked) {
  constexpr auto kTaken = CsvReader::LastRecord::Taken;
  EXPECT_EQ(ReadAll("a,b\r\n1,2"), (std::vector<Record>{{1, {"a", "b"}}}));
  EXPECT_EQ(ReadAll("a,b\r\n1,2", kTaken), (std::vector<Record>{{1, {"a", "b"}}, {2, {"1", "2"}}}));
  EXPECT_EQ(ReadAll("a,\"b\nc\"", kTaken), (std::vector<Record>{{1, {"a", "b\nc"}}}));
  EXPECT_EQ(ReadAll("a\n", kTaken), (std::vector<Record>{{1, {"a"}}}));
  std::istringstream open_quote("a\n\"b,c\n");
  CsvReader csv(open_quote, kTaken);
  std::vector<std::string_view> fields;
  ASSERT_TRUE(csv.Next(fields));
  try {
    csv.Next(fields);
    ADD_FAILURE() << "an open quote at the end was taken";
  } catch (const LineError& e) {
    EXPECT_EQ(e.line(), 2);
    EXPECT_STREQ(e.what(), "a quoted field with no closing quote");
  }
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("Orvan tracking"), "Orvan tracking");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"no\""), "\"say \"\"no\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(CsvField("one\nline"), "\"one\nline\"");
  EXPECT_EQ(CsvField(" lead"), "\" lead\"");
  EXPECT_EQ(CsvField("trail\t"), "\"trail\t\"");
  EXPECT_EQ(CsvField("Größe"), "Größe");
}

}  // namespace
}  // namespace orvan
