// The shapes Debian's telescope drivers give the properties the program
// reads, each sent by the stand-in server: what the mount opens with, what
// it says once of what the device lacks, and what holding it reads; and the
// few whose lack makes holding impossible, refused by name.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_mount.h"
#include "indi_server.h"
#include "observatory/indi/indi_names.h"
#include "observatory/indi/mount_shape.h"
#include "observatory/units.h"
#include "support/units.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using namespace standin;

const std::string kMount = "INDI mount \"Fake Mount\" ";
const std::string kNoPier =
    kMount +
    "has no TELESCOPE_PIER_SIDE: taken as on one side of the pier throughout, not "
    "through the pole";
const std::string kNoTrackState =
    kMount +
    "has no TELESCOPE_TRACK_STATE: tracking judged from its readings (a right ascension "
    "growing at the sidereal rate is a mount not tracking)";
const std::string kDefaultRate =
    ": pulses timed for 15\"/s, the program's default rate (--guide-rate gives the mount's, in "
    "times sidereal)";
const std::string kReportStep =
    kMount +
    "reports a new position only once it has moved 0.1 s in right ascension or 0.1\" "
    "in declination: a threshold below 1.5\" is finer than right ascension is "
    "reported, and a reading unchanged since a pulse is not taken for a new error";
const double kDefaultTimes = DefaultGuideRate / kSiderealDegPerSecond;

const std::string kPierSide = SwitchDefinition(
    kFakeDevice, names::kTelescopePierSide, {{names::kPierWest, false}, {names::kPierEast, true}});

std::string GuideRateSwitch(const std::vector<std::pair<std::string, std::string>>& labels,
                            const std::string& on) {
  std::string xml =
      "<defSwitchVector device=\"Fake Mount\" name=\"GUIDE_RATE\" label=\"Guide\" "
      "group=\"Main\" state=\"Ok\" perm=\"rw\" rule=\"OneOfMany\" timeout=\"0\">\n";
  for (const auto& [name, label] : labels)
    xml += "<defSwitch name=\"" + name + "\" label=\"" + label + "\">" +
           (name == on ? "On" : "Off") + "</defSwitch>\n";
  return xml + "</defSwitchVector>\n";
}

std::pair<std::string, std::string> GuideRateNumbers(
    const std::vector<std::pair<std::string, std::string>>& elements) {
  return {names::kGuideRate,
          NumberDefinition(kFakeDevice, names::kGuideRate, "Ok", elements, "0", "1")};
}

struct Shape {
  std::string name;
  std::vector<std::pair<std::string, std::string>> replaced = {};  // "": left out
  std::string extra = {};                                          // more definitions
  std::optional<double> guide_rate = {};                           // --guide-rate
  std::vector<std::string> notices = {};
  double ra_rate = 0.5, dec_rate = 0.5;  // times sidereal, as read
  std::uint32_t refused = 0;             // the error number opening raises; 0: it opens
  std::string refusal = {};
};

void PrintTo(const Shape& s, std::ostream* os) {
  *os << s.name;
}

std::string Missing(const std::string& property) {
  return "INDI property " + property + " missing on device \"Fake Mount\"";
}

std::vector<Shape> Shapes() {
  const auto refused = [](const std::string& property) {
    return Shape{.name = "No" + std::string(property),
                 .replaced = {{property, ""}},
                 .refused = errors::kPropertyMissing,
                 .refusal = Missing(property)};
  };
  return {
      {.name = "Standard", .extra = kPierSide},
      {.name = "NoPierSide", .notices = {kNoPier}},
      {.name = "NoGuideRate",
       .replaced = {{names::kGuideRate, ""}},
       .extra = kPierSide,
       .notices = {kMount + "has no GUIDE_RATE" + kDefaultRate},
       .ra_rate = kDefaultTimes,
       .dec_rate = kDefaultTimes},
      {.name = "NoGuideRateButGiven",
       .replaced = {{names::kGuideRate, ""}},
       .extra = kPierSide,
       .guide_rate = 0.75,
       .notices = {kMount + "has no GUIDE_RATE: pulses timed for 0.75 x sidereal, as "
                            "--guide-rate says"},
       .ra_rate = 0.75,
       .dec_rate = 0.75},
      {.name = "GivenRateLeavesTheMountsOwn", .extra = kPierSide, .guide_rate = 0.75},
      {.name = "RaAndDeGuideRate",
       .replaced = {GuideRateNumbers({{"RA_GUIDE_RATE", "0.3"}, {"DE_GUIDE_RATE", "0.6"}})},
       .extra = kPierSide,
       .ra_rate = 0.3,
       .dec_rate = 0.6},
      {.name = "OneElementForBoth",
       .replaced = {GuideRateNumbers({{"GUIDE_RATE", "0.4"}})},
       .extra = kPierSide,
       .notices = {kMount + "GUIDE_RATE has one element, GUIDE_RATE: taken for both axes"},
       .ra_rate = 0.4,
       .dec_rate = 0.4},
      {.name = "OtherElements",
       .replaced = {GuideRateNumbers({{"SLOW", "0.3"}, {"FAST", "0.6"}})},
       .extra = kPierSide,
       .notices = {kMount +
                   "GUIDE_RATE has neither GUIDE_RATE_WE and GUIDE_RATE_NS nor RA_GUIDE_RATE "
                   "and DE_GUIDE_RATE" +
                   kDefaultRate},
       .ra_rate = kDefaultTimes,
       .dec_rate = kDefaultTimes},
      {.name = "SwitchReadByItsLabel",
       .replaced = {{names::kGuideRate,
                     GuideRateSwitch({{"G1", "1.0x"}, {"G2", "0.25x"}, {"G3", "0.6"}}, "G2")}},
       .extra = kPierSide,
       .notices = {kMount + "GUIDE_RATE is a switch of fixed rates: the rate is read from the "
                            "label of the one on"},
       .ra_rate = 0.25,
       .dec_rate = 0.25},
      {.name = "SwitchWithoutARate",
       .replaced = {{names::kGuideRate, GuideRateSwitch({{"S", "Slow"}, {"F", "Fast"}}, "S")}},
       .extra = kPierSide,
       .notices = {kMount + "GUIDE_RATE is a switch whose label gives no rate" + kDefaultRate},
       .ra_rate = kDefaultTimes,
       .dec_rate = kDefaultTimes},
      {.name = "NoTrackState",
       .replaced = {{names::kTelescopeTrackState, ""}},
       .extra = kPierSide,
       .notices = {kNoTrackState}},
      {.name = "LackingAllThree",
       .replaced = {{names::kTelescopeTrackState, ""}, {names::kGuideRate, ""}},
       .notices = {kMount + "has no GUIDE_RATE" + kDefaultRate, kNoTrackState, kNoPier},
       .ra_rate = kDefaultTimes,
       .dec_rate = kDefaultTimes},
      refused(names::kEquatorialEodCoord),
      refused(names::kTelescopeTimedGuideNs),
      refused(names::kTelescopeTimedGuideWe),
      refused(names::kGeographicCoord),
  };
}

class ShapeTable : public ::testing::TestWithParam<Shape> {};

TEST_P(ShapeTable, OpensWhatHoldingNeedsAndSaysOnceWhatItLacks) {
  const Shape& s = GetParam();
  FakeServer server;
  server.On("<getProperties", {Send(MountGreeting(s.replaced, s.extra))});
  server.On(std::string("name='") + names::kTelescopeTimedGuideNs + "'",
            {Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Busy", 0, 0))}, true);
  IndiOptions options = FakeOptions(server);
  options.guide_rate = s.guide_rate;
  std::vector<std::string> notices;
  options.notice = [&](const MountNote& note) { notices.push_back(note.text); };
  IndiMount mount(options);
  try {
    mount.Open();
    EXPECT_EQ(s.refused, 0u);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), s.refused);
    EXPECT_EQ(e.description(), s.refusal);
    EXPECT_TRUE(notices.empty());
    return;
  }
  std::vector<std::string> expected = s.notices;
  expected.push_back(kReportStep);
  EXPECT_EQ(notices, expected);
  EXPECT_DOUBLE_EQ(mount.GuideRateRa(), s.ra_rate * kSiderealDegPerSecond);
  EXPECT_DOUBLE_EQ(mount.GuideRateDec(), s.dec_rate * kSiderealDegPerSecond);
  EXPECT_TRUE(mount.Tracking());
  // Said at the start only.
  mount.Open();
  EXPECT_EQ(notices.size(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeTable, ::testing::ValuesIn(Shapes()),
                         [](const auto& info) { return info.param.name; });

// A mount without TELESCOPE_TRACK_STATE, judged by its readings: each row
// a right ascension received at a time, then whether the look after it
// finds the mount tracking.
struct Look {
  double seconds;  // when the look is, and the reading came if it is new
  double ra_gain;  // seconds of right ascension since the first reading
  bool new_reading;
  bool ra_pulsed;
  bool tracking;
};

TEST(TrackingByReadings, JudgesFromHowFastTheRightAscensionGrows) {
  const double sidereal = kSiderealRatio;
  const std::vector<std::pair<std::string, std::vector<Look>>> runs = {
      {"still", {{0, 0, true, false, true}, {4, 0, false, false, true}}},
      {"not tracking, then nothing new for a while",
       {{0, 0, true, false, true},
        {4, 4 * sidereal, true, false, false},
        {8.9, 4 * sidereal, false, false, false},
        {9, 4 * sidereal, false, false, true}}},
      {"not tracking",
       {{0, 0, true, false, true},
        {4, 4 * sidereal, true, false, false},
        {8, 8 * sidereal, true, false, false}}},
      {"tracking again",
       {{0, 0, true, false, true},
        {4, 4 * sidereal, true, false, false},
        {8, 4 * sidereal, false, false, false},
        {9, 4 * sidereal, false, false, true}}},
      {"a pulse explains the motion",
       {{0, 0, true, false, true}, {4, 4 * sidereal, true, true, true}}},
      {"too close to judge, then judged over the longer span",
       {{0, 0, true, false, true},
        {1, sidereal, true, false, true},
        {4, 4 * sidereal, true, false, false}}},
      {"a slew's jump is no sidereal motion",
       {{0, 0, true, false, true}, {4, 3600, true, false, true}}},
      {"across 0 h", {{0, -2, true, false, true}, {4, 2, true, false, false}}},
  };
  for (const auto& [name, looks] : runs) {
    TrackingByReadings judge;
    const auto start = std::chrono::steady_clock::time_point{};
    std::uint64_t updates = 0;
    auto received = start;
    for (const Look& l : looks) {
      const auto at = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(l.seconds));
      if (l.new_reading) {
        ++updates;
        received = at;
      }
      const double ra = Wrap24(l.ra_gain / kSecondsPerHour);
      EXPECT_EQ(judge.Look(ra, received, updates, l.ra_pulsed, at), l.tracking)
          << name << " at " << l.seconds;
    }
  }
}

// The same through the mount driver: the stand-in mount stops tracking (its
// right ascension grows at the sidereal rate, by the link's clock) and
// starts again.
TEST(TrackingByReadings, AMountWithoutTheSwitchIsJudgedByItsPosition) {
  FakeServer server;
  server.On("<getProperties", {Send(MountGreeting({{names::kTelescopeTrackState, ""}}))});
  IndiOptions options = FakeOptions(server);
  std::atomic<std::int64_t> now_ms{0};
  options.now = [&] {
    return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(now_ms.load());
  };
  IndiMount mount(options);
  mount.Open();
  EXPECT_TRUE(mount.Tracking());
  const auto reads = [&](const std::string& ra) {
    return WaitFor(10s, [&] { return standin::NumberText(mount.Axes().ra) == ra; });
  };
  now_ms = 4000;
  const double moved = 5.5 + 4 * kSiderealRatio / kSecondsPerHour;
  ASSERT_TRUE(server.Do({Send(PositionUpdate("Ok", standin::NumberText(moved), "20"))}));
  ASSERT_TRUE(reads(standin::NumberText(moved)));
  EXPECT_FALSE(mount.Tracking());
  now_ms = 8000;
  EXPECT_FALSE(mount.Tracking());  // a poll may yet come
  now_ms = 9000;
  EXPECT_TRUE(mount.Tracking());  // nothing new for five seconds: it stays put
}

// The program repairs a zero guide rate by writing its default: where that
// lies beyond an element's declared range, as iOptron's rates do, the
// nearest end is sent, and so for the other axis' zero, as drivers refuse a
// vector with any value out of range.
TEST(GuideRateWrite, AZeroRateIsRepairedWithinTheDeclaredRanges) {
  const std::string rates =
      "<defNumberVector device=\"Fake Mount\" name=\"GUIDE_RATE\" state=\"Idle\" perm=\"rw\">"
      "<defNumber name=\"RA_GUIDE_RATE\" format=\"%g\" min=\"0.01\" max=\"0.9\" step=\"0.1\">0"
      "</defNumber><defNumber name=\"DE_GUIDE_RATE\" format=\"%g\" min=\"0.1\" max=\"0.99\" "
      "step=\"0.1\">0</defNumber></defNumberVector>\n";
  FakeServer server;
  server.On("<getProperties", {Send(MountGreeting({{names::kGuideRate, rates}}))});
  server.On("name='GUIDE_RATE'",
            {Send(NumberUpdate(kFakeDevice, names::kGuideRate, "Ok",
                               {{"RA_GUIDE_RATE", "0.9"}, {"DE_GUIDE_RATE", "0.1"}}))});
  IndiMount mount(FakeOptions(server));
  mount.Open();
  EXPECT_EQ(mount.GuideRateRa(), 0);
  mount.SetGuideRateRa(DefaultGuideRate);
  const std::vector<std::string> sent = server.Received("newNumberVector", names::kGuideRate);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].find("name='RA_GUIDE_RATE'>\n      0.9000000000000000222\n"), std::string::npos)
      << sent[0];
  EXPECT_NE(sent[0].find("name='DE_GUIDE_RATE'>\n      0.10000000000000000555\n"),
            std::string::npos)
      << sent[0];
  EXPECT_DOUBLE_EQ(mount.GuideRateRa(), 0.9 * kSiderealDegPerSecond);
}

// After a pulse, the position the mount reported when it was sent is no news
// on that axis until the mount reports another; a slew the program sends
// forgets the pulses.
TEST(PositionNews, AReadingIsNewsOnceItDiffersFromTheOneAtThePulse) {
  FakeServer server;
  server.On("<getProperties", {Send(MountGreeting())});
  server.On(std::string("name='") + names::kTelescopeTimedGuideNs + "'",
            {Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Busy", kStepPulseMs, 0))}, true);
  IndiMount mount(FakeOptions(server));
  ASSERT_FALSE(CorrectionStep(mount));
  EXPECT_FALSE(mount.NewSincePulse(true));
  EXPECT_TRUE(mount.NewSincePulse(false));  // never pulsed
  // Republished as it was (a driver that sends every poll): still no news.
  // The guide rate after it shows when it has come.
  ASSERT_TRUE(server.Do(
      {Send(PositionUpdate("Ok", "5.5", "20")),
       Send(NumberUpdate(kFakeDevice, names::kGuideRate, "Ok",
                         {{names::kGuideRateWe, "0.25"}, {names::kGuideRateNs, "0.5"}}))}));
  ASSERT_TRUE(WaitFor(10s, [&] { return mount.GuideRateRa() == 0.25 * kSiderealDegPerSecond; }));
  EXPECT_FALSE(mount.NewSincePulse(true));
  ASSERT_TRUE(server.Do({Send(PositionUpdate("Ok", "5.5", "20.0002"))}));
  ASSERT_TRUE(WaitFor(10s, [&] { return mount.Axes().dec == 20.0002; }));
  EXPECT_TRUE(mount.NewSincePulse(true));
  ASSERT_FALSE(CorrectionStep(mount));
  EXPECT_FALSE(mount.NewSincePulse(true));
}

}  // namespace
}  // namespace orvan::indi
