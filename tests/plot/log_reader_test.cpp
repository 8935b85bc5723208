// The cycle log read as docs/log-format.md has it.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "log_reader.h"

namespace orvan::plot {
namespace {

const std::string kHeader = std::string(kLogHeader) + "\r\n";

// The format's own example.
const std::string kExample =
    kHeader +
    "2026-12-08T21:04:04.120Z,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,\r\n"
    "2026-12-08T21:04:08.123Z,cycle,Orvan "
    "tracking,10,20,10.0001,20,10.01,20.02,10.0101,20.0195,5.4,-1.8,1,W,359.99999999999704,N,"
    "119.99999999999903,,\r\n"
    "2026-12-08T21:04:12.121Z,cycle,Waiting for slew to complete,,,,,,,,,,,1,,,,,,\r\n"
    "2026-12-08T21:09:30.007Z,error,Orvan tracking,,,,,,,,,,,,,,,,0x80040504,\"INDI server "
    "127.0.0.1:7624 connection lost\"\r\n";

constexpr std::int64_t kStartMs = 1796763844120;  // 2026-12-08T21:04:04.120Z

std::vector<LogLine> Read(const std::string& text) {
  std::istringstream in(text);
  std::vector<LogLine> lines;
  ReadLog(in, [&](const LogLine& l) { lines.push_back(l); });
  return lines;
}

// The line and message of the error reading `text`.
std::pair<long, std::string> Failure(const std::string& text) {
  try {
    Read(text);
  } catch (const ReadError& e) {
    return {e.line(), e.what()};
  }
  return {-1, "no error"};
}

const char kGoodCycle[] = "2026-12-08T21:04:08.123Z,cycle,Orvan tracking";
const char kGoodRest[] = ",,,,,,,,,0.5,-0.25,1,,,,,,";

TEST(LogReader, ReadsTheFormatsExample) {
  const auto lines = Read(kExample);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].line, 2);
  EXPECT_EQ(lines[0].event, Event::Start);
  EXPECT_EQ(lines[0].time_ms, kStartMs);
  EXPECT_EQ(lines[0].threshold, 1);
  EXPECT_TRUE(std::isnan(lines[0].error_ra));

  const LogLine& c = lines[1];
  EXPECT_EQ(c.time_ms, kStartMs + 4003);
  EXPECT_EQ(c.activity, Activity::Holding);
  EXPECT_EQ(c.error_ra, 5.4);
  EXPECT_EQ(c.error_dec, -1.8);
  EXPECT_EQ(c.ra_pulse.sign, -1);
  EXPECT_EQ(c.ra_pulse.ms, 359.99999999999704);
  EXPECT_EQ(c.dec_pulse.sign, 1);
  EXPECT_EQ(c.dec_pulse.ms, 119.99999999999903);

  EXPECT_EQ(lines[2].activity, Activity::WaitingForSlew);
  EXPECT_EQ(lines[2].ra_pulse.sign, 0);
  EXPECT_EQ(lines[3].event, Event::Error);
  EXPECT_EQ(lines[3].error_number, 0x80040504u);
  EXPECT_EQ(lines[3].line, 5);
}

TEST(LogReader, LfLinesReadAsCrlfLines) {
  std::string lf = kExample;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  const auto a = Read(kExample), b = Read(lf);
  ASSERT_EQ(b.size(), a.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(b[i].time_ms, a[i].time_ms);
}

TEST(LogReader, AHeaderMidFileStartsANewSection) {
  const auto lines = Read(kExample + kHeader + std::string(kGoodCycle) + kGoodRest + "\r\n");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4].line, 7);
  EXPECT_EQ(lines[4].error_ra, 0.5);
}

TEST(LogReader, SkipsAnotherVersionsSection) {
  const std::string old = "time,event,error\r\n2026-01-01,cycle,3\r\n";
  const auto lines = Read(old + kExample);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].line, 4);
}

TEST(LogReader, SkipsATruncatedLastLine) {
  const auto lines = Read(kExample + "2026-12-08T21:09:34.007Z,cycle,Orvan tra");
  EXPECT_EQ(lines.size(), 4u);
}

TEST(LogReader, AForeignCsvNamesItsFirstLine) {
  EXPECT_EQ(Failure("name,value\r\nx,1\r\n"),
            (std::pair<long, std::string>{
                1, "not a cycle log: no header line (time,event,status,...) above this line"}));
}

TEST(LogReader, SkipsALineCutShortThatTheNextRunEnded) {
  // The program ends a line a crash cut short before it writes the next.
  std::vector<std::pair<long, std::string>> skipped;
  std::istringstream in(kExample + "2026-12-08T21:09:34.007Z,cycle,Orvan tra\r\n" + kGoodCycle +
                        kGoodRest + "\r\n\r\n");
  std::vector<LogLine> lines;
  ReadLog(
      in, [&](const LogLine& l) { lines.push_back(l); },
      [&](long line, const std::string& what) { skipped.emplace_back(line, what); });
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back().line, 7);
  EXPECT_EQ(skipped, (std::vector<std::pair<long, std::string>>{{6, "cut short, skipped"}}));
}

TEST(LogReader, NanAndInfinityAreValuesWithNothingToDraw) {
  const auto lines =
      Read(kHeader + std::string(kGoodCycle) + ",nan,inf,,,,,,,nan,-inf,1,,,,,,\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::isnan(lines[0].error_ra));
  EXPECT_TRUE(std::isnan(lines[0].error_dec));
  EXPECT_EQ(lines[0].threshold, 1);
}

TEST(LogReader, ALineCutShortAndJoinedToTheNextNamesItsLine) {
  // A line cut off by a power cut, and the next run's line written after it.
  const std::string text =
      kExample + "2026-12-08T21:09:34.007Z,cycle,Orvan tra" + kGoodCycle + kGoodRest + "\r\n";
  EXPECT_EQ(Failure(text), (std::pair<long, std::string>{6, "expected 20 fields, found 22"}));
}

std::pair<long, std::string> FailureOf(const std::string& line) {
  return Failure(kHeader + line + "\r\n");
}

TEST(LogReader, BadNumbers) {
  const std::string head = std::string(kGoodCycle) + ",,,,,,,,,";
  EXPECT_EQ(FailureOf(head + "1.2.3,0,1,,,,,,").second, "bad number in error_ra_arcsec: \"1.2.3\"");
  EXPECT_EQ(FailureOf(head + "0,nan1,1,,,,,,").second, "bad number in error_dec_arcsec: \"nan1\"");
  EXPECT_EQ(FailureOf(head + "0,0,1e999,,,,,,").second,
            "bad number in threshold_arcsec: \"1e999\"");
  EXPECT_EQ(FailureOf(head + "0,0,1,W, 5,,,,").second, "bad number in ra_pulse_ms: \" 5\"");
  EXPECT_EQ(FailureOf(std::string(kGoodCycle) + ",10,2O,,,,,,,0,0,1,,,,,,").second,
            "bad number in target_dec: \"2O\"");
  EXPECT_EQ(FailureOf(head + "0,0,-1,,,,,,").second, "threshold_arcsec is negative: \"-1\"");
}

TEST(LogReader, BadFields) {
  const std::string head = std::string(kGoodCycle) + ",,,,,,,,,0,0,1,";
  EXPECT_EQ(FailureOf(head + "N,5,,,,").second, "ra_pulse \"N\" is not W or E");
  EXPECT_EQ(FailureOf(head + ",,E,5,,").second, "dec_pulse \"E\" is not S or N");
  EXPECT_EQ(FailureOf(head + "W,,,,,").second, "ra_pulse without ra_pulse_ms");
  EXPECT_EQ(FailureOf(head + ",,,5,,").second, "dec_pulse_ms without dec_pulse");
  EXPECT_EQ(FailureOf(std::string(kGoodCycle) + ",,,,,,,,,0,,1,,,,,,").second,
            "error_ra_arcsec without error_dec_arcsec");
  EXPECT_EQ(FailureOf(std::string(kGoodCycle) + ",,,,,,,,,0,0,,,,,,,").second,
            "threshold_arcsec is empty on a cycle line");
  EXPECT_EQ(FailureOf("2026-12-08T21:04:08.123Z,pause,x,,,,,,,,,,,,,,,,,").second,
            "unknown event \"pause\"");
  EXPECT_EQ(FailureOf("2026-12-08T21:04:08.123Z,error,x,,,,,,,,,,,,,,,,80040504,t").second,
            "bad error_number \"80040504\" (expected a number such as 0x80040504)");
}

TEST(LogReader, BadTimes) {
  for (const char* time : {"2027-02-29T21:04:08.123Z", "2026-12-08 21:04:08.123Z",
                           "2026-12-08T24:00:00.000Z", "2026-12-08T21:04:08Z"}) {
    EXPECT_EQ(
        FailureOf(std::string(time) + ",stop,x,,,,,,,,,,,,,,,,,"),
        (std::pair<long, std::string>{2, "bad time \"" + std::string(time) +
                                             "\" (expected such as 2026-12-08T21:04:08.123Z)"}));
  }
}

TEST(LogTime, CountsMillisecondsFrom1970) {
  std::int64_t ms = 0;
  ASSERT_TRUE(ParseLogTime("1970-01-01T00:00:00.000Z", ms));
  EXPECT_EQ(ms, 0);
  ASSERT_TRUE(ParseLogTime("2026-12-08T21:04:04.120Z", ms));
  EXPECT_EQ(ms, kStartMs);
  ASSERT_TRUE(ParseLogTime("2028-02-29T23:59:59.999Z", ms));
  EXPECT_EQ(ms, 1835481599999);
}

}  // namespace
}  // namespace orvan::plot
