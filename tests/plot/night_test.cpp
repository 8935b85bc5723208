// The night's figures, worked by hand on small logs.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "plot/night.h"

namespace orvan::plot {
namespace {

constexpr std::int64_t k2100 = 1796763600000;  // 2026-12-08T21:00:00.000Z
constexpr std::int64_t kSecond = 1000;

// In the version before pier_side: a reader still takes it.
Night NightOf(const std::string& lines) {
  std::istringstream in(
      "time,event,status,target_ra,target_dec,current_ra,current_dec,target_scope_ra,"
      "target_scope_dec,current_scope_ra,current_scope_dec,error_ra_arcsec,error_dec_arcsec,"
      "threshold_arcsec,ra_pulse,ra_pulse_ms,dec_pulse,dec_pulse_ms,error_number,error_text\r\n" +
      lines);
  return ReadNight(in);
}

// Four lines: a start; a cycle at RA +3", Dec -4" pulsing W and N; a cycle
// waiting for a slew; a cycle at RA -1", Dec +2" pulsing S only.
//   RA:  3² + 1² = 10 over 2 cycles: RMS √5, max 3, one W pulse.
//   Dec: 4² + 2² = 20 over 2 cycles: RMS √10, max 4, one N and one S pulse.
const char kFourLines[] =
    "2026-12-08T21:00:00.000Z,start,Normal Sidereal tracking,10,20,,,,,,,,,1,,,,,,\r\n"
    "2026-12-08T21:00:04.000Z,cycle,Orvan tracking,,,,,,,,,3,-4,1,W,200,N,266.5,,\r\n"
    "2026-12-08T21:00:08.000Z,cycle,Waiting for slew to complete,,,,,,,,,,,1,,,,,,\r\n"
    "2026-12-08T21:00:12.000Z,cycle,Orvan tracking,,,,,,,,,-1,2,1,,,S,133,,\r\n";

TEST(Night, FiguresOfFourLines) {
  const Night night = NightOf(kFourLines);
  EXPECT_EQ(night.cycles(), 3);
  EXPECT_EQ(night.ra().samples, 2);
  EXPECT_EQ(night.ra().sum_squares, 10);
  EXPECT_EQ(night.ra().rms(), std::sqrt(5.0));
  EXPECT_EQ(night.ra().max_abs, 3);
  EXPECT_EQ(night.ra().pulses_minus, 1);
  EXPECT_EQ(night.ra().pulses_plus, 0);
  EXPECT_EQ(night.ra().longest_pulse_ms, 200);

  EXPECT_EQ(night.dec().sum_squares, 20);
  EXPECT_EQ(night.dec().rms(), std::sqrt(10.0));
  EXPECT_EQ(night.dec().max_abs, 4);
  EXPECT_EQ(night.dec().pulses_minus, 1);
  EXPECT_EQ(night.dec().pulses_plus, 1);
  EXPECT_EQ(night.dec().pulses(), 2);
  EXPECT_EQ(night.dec().longest_pulse_ms, 266.5);
}

TEST(Night, RecordsOfFourLines) {
  const Night night = NightOf(kFourLines);
  ASSERT_EQ(night.measured().size(), 2u);
  const CycleRecord& first = night.measured()[0];
  EXPECT_EQ(first.time_ms, k2100 + 4 * kSecond);
  EXPECT_EQ(first.error[0], 3.0f);
  EXPECT_EQ(first.error[1], -4.0f);
  EXPECT_EQ(first.pulse_sign[0], -1);
  EXPECT_EQ(first.pulse_sign[1], 1);
  EXPECT_EQ(first.pulse_ms[1], 266.5f);
  EXPECT_TRUE(first.run_start);
  // The wait between them breaks the line.
  EXPECT_TRUE(night.measured()[1].run_start);

  EXPECT_EQ(night.begin_ms(), k2100);
  EXPECT_EQ(night.end_ms(), k2100 + 16 * kSecond);  // a cycle after the last line
  ASSERT_EQ(night.waits().size(), 1u);
  EXPECT_EQ(night.waits()[0].begin_ms, k2100 + 8 * kSecond);
  EXPECT_EQ(night.waits()[0].end_ms, k2100 + 12 * kSecond);
  EXPECT_EQ(night.waits()[0].activity, Activity::WaitingForSlew);
  ASSERT_EQ(night.thresholds().size(), 1u);
  EXPECT_EQ(night.thresholds()[0].begin_ms, k2100);
  EXPECT_EQ(night.thresholds()[0].end_ms, k2100 + 16 * kSecond);
  ASSERT_EQ(night.marks().size(), 1u);
  EXPECT_EQ(night.marks()[0].event, Event::Start);
}

TEST(Night, SpansEndWithAStopAndANewThreshold) {
  const Night night = NightOf(
      "2026-12-08T21:00:00.000Z,start,s,10,20,,,,,,,,,1,,,,,,\r\n"
      "2026-12-08T21:00:04.000Z,cycle,Orvan tracking,,,,,,,,,0.5,0.5,1,,,,,,\r\n"
      "2026-12-08T21:00:06.000Z,stop,s,,,,,,,,,,,,,,,,,\r\n"
      "2026-12-08T21:01:00.000Z,start,s,10,20,,,,,,,,,2,,,,,,\r\n"
      "2026-12-08T21:01:04.000Z,cycle,Updating target coordinates,10,20,,,,,,,,,2,,,,,,\r\n"
      "2026-12-08T21:01:08.000Z,error,s,,,,,,,,,,,,,,,,0x80040504,lost\r\n");
  EXPECT_EQ(night.cycles(), 2);
  EXPECT_EQ(night.largest_threshold(), 2);
  ASSERT_EQ(night.thresholds().size(), 2u);
  EXPECT_EQ(night.thresholds()[0].end_ms, k2100 + 6 * kSecond);
  EXPECT_EQ(night.thresholds()[1].begin_ms, k2100 + 60 * kSecond);
  EXPECT_EQ(night.thresholds()[1].end_ms, k2100 + 68 * kSecond);
  EXPECT_EQ(night.thresholds()[1].threshold, 2);
  ASSERT_EQ(night.waits().size(), 1u);
  EXPECT_EQ(night.waits()[0].activity, Activity::Recapturing);
  EXPECT_EQ(night.waits()[0].end_ms, k2100 + 68 * kSecond);
  ASSERT_EQ(night.marks().size(), 4u);
  EXPECT_EQ(night.marks()[3].event, Event::Error);
  EXPECT_EQ(night.marks()[3].error_number, 0x80040504u);
}

// A re-capture from holding counts the error it saw and is kept to be
// marked; one after a wait saw where the mount was sent, and a log from
// before re-captures kept their error has none to count.
//   RA:  1² + 6² = 37 over 2; Dec: 1² + 8² = 65 over 2.
TEST(Night, ReCapturesFromHoldingCountTheErrorTheySaw) {
  const Night night = NightOf(
      "2026-12-08T21:00:00.000Z,start,s,10,20,,,,,,,,,1,,,,,,\r\n"
      "2026-12-08T21:00:04.000Z,cycle,Orvan tracking,,,,,,,,,1,-1,1,,,,,,\r\n"
      "2026-12-08T21:00:08.000Z,cycle,Updating target coordinates,,,,,,,,,-6,8,1,,,,,,\r\n"
      "2026-12-08T21:00:12.000Z,cycle,Waiting for slew to complete,,,,,,,,,,,1,,,,,,\r\n"
      "2026-12-08T21:00:16.000Z,cycle,Updating target coordinates,,,,,,,,,3600,-7200,1,,,,,,\r\n"
      "2026-12-08T21:00:20.000Z,cycle,Updating target coordinates,,,,,,,,,,,1,,,,,,\r\n");
  EXPECT_EQ(night.ra().samples, 2);
  EXPECT_EQ(night.ra().sum_squares, 37);
  EXPECT_EQ(night.ra().max_abs, 6);
  EXPECT_EQ(night.dec().sum_squares, 65);
  EXPECT_EQ(night.dec().max_abs, 8);
  ASSERT_EQ(night.measured().size(), 1u);
  ASSERT_EQ(night.recaptures().size(), 1u);
  EXPECT_EQ(night.recaptures()[0].time_ms, k2100 + 8 * kSecond);
  EXPECT_EQ(night.recaptures()[0].error[0], -6.0f);
  EXPECT_EQ(night.recaptures()[0].error[1], 8.0f);
}

TEST(Night, EachChangeOfPierSideIsMarkedWithTheNewSide) {
  // East, east, west; a line that does not tell; west, then east again.
  const char* const sides[] = {"east", "east", "west", "", "west", "east"};
  std::string log = std::string(kLogHeader) + "\r\n";
  for (int i = 0; i < 6; ++i)
    log += "2026-12-08T21:00:0" + std::to_string(i) +
           ".000Z,cycle,Orvan tracking,,,,,,,,,0,0,1,,,,,,," + sides[i] + ",,,,,,,,\r\n";
  std::istringstream in(log);
  const Night night = ReadNight(in);
  ASSERT_EQ(night.marks().size(), 2u);
  EXPECT_EQ(night.marks()[0].event, Event::SideChange);
  EXPECT_EQ(night.marks()[0].time_ms, k2100 + 2 * kSecond);
  EXPECT_EQ(night.marks()[0].side, PierSide::West);
  EXPECT_EQ(night.marks()[1].time_ms, k2100 + 5 * kSecond);
  EXPECT_EQ(night.marks()[1].side, PierSide::East);
  EXPECT_EQ(night.cycles(), 6);
}

// A frame line read at 21:00:SS, from its error_text on.
std::string FrameLine(const std::string& seconds, const std::string& rest) {
  return "2026-12-08T21:00:" + seconds + ".000Z,frame,Orvan tracking,,,,,,,,,,,,,,,,," + rest +
         "\r\n";
}

// Frames between the cycles: kept at the middle of their exposure with their
// drift, a refused one marked so; the others are not drawn. They, and a note
// on the mount, neither break the error trace nor end the threshold's span.
TEST(Night, FramesAreKeptAtTheirMiddleWithTheirDrift) {
  std::istringstream in(
      std::string(kLogHeader) + "\r\n" +
      "2026-12-08T21:00:00.000Z,start,s,10,20,,,,,,,,,1,,,,,,,east,,,,,,,,\r\n" +
      "2026-12-08T21:00:04.000Z,cycle,Orvan tracking,,,,,,,,,0.5,0.5,1,,,,,,,east,,,,,,,,\r\n" +
      FrameLine("05", ",,,,,/f/1.fits,2026-12-08T21:00:02.500Z,0,0,reference") +
      "2026-12-08T21:00:06.000Z,mount,Orvan tracking,,,,,,,,,,,,,,,,,\"INDI mount \"\"m\"\": "
      "right ascension pulses move the mount again\",,,,,,,,,\r\n" +
      "2026-12-08T21:00:08.000Z,cycle,Orvan tracking,,,,,,,,,0.25,0.75,1,,,,,,,east,,,,,,,,\r\n" +
      FrameLine("09", ",,,,,/f/2.fits,2026-12-08T21:00:06.500Z,0.75,-0.5,used") +
      FrameLine("10", "bad solve,,,,,/f/3.fits,2026-12-08T21:00:07.250Z,12,-3,refused") +
      FrameLine("11", "taken across a slew,,,,,/f/4.fits,2026-12-08T21:00:07.500Z,,,ignored") +
      FrameLine("11", "no solution,,,,,/f/5.fits,,,,failed") +
      "2026-12-08T21:00:12.000Z,cycle,Orvan tracking,,,,,,,,,-0.5,0.25,1,,,,,,,east,,,,,,,,\r\n");
  const Night night = ReadNight(in);
  ASSERT_EQ(night.frames().size(), 3u);
  const FrameRecord& reference = night.frames()[0];
  EXPECT_EQ(reference.mid_ms, k2100 + 2500);
  EXPECT_EQ(reference.drift[0], 0.0f);
  EXPECT_EQ(reference.drift[1], 0.0f);
  EXPECT_FALSE(reference.refused);
  const FrameRecord& used = night.frames()[1];
  EXPECT_EQ(used.mid_ms, k2100 + 6500);
  EXPECT_EQ(used.drift[0], 0.75f);
  EXPECT_EQ(used.drift[1], -0.5f);
  EXPECT_FALSE(used.refused);
  const FrameRecord& refused = night.frames()[2];
  EXPECT_EQ(refused.mid_ms, k2100 + 7250);
  EXPECT_EQ(refused.drift[0], 12.0f);
  EXPECT_EQ(refused.drift[1], -3.0f);
  EXPECT_TRUE(refused.refused);

  EXPECT_EQ(night.cycles(), 3);
  ASSERT_EQ(night.measured().size(), 3u);
  EXPECT_FALSE(night.measured()[1].run_start);
  EXPECT_FALSE(night.measured()[2].run_start);
  ASSERT_EQ(night.marks().size(), 1u);
  EXPECT_EQ(night.marks()[0].event, Event::Start);
  ASSERT_EQ(night.thresholds().size(), 1u);
  EXPECT_EQ(night.thresholds()[0].end_ms, k2100 + 16 * kSecond);
  EXPECT_TRUE(night.waits().empty());
}

TEST(Night, AHeaderAloneHasNoCycles) {
  EXPECT_TRUE(NightOf("").empty());
  EXPECT_TRUE(NightOf("2026-12-08T21:00:00.000Z,start,s,10,20,,,,,,,,,1,,,,,,\r\n").empty());
}

}  // namespace
}  // namespace orvan::plot
