// The cycle log read as docs/log-format.md has it.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "plot/log_reader.h"

namespace orvan::plot {
namespace {

// The version before pier_side, which most of these logs are written in: a
// reader still takes it.
const std::string kHeader =
    "time,event,status,target_ra,target_dec,current_ra,current_dec,target_scope_ra,"
    "target_scope_dec,current_scope_ra,current_scope_dec,error_ra_arcsec,error_dec_arcsec,"
    "threshold_arcsec,ra_pulse,ra_pulse_ms,dec_pulse,dec_pulse_ms,error_number,error_text\r\n";

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
  } catch (const LineError& e) {
    return {e.line(), e.what()};
  }
  return {-1, "no error"};
}

const char kGoodCycle[] = "2026-12-08T21:04:08.123Z,cycle,Orvan tracking";
const char kGoodRest[] = ",,,,,,,,,0.5,-0.25,1,,,,,,";
// A line of this version that is not a frame's leaves the frame columns empty.
const char kNoFrame[] = ",,,,,";

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

// Only what is not a cycle log at all is refused.
TEST(LogReader, AForeignCsvNamesItsFirstLine) {
  EXPECT_EQ(Failure("name,value\r\nx,1\r\n"),
            (std::pair<long, std::string>{
                1, "not a cycle log: no header line (time,event,status,...) above this line"}));
}

// What a read of `text` skipped.
std::vector<std::pair<long, std::string>> Skipped(const std::string& text,
                                                  std::vector<LogLine>* taken = nullptr) {
  std::vector<std::pair<long, std::string>> skipped;
  std::istringstream in(text);
  ReadLog(
      in,
      [&](const LogLine& l) {
        if (taken) taken->push_back(l);
      },
      [&](long line, const std::string& what) { skipped.emplace_back(line, what); });
  return skipped;
}

TEST(LogReader, SkipsALineCutShortThatTheNextRunEnded) {
  // The program ends a line a crash cut short before it writes the next.
  std::vector<LogLine> lines;
  EXPECT_EQ(Skipped(kExample + "2026-12-08T21:09:34.007Z,cycle,Orvan tra\r\n" + kGoodCycle +
                        kGoodRest + "\r\n\r\n",
                    &lines),
            (std::vector<std::pair<long, std::string>>{{6, "cut short"}}));
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back().line, 7);
}

TEST(LogReader, NanAndInfinityAreValuesWithNothingToDraw) {
  const auto lines =
      Read(kHeader + std::string(kGoodCycle) + ",nan,inf,,,,,,,nan,-inf,1,,,,,,\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::isnan(lines[0].error_ra));
  EXPECT_TRUE(std::isnan(lines[0].error_dec));
  EXPECT_EQ(lines[0].threshold, 1);
}

// A good cycle, the damaged `line`, and a good cycle again: the damaged line
// is skipped with what is wrong with it, the others taken.
TEST(LogReader, ADamagedLineIsSkippedWithWhatIsWrong) {
  const std::string cycle = std::string(kGoodCycle) + ",,,,,,,,,";
  struct Row {
    std::string line;
    std::string what;
  };
  const Row rows[] = {
      {cycle + "1.2.3,0,1,,,,,,", "bad number in error_ra_arcsec: \"1.2.3\""},
      {cycle + "abc,0,1,,,,,,", "bad number in error_ra_arcsec: \"abc\""},
      {cycle + "0,nan1,1,,,,,,", "bad number in error_dec_arcsec: \"nan1\""},
      {cycle + "0,0,1e999,,,,,,", "bad number in threshold_arcsec: \"1e999\""},
      {cycle + "0,0,1,W, 5,,,,", "bad number in ra_pulse_ms: \" 5\""},
      {std::string(kGoodCycle) + ",10,2O,,,,,,,0,0,1,,,,,,", "bad number in target_dec: \"2O\""},
      {cycle + "0,0,-1,,,,,,", "threshold_arcsec is negative: \"-1\""},
      {cycle + "0,0,1,N,5,,,,", "ra_pulse \"N\" is not W or E"},
      {cycle + "0,0,1,,,E,5,,", "dec_pulse \"E\" is not S or N"},
      {cycle + "0,0,1,W,,,,,", "ra_pulse without ra_pulse_ms"},
      {cycle + "0,0,1,,,,5,,", "dec_pulse_ms without dec_pulse"},
      {cycle + "0,0,1,,,,,a\"b,", "a quote inside a field that does not begin with one"},
      {cycle + "0,,1,,,,,,", "error_ra_arcsec without error_dec_arcsec"},
      {cycle + "0,0,,,,,,,", "threshold_arcsec is empty on a cycle line"},
      {"2026-12-08T21:04:08.123Z,pause,x,,,,,,,,,,,,,,,,,", "unknown event \"pause\""},
      {"2026-12-08T21:04:08.123Z,error,x,,,,,,,,,,,,,,,,80040504,t",
       "bad error_number \"80040504\" (expected a number such as 0x80040504)"},
      {"2027-02-29T21:04:08.123Z,stop,x,,,,,,,,,,,,,,,,,",
       "bad time \"2027-02-29T21:04:08.123Z\" (expected such as 2026-12-08T21:04:08.123Z)"},
      {"2026-12-08 21:04:08.123Z,stop,x,,,,,,,,,,,,,,,,,",
       "bad time \"2026-12-08 21:04:08.123Z\" (expected such as 2026-12-08T21:04:08.123Z)"},
      {"2026-12-08T24:00:00.000Z,stop,x,,,,,,,,,,,,,,,,,",
       "bad time \"2026-12-08T24:00:00.000Z\" (expected such as 2026-12-08T21:04:08.123Z)"},
      {"2026-12-08T21:04:08Z,stop,x,,,,,,,,,,,,,,,,,",
       "bad time \"2026-12-08T21:04:08Z\" (expected such as 2026-12-08T21:04:08.123Z)"},
      // A line cut off by a power cut, and the next run's line written after it.
      {"2026-12-08T21:09:34.007Z,cycle,Orvan tra" + std::string(kGoodCycle) + kGoodRest,
       "expected 20 fields, found 22"},
  };
  const std::string good = std::string(kGoodCycle) + kGoodRest + "\r\n";
  for (const Row& row : rows) {
    std::vector<LogLine> lines;
    EXPECT_EQ(Skipped(kHeader + good + row.line + "\r\n" + good, &lines),
              (std::vector<std::pair<long, std::string>>{{3, row.what}}))
        << row.line;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].line, 4);
  }
}

// A line longer than the reader takes cannot be got past: the reading ends
// there, and what came before is drawn.
TEST(LogReader, ALineTooLongEndsTheReadingAndKeepsWhatCameBefore) {
  const std::string good = std::string(kGoodCycle) + kGoodRest + "\r\n";
  std::vector<LogLine> lines;
  EXPECT_EQ(
      Skipped(kHeader + good + std::string(std::size_t{2} << 20, 'x') + "\r\n" + good, &lines),
      (std::vector<std::pair<long, std::string>>{{3, "a line longer than 1048576 bytes"}}));
  EXPECT_EQ(lines.size(), 1u);
}

TEST(LogReader, ThisVersionsLinesTellTheSideOfThePier) {
  const std::string header = std::string(kLogHeader) + "\r\n";
  const std::string cycle = std::string(kGoodCycle) + kGoodRest;
  std::vector<LogLine> lines;
  const std::string air = std::string(",,,") + kNoFrame;
  EXPECT_EQ(
      Skipped(header + cycle + ",east" + air + "\r\n" + cycle + ",west" + air + "\r\n" + cycle +
                  "," + air + "\r\n" + cycle + ",up" + air + "\r\n" + cycle + ",east\r\n",
              &lines),
      (std::vector<std::pair<long, std::string>>{{5, "pier_side \"up\" is not east or west"},
                                                 {6, "cut short"}}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].pier, PierSide::East);
  EXPECT_EQ(lines[1].pier, PierSide::West);
  EXPECT_EQ(lines[2].pier, PierSide::Unknown);
  // The version before pier_side has no side.
  EXPECT_EQ(Read(kExample)[1].pier, PierSide::Unknown);
}

// The air is not drawn, but a line whose air is not a number is damaged; the
// version before the air columns is read as it was.
TEST(LogReader, TheAirColumnsAreNumbersOrEmpty) {
  const std::string cycle = std::string(kGoodCycle) + kGoodRest + ",east";
  std::vector<LogLine> lines;
  EXPECT_EQ(
      Skipped(std::string(kLogHeader) + "\r\n" + cycle + ",3.5,812.25,29" + kNoFrame + "\r\n" +
                  cycle + ",3.5,," + kNoFrame + "\r\n" + cycle + ",3.5,warm,29" + kNoFrame + "\r\n",
              &lines),
      (std::vector<std::pair<long, std::string>>{{4, "bad number in air_pressure_hpa: \"warm\""}}));
  EXPECT_EQ(lines.size(), 2u);
  const std::string before_air = std::string(kLogHeader.substr(0, kLogHeader.find(",air_")));
  lines.clear();
  EXPECT_TRUE(Skipped(before_air + "\r\n" + cycle + "\r\n", &lines).empty());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].pier, PierSide::East);
}

// A frame line up to its error_text, which holds the reason; then the side
// and the air (empty), and the frame's file, middle, drift and action.
const char kFrameLead[] = "2026-12-08T21:04:40.000Z,frame,Orvan tracking,,,,,,,,,,,,,,,,,";

TEST(LogReader, FrameLinesTellWhatBecameOfEachFrame) {
  struct Row {
    std::string rest;
    FrameAction action;
    std::optional<std::int64_t> mid_ms;  // from kStartMs, 2026-12-08T21:04:04.120Z
    double drift_ra, drift_dec;
  };
  const double none = LogLine::kNone;
  const Row rows[] = {
      {",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,0,0,reference", FrameAction::Reference, 4003, 0, 0},
      {",,,,,/f/2.fits,2026-12-08T21:05:04.120Z,0.52,-0.31,used", FrameAction::Used, 60000, 0.52,
       -0.31},
      {"\"bad solve: 12.0\"\" from the prediction, limit 10.0\"\"\",,,,,\"/frames/M 42, 1.fits\","
       "2026-12-08T21:04:08.123Z,0.25,-1.5,refused",
       FrameAction::Refused, 4003, 0.25, -1.5},
      {"taken before the start,,,,,/f/0.fits,2026-12-08T21:04:00.000Z,,,ignored",
       FrameAction::Ignored, -4120, none, none},
      {"no solution,,,,,/f/3.fits,,,,failed", FrameAction::Failed, std::nullopt, none, none},
      {"dropped 3 older frames,,,,,,,,,dropped", FrameAction::Dropped, std::nullopt, none, none},
      {"watching frame folder /f again,,,,,,,,,folder", FrameAction::Folder, std::nullopt, none,
       none},
  };
  for (const Row& row : rows) {
    std::vector<LogLine> lines;
    EXPECT_TRUE(
        Skipped(std::string(kLogHeader) + "\r\n" + kFrameLead + row.rest + "\r\n", &lines).empty())
        << row.rest;
    ASSERT_EQ(lines.size(), 1u) << row.rest;
    const LogLine& l = lines[0];
    EXPECT_EQ(l.event, Event::Frame);
    EXPECT_EQ(l.time_ms, kStartMs + 35880);  // 21:04:40.000: when the frame was read
    EXPECT_EQ(l.frame_action, row.action) << row.rest;
    EXPECT_EQ(l.frame_mid_ms, row.mid_ms ? std::optional(kStartMs + *row.mid_ms) : std::nullopt)
        << row.rest;
    EXPECT_TRUE(std::isnan(row.drift_ra) ? std::isnan(l.frame_drift_ra)
                                         : l.frame_drift_ra == row.drift_ra)
        << row.rest;
    EXPECT_TRUE(std::isnan(row.drift_dec) ? std::isnan(l.frame_drift_dec)
                                          : l.frame_drift_dec == row.drift_dec)
        << row.rest;
  }
}

// A good cycle, the damaged line, a good cycle, as for the other columns.
TEST(LogReader, ADamagedFrameLineIsSkippedWithWhatIsWrong) {
  const std::string lead = kFrameLead;
  const std::string cycle = std::string(kGoodCycle) + kGoodRest + ",,,,";
  struct Row {
    std::string line;
    std::string what;
  };
  const Row rows[] = {
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,0.5,0,kept",
       "frame_action \"kept\" is not one of reference, used, ignored, refused, failed, dropped, "
       "folder"},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,0.5,0,", "frame line without frame_action"},
      {lead + ",,,,,/f/1.fits,2026-12-08 21:04:08.123Z,0.5,0,used",
       "bad time in frame_mid \"2026-12-08 21:04:08.123Z\" (expected such as "
       "2026-12-08T21:04:08.123Z)"},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08Z,0.5,0,used",
       "bad time in frame_mid \"2026-12-08T21:04:08Z\" (expected such as "
       "2026-12-08T21:04:08.123Z)"},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,1e999,0,used",
       "bad number in frame_drift_ra_arcsec: \"1e999\""},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,0.5,x,used",
       "bad number in frame_drift_dec_arcsec: \"x\""},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,,0,used",
       "frame_drift_dec_arcsec without frame_drift_ra_arcsec"},
      {lead + ",,,,,/f/1.fits,,0.5,0,used", "frame_mid is empty on a used frame"},
      {lead + ",,,,,/f/1.fits,2026-12-08T21:04:08.123Z,,,reference",
       "frame_drift_ra_arcsec is empty on a reference frame"},
      {lead + "x,,,,,/f/1.fits,2026-12-08T21:04:08.123Z,,,refused",
       "frame_drift_ra_arcsec is empty on a refused frame"},
      // Another event's frame columns are checked as well.
      {cycle + ",,2026-12-08T21:04:08.123,,,",
       "bad time in frame_mid \"2026-12-08T21:04:08.123\" "
       "(expected such as 2026-12-08T21:04:08.123Z)"},
      {cycle + ",,,,,read",
       "frame_action \"read\" is not one of reference, used, ignored, refused, failed, dropped, "
       "folder"},
  };
  const std::string good = std::string(kGoodCycle) + kGoodRest + ",,,," + kNoFrame + "\r\n";
  for (const Row& row : rows) {
    std::vector<LogLine> lines;
    EXPECT_EQ(Skipped(std::string(kLogHeader) + "\r\n" + good + row.line + "\r\n" + good, &lines),
              (std::vector<std::pair<long, std::string>>{{3, row.what}}))
        << row.line;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].line, 4);
  }
}

// The version before the frame columns is read, but knows no frame lines.
TEST(LogReader, TheVersionWithoutFramesHasNoFrameLines) {
  const std::string before_frames =
      std::string(kLogHeader.substr(0, kLogHeader.find(",frame_"))) + "\r\n";
  const std::string cycle = std::string(kGoodCycle) + kGoodRest + ",west,3.5,812.25,29";
  std::vector<LogLine> lines;
  EXPECT_EQ(
      Skipped(before_frames + cycle + "\r\n" + kFrameLead + ",,,,\r\n" + cycle + "\r\n", &lines),
      (std::vector<std::pair<long, std::string>>{
          {3, "frame line under a header without the frame columns"}}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].pier, PierSide::West);
  EXPECT_EQ(lines[1].error_ra, 0.5);
}

TEST(SkippedLines, NamesTheFirstFewAndCountsThemAll) {
  SkippedLines none;
  EXPECT_TRUE(none.Report("one.csv").empty());

  SkippedLines one;
  one.Sink()(21, "bad number in error_ra_arcsec: \"abc\"");
  EXPECT_EQ(one.Report("one.csv"),
            (std::vector<std::string>{"one.csv:21: bad number in error_ra_arcsec: \"abc\"",
                                      "one.csv: 1 line skipped"}));

  SkippedLines seven;
  for (long line = 10; line < 17; ++line) seven.Add(line, "cut short");
  EXPECT_EQ(seven.count(), 7);
  EXPECT_EQ(
      seven.Report("n.csv"),
      (std::vector<std::string>{"n.csv:10: cut short", "n.csv:11: cut short", "n.csv:12: cut short",
                                "n.csv:13: cut short", "n.csv:14: cut short",
                                "n.csv: 7 lines skipped (the first 5 named above)"}));
}

}  // namespace
}  // namespace orvan::plot
