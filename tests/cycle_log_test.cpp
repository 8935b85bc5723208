// The cycle log: its fields, its lines for what the handlers did, its file
// rules and what it does when writes fail.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <limits>
#include <locale>
#include <memory>
#include <string>
#include <vector>

#include "replay/player.h"
#include "support/csv.h"
#include "tracking/cycle_log.h"

namespace orvan::tracking {
namespace {

const std::string kHeader = std::string(kLogHeader) + "\r\n";

CycleRecord Of(RecordKind kind) {
  CycleRecord r;
  r.kind = kind;
  return r;
}

// Lines appended, in memory; a write fails while `full` is set.
struct Memory {
  std::vector<std::string> writes;
  bool full = false;
  std::string Text() const {
    std::string all;
    for (const std::string& w : writes) all += w;
    return all;
  }
};

class MemoryOut final : public Appendable {
 public:
  explicit MemoryOut(Memory& memory) : memory_(memory) {}
  bool Append(std::string_view text, std::string& reason) override {
    if (memory_.full) {
      reason = "No space left on device";
      return false;
    }
    memory_.writes.emplace_back(text);
    return true;
  }

 private:
  Memory& memory_;
};

std::unique_ptr<CycleLog> MemoryLog(Memory& memory, std::vector<std::string>* failures = nullptr,
                                    std::string lead = "") {
  return std::make_unique<CycleLog>(
      std::make_unique<MemoryOut>(memory), "night.csv", std::move(lead), [] { return "T"; },
      [failures](const std::string& m) {
        if (failures) failures->push_back(m);
      });
}

// The log a scenario leaves, one write each.
std::vector<std::string> LogOf(std::string_view scenario, PositionNews* news = nullptr) {
  Memory memory;
  replay::PlayHooks hooks;
  hooks.log = [&memory] { return MemoryLog(memory); };
  hooks.news = news;
  replay::Play(
      replay::ParseScenario(scenario), [](const std::string&) {}, hooks);
  return memory.writes;
}

TEST(CycleLog, TheHeaderNamesEveryColumnInOrder) {
  std::string joined;
  for (std::string_view name : kLogColumnNames)
    joined += (joined.empty() ? "" : ",") + std::string(name);
  EXPECT_EQ(kLogHeader, joined);
  EXPECT_EQ(kLogColumnNames[kErrorRaArcsec], "error_ra_arcsec");
  EXPECT_EQ(kLogColumnNames[kErrorText], "error_text");
  // This version's last columns, after those of the versions before.
  EXPECT_TRUE(
      kLogHeader.ends_with(",error_number,error_text,pier_side,air_temperature_c,air_pressure_hpa,"
                           "air_humidity_percent,frame_file,frame_mid,frame_drift_ra_arcsec,"
                           "frame_drift_dec_arcsec,frame_action"));
  EXPECT_EQ(kLogColumnsWithoutFrames, 24u);
  EXPECT_EQ(kLogColumnsWithoutAir, 21u);
  EXPECT_EQ(kLogColumnsWithoutSide, 20u);
}

// The air comes from the observatory as each line is written, on the lines
// that mapped; none before it has mapped, none on the error report.
TEST(CycleLog, EachRecordThatMappedTakesTheAirTheObservatoryUsed) {
  struct Air final : AirUsedSource {
    std::optional<AirUsed> used;
    std::optional<AirUsed> LastAirUsed() noexcept override { return used; }
  };
  auto air = std::make_shared<Air>();
  Memory memory;
  auto log = MemoryLog(memory);
  CycleRecord mapped;
  mapped.target_scope = AxisPair{1, 2};
  log->Record(mapped, "s");
  log->ReadAirFrom(air);
  log->Record(mapped, "s");
  air->used = AirUsed{3.5, 812.25, 29};
  log->Record(mapped, "s");
  log->Record(Of(RecordKind::Stop), "s");
  log->RecordError(Error(1, "x"), "s");
  EXPECT_EQ(memory.writes,
            (std::vector<std::string>{"T,cycle,s,,,,,1,2,,,,,,,,,,,,,,,,,,,,\r\n",
                                      "T,cycle,s,,,,,1,2,,,,,,,,,,,,,,,,,,,,\r\n",
                                      "T,cycle,s,,,,,1,2,,,,,,,,,,,,,3.5,812.25,29,,,,,\r\n",
                                      "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n",
                                      "T,error,s,,,,,,,,,,,,,,,,0x00000001,x,,,,,,,,,\r\n"}));
}

// The side comes from the observatory as each line is written, whatever the
// handler put in the record; the error report has none.
TEST(CycleLog, EachRecordTakesTheSideOfThePierAsTheObservatoryTellsIt) {
  struct Side final : PierSideSource {
    PierSide now = PierSide::East;
    PierSide SideOfPier() noexcept override { return now; }
  };
  auto side = std::make_shared<Side>();
  Memory memory;
  auto log = MemoryLog(memory);
  CycleRecord record = Of(RecordKind::Stop);
  record.pier_side = PierSide::West;
  log->Record(record, "s");
  log->ReadSideFrom(side);
  log->Record(record, "s");
  side->now = PierSide::West;
  log->Record(Of(RecordKind::Stop), "s");
  side->now = PierSide::Unknown;
  log->Record(record, "s");
  log->RecordError(Error(1, "x"), "s");
  EXPECT_EQ(memory.writes,
            (std::vector<std::string>{"T,stop,s,,,,,,,,,,,,,,,,,,west,,,,,,,,\r\n",
                                      "T,stop,s,,,,,,,,,,,,,,,,,,east,,,,,,,,\r\n",
                                      "T,stop,s,,,,,,,,,,,,,,,,,,west,,,,,,,,\r\n",
                                      "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n",
                                      "T,error,s,,,,,,,,,,,,,,,,0x00000001,x,,,,,,,,,\r\n"}));
}

TEST(LogLines, EachKindFillsItsColumns) {
  CycleRecord start = Of(RecordKind::Start);
  start.threshold_arcsec = 1;
  start.target = AxisPair{10, 20};
  EXPECT_EQ(RecordLine("T", start, "Normal Sidereal tracking"),
            "T,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,,,,,,,,,,\r\n");
  CycleRecord waited;
  waited.threshold_arcsec = 0.5;
  EXPECT_EQ(RecordLine("T", waited, "Waiting for slew to complete"),
            "T,cycle,Waiting for slew to complete,,,,,,,,,,,0.5,,,,,,,,,,,,,,,\r\n");
  EXPECT_EQ(RecordLine("T", Of(RecordKind::Stop), "Normal Sidereal tracking"),
            "T,stop,Normal Sidereal tracking,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
  EXPECT_EQ(RecordLine("T", Of(RecordKind::Abort), "Normal Sidereal tracking"),
            "T,abort,Normal Sidereal tracking,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
  CycleRecord pulsed;
  pulsed.threshold_arcsec = 1;
  pulsed.target = AxisPair{10, 20};
  pulsed.current = AxisPair{10.0001, 20};
  pulsed.target_scope = AxisPair{10.01, 20.02};
  pulsed.current_scope = AxisPair{10.0101, 20.0195};
  pulsed.error_arcsec = AxisPair{5.4, -1.8};
  pulsed.ra_pulse = SentPulse{GuideDirection::West, 359.99999999999704};
  pulsed.dec_pulse = SentPulse{GuideDirection::North, 119.99999999999903};
  EXPECT_EQ(RecordLine("2026-12-08T21:04:08.123Z", pulsed, "Orvan tracking"),
            "2026-12-08T21:04:08.123Z,cycle,Orvan tracking,10,20,10.0001,20,10.01,20.02,10.0101,"
            "20.0195,5.4,-1.8,1,W,359.99999999999704,N,119.99999999999903,,,,,,,,,,,\r\n");
  pulsed.ra_pulse = SentPulse{GuideDirection::East, 1e-05};
  pulsed.dec_pulse = SentPulse{GuideDirection::South, 0.1};
  EXPECT_NE(RecordLine("T", pulsed, "s").find(",E,1e-05,S,0.1,,,,,,,,,,,\r\n"), std::string::npos);
  EXPECT_EQ(MountLine("T", "INDI mount \"m\": pulses, \"said\"\n", "Orvan tracking"),
            "T,mount,Orvan tracking,,,,,,,,,,,,,,,,,\"INDI mount \"\"m\"\": pulses, "
            "\"\"said\"\"\\n\",,,,,,,,,\r\n");
}

TEST(LogLines, TheErrorReportQuotesItsText) {
  const Error error(errors::kConnectionLost, "INDI server 127.0.0.1:7624 connection lost, \"x\"");
  EXPECT_EQ(ErrorReportLine("T", error, "Orvan tracking"),
            "T,error,Orvan tracking,,,,,,,,,,,,,,,,0x80040504,"
            "\"INDI server 127.0.0.1:7624 connection lost, \"\"x\"\"\",,,,,,,,,\r\n");
}

// Every number field read back is the double that was written, bit for bit.
TEST(LogLines, NumbersReadBackExactly) {
  const double values[] = {0.1,
                           359.99999999999704,
                           1e-05,
                           -0.0,
                           5e-324,
                           std::numeric_limits<double>::max(),
                           -123456789.12345678,
                           0.00027777777777778,
                           1.0 / 3};
  for (const double v : values) {
    CycleRecord r;
    r.target = AxisPair{v, -v};
    const std::string line = RecordLine("T", r, "s");
    const std::size_t from = std::strlen("T,cycle,s,");
    const std::size_t comma = line.find(',', from);
    double back = 1;
    const auto res = std::from_chars(line.data() + from, line.data() + comma, back);
    ASSERT_EQ(res.ec, std::errc()) << line;
    EXPECT_EQ(res.ptr, line.data() + comma) << line;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << line;
  }
}

struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// A locale with a decimal comma changes nothing in the log: neither the C
// library's (where one is installed) nor the C++ library's.
TEST(LogLines, TheDecimalPointWhateverTheLocale) {
  const char* was = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = was != nullptr ? was : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  const std::locale previous = std::locale::global(std::locale(std::locale(), new DecimalComma));
  CycleRecord r;
  r.error_arcsec = AxisPair{5.4, -1234567.25};
  const std::string line = RecordLine("T", r, "s");
  std::locale::global(previous);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(line, "T,cycle,s,,,,,,,,,5.4,-1234567.25,,,,,,,,,,,,,,,,\r\n");
}

TEST(Continuation, HeaderWhereTheFileDoesNotStartWithOurs) {
  EXPECT_EQ(ContinuationOf("", ""), kHeader);
  EXPECT_EQ(ContinuationOf(kHeader, "\r\n"), "");
  const std::string older = "time,event,status,error\r\n";
  EXPECT_EQ(ContinuationOf(older, "\r\n"), kHeader);
  // Our header as the start of a longer one is another version's.
  EXPECT_EQ(ContinuationOf(std::string(kLogHeader) + ",extra", "\r\n"), kHeader);
}

TEST(Continuation, ALineCutShortIsEnded) {
  EXPECT_EQ(ContinuationOf(kHeader, ",cycle,Orv"), "\r\n");
  EXPECT_EQ(ContinuationOf("time,eve", "ve"), "\r\n" + kHeader);
  EXPECT_EQ(ContinuationOf(kHeader, "\n"), "");  // a line end is a line end
}

TEST(CycleLog, TheLeadGoesWithTheFirstLineInOneWrite) {
  Memory memory;
  auto log = MemoryLog(memory, nullptr, kHeader);
  log->Record(Of(RecordKind::Stop), "s");
  log->Record(Of(RecordKind::Stop), "s");
  EXPECT_EQ(memory.writes,
            (std::vector<std::string>{kHeader + "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n",
                                      "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"}));
}

TEST(CycleLog, AFailedWriteIsSaidOnceAndTheNextLineRestartsTheSection) {
  Memory memory;
  std::vector<std::string> failures;
  auto log = MemoryLog(memory, &failures);
  std::vector<std::string> also;
  log->AlsoOnFailure([&also](const std::string& m) { also.push_back(m); });
  memory.full = true;
  log->Record(Of(RecordKind::Stop), "s");
  log->RecordError(Error(1, "x"), "s");
  EXPECT_TRUE(log->failed());
  EXPECT_EQ(failures,
            std::vector<std::string>{"cannot write log night.csv: No space left on device"});
  EXPECT_EQ(also, failures);
  memory.full = false;
  log->Record(Of(RecordKind::Stop), "s");
  EXPECT_EQ(memory.writes,
            std::vector<std::string>{"\r\n" + kHeader + "T,stop,s,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"});
  memory.full = true;
  log->Record(Of(RecordKind::Stop), "s");
  EXPECT_EQ(failures.size(), 1u);
}

// The lines of a scenario's log, each of which was written whole.
using Lines = std::vector<std::string>;

TEST(LoggedScenario, StartWaitRecaptureCorrectStop) {
  EXPECT_EQ(
      LogOf(R"(answer Util.MapIdealToRawEqu 5.0001 30 5 30
load
click
answer Telescope.slewing bool:true
tick
answer Telescope.slewing bool:false
answer Telescope.RightAscension r8:5
answer Telescope.Declination r8:30
tick
tick
click
)"),
      (Lines{
          "T,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,,,,,,,,,,\r\n",
          "T,cycle,Waiting for slew to complete,,,,,,,,,,,1,,,,,,,,,,,,,,,\r\n",
          // A re-capture keeps the error it saw (truncated as a readout): here
          // where the slew went (one line, split for width).
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
          "T,cycle,Updating target coordinates,5,30,5,30,,,,,-270000,35999.999999,1,,,,,,,,,,,,,,"
          ",\r\n",
          // The readouts' error, truncated to a millionth of an arc-second (one
          // line, split for width).
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
          "T,cycle,Orvan tracking,5,30,5,30,5,30,5.0001,30,5.399999,0,1,W,"
          "359.99999999915804,,,,,,,,,,,,,\r\n",
          "T,stop,Normal Sidereal tracking,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"}));
}

// A mount that moved beyond five thresholds while held: the re-capture
// records the error that made it, on the reported positions.
TEST(LoggedScenario, ARecaptureFromHoldingKeepsTheErrorItSaw) {
  const Lines log = LogOf(R"(load
click
answer Telescope.RightAscension r8:9.9999
answer Telescope.Declination r8:20.002
tick
)");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1],
            "T,cycle,Updating target coordinates,9.9999,20.002,9.9999,20.002,,,,,-5.4,7.199999,1,"
            ",,,,,,,,,,,,,,\r\n");
}

// A mount that reports the very position it reported when right ascension
// was last pulsed (news: never again): the mount is where that pulse put it.
// With the target where it was, the error read is the one the pulse was
// sent for, and is not pulsed again; moved 0.0001 h, only the move is
// pulsed, as long as the first (360 ms, not 720); then, no further move,
// nothing. Declination, news each time, is pulsed for its whole error.
TEST(LoggedScenario, AReadingUnchangedSinceThePulseCorrectsOnlyWhatChangedSince) {
  struct StillRa final : PositionNews {
    std::vector<bool> asked;  // declination, for each question
    bool NewSincePulse(bool dec) noexcept override {
      asked.push_back(dec);
      return asked.size() <= 2 || dec;
    }
  } news;
  const Lines log = LogOf(R"(answer Util.MapIdealToRawEqu 10 20.0001 10.0001 20
load
type Text11 0.25
click
tick
answer Util.MapIdealToRawEqu 10 20.0001 10.0001 20
tick
answer Util.MapIdealToRawEqu 10 20.0001 10.0002 20
tick
answer Util.MapIdealToRawEqu 10 20.0001 10.0002 20
tick
)",
                          &news);
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1],
            "T,cycle,Orvan tracking,10,20,10,20,10.0001,20,10,20.0001,-5.4,0.359999,0.25,E,"
            "359.99999999915804,S,23.99999999994387,,,,,,,,,,,\r\n");
  EXPECT_EQ(log[2],
            "T,cycle,Orvan tracking,10,20,10,20,10.0001,20,10,20.0001,-5.4,0.359999,0.25,,,S,"
            "23.99999999994387,,,,,,,,,,,\r\n");
  const auto pulses = [](const std::string& line) {
    const std::string record = line.substr(0, line.size() - 2);  // the fields view it
    std::vector<std::string_view> fields;
    std::string unquoted;
    SplitCsvRecord(record, fields, unquoted, 1);
    return std::vector<std::string>(fields.begin() + 14, fields.begin() + 18);
  };
  const std::vector<std::string> moved = pulses(log[3]);
  EXPECT_EQ(moved[0], "E");
  EXPECT_NEAR(std::stod(moved[1]), 360, 1e-6);
  EXPECT_EQ(moved[2], "S");
  EXPECT_EQ(pulses(log[4]), (std::vector<std::string>{"", "", "S", "23.99999999994387"}));
  EXPECT_EQ(news.asked, (std::vector<bool>{false, true, false, true, false, true, false, true}));
}

TEST(LoggedScenario, BothAxesPulsed) {
  const Lines log = LogOf(R"(answer Util.MapIdealToRawEqu 10 20.0001 10.0001 20
load
type Text11 0.25
click
tick
)");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1],
            "T,cycle,Orvan tracking,10,20,10,20,10.0001,20,10,20.0001,-5.4,0.359999,0.25,E,"
            "359.99999999915804,S,23.99999999994387,,,,,,,,,,,\r\n");
}

TEST(LoggedScenario, AnAbortIsLoggedBeforeItsMessage) {
  EXPECT_EQ(LogOf(R"(answer Util.MapIdealToRawEqu 10.0001 20 10 20
load
click
answer Telescope.IsPulseGuiding bool:true
tick
)"),
            (Lines{"T,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,,,,,,,,,,\r\n",
                   "T,abort,Normal Sidereal tracking,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"}));
}

TEST(LoggedScenario, ACycleThatFailsIsLoggedThenTheReport) {
  EXPECT_EQ(LogOf(R"(load
click
raise Telescope.tracking 0x80040401 Mount not responding
tick
)"),
            (Lines{"T,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,,,,,,,,,,\r\n",
                   "T,cycle,Normal Sidereal tracking,,,,,,,,,,,1,,,,,,,,,,,,,,,\r\n",
                   "T,error,Normal Sidereal tracking,,,,,,,,,,,,,,,,0x80040401,"
                   "Mount not responding,,,,,,,,,\r\n"}));
}

TEST(LoggedScenario, AFailedStartUpIsLogged) {
  EXPECT_EQ(LogOf("nocreate ACP.Telescope\nload\n"),
            Lines{"T,error,Normal Sidereal tracking,,,,,,,,,,,,,,,,0x800401F3,"
                  "Invalid class string,,,,,,,,,\r\n"});
}

TEST(LoggedScenario, ARefusedStartLogsNothing) {
  EXPECT_EQ(LogOf("load\nanswer Telescope.Connected bool:false\nclick\n"), Lines{});
}

}  // namespace

// A frame's line: its own columns, the reason where the error report's text
// goes, the middle of the exposure to the millisecond.
TEST(CycleLog, AFrameLineFillsTheFrameColumns) {
  FrameNote note;
  note.file = "/frames/M 42, 1.fits";
  // 2026-12-08T21:04:08.123Z: 9838 days and 32,648.123 s after J2000.0.
  note.mid = 9838 * 86400.0 + 32648.123;
  note.drift_arcsec = AxisPair{0.25, -1.5};
  note.action = FrameAction::Refused;
  note.reason = "bad solve: 12.0\" from the prediction, limit 10.0\"";
  EXPECT_EQ(FrameLine("2026-12-08T21:04:40.000Z", note, "Orvan tracking"),
            "2026-12-08T21:04:40.000Z,frame,Orvan tracking,,,,,,,,,,,,,,,,,"
            "\"bad solve: 12.0\"\" from the prediction, limit 10.0\"\"\",,,,,"
            "\"/frames/M 42, 1.fits\",2026-12-08T21:04:08.123Z,0.25,-1.5,refused\r\n");
  EXPECT_EQ(FrameNoteText(note),
            "\"/frames/M 42, 1.fits\" refused, drift RA 0.25\" Dec -1.50\": bad solve: 12.0\" "
            "from the prediction, limit 10.0\"");
}

// Whatever a file's name holds, the log stays one line a record, in UTF-8.
TEST(CycleLog, AFrameLineStaysOneLineOfUtf8) {
  FrameNote note;
  note.file = "/frames/a\nb\r\xff\xe2\x80\xae.fits";
  note.action = FrameAction::Failed;
  note.reason = "not a FITS file";
  EXPECT_EQ(FrameLine("2026-12-08T21:04:40.000Z", note, "Orvan tracking"),
            "2026-12-08T21:04:40.000Z,frame,Orvan tracking,,,,,,,,,,,,,,,,,not a FITS file,,,,,"
            "/frames/a\\nb\\r\\xff\\u202e.fits,,,,failed\r\n");
}

}  // namespace orvan::tracking
