// The INDI mount driver against a stand-in server that misbehaves: each row
// sends one fault and checks that the correction step ends in the message
// naming its cause, within the short answer limit, and sends no pulse on it.
// Rows marked "the library" pin down what Debian's INDI client library does
// with a value before the program sees it (docs/indi.md).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_mount.h"
#include "indi_server.h"
#include "observatory/indi/indi_names.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using namespace standin;

constexpr auto kEventLimit = 10s;  // generous: a loaded machine

struct Fault {
  std::string name;
  std::vector<std::pair<std::string, std::string>> replaced = {};  // definitions at the start
  std::string before_last = {};                                    // among the definitions
  std::vector<Action> mid_run = {};                                // once the mount is open
  std::optional<std::vector<Action>> greeting = {};  // instead of the mount's definitions
  std::vector<Action> pulse_answer = {
      Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Busy", kStepPulseMs, 0))};
  std::uint32_t number = 0;  // 0: the step succeeds
  std::string message = {};  // "{server}" stands for 127.0.0.1:PORT
  std::size_t pulses = 0;
  std::optional<double> ra = {}, dec = {};  // read after the step
};

void PrintTo(const Fault& f, std::ostream* os) {
  *os << f.name;
}

std::string Position(const std::string& ra, const std::string& dec,
                     const std::string& state = "Ok") {
  return NumberDefinition(kFakeDevice, names::kEquatorialEodCoord, state,
                          {{names::kRa, ra}, {names::kDec, dec}});
}

std::vector<std::pair<std::string, std::string>> PositionIs(const std::string& ra,
                                                            const std::string& dec) {
  return {{names::kEquatorialEodCoord, Position(ra, dec)}};
}

std::vector<std::pair<std::string, std::string>> GuideRateIs(
    const std::vector<std::pair<std::string, std::string>>& elements) {
  return {{names::kGuideRate,
           NumberDefinition(kFakeDevice, names::kGuideRate, "Ok", elements, "0", "1")}};
}

std::vector<std::pair<std::string, std::string>> SiteIs(const std::string& lat,
                                                        const std::string& lon,
                                                        const std::string& elev) {
  return {{names::kGeographicCoord,
           NumberDefinition(kFakeDevice, names::kGeographicCoord, "Ok",
                            {{names::kLat, lat}, {names::kLong, lon}, {names::kElev, elev}})}};
}

std::string Where(const std::string& property_element) {
  return "INDI device \"Fake Mount\" " + property_element;
}

const std::uint32_t kBad = errors::kBadReading;

std::vector<Fault> Reading() {
  const auto ra = [](const std::string& name, const std::string& v, const std::string& why) {
    return Fault{.name = "Ra" + name,
                 .replaced = PositionIs(v, "20"),
                 .number = kBad,
                 .message = Where("EQUATORIAL_EOD_COORD.RA = " + why)};
  };
  const auto dec = [](const std::string& name, const std::string& v, const std::string& why) {
    return Fault{.name = "Dec" + name,
                 .replaced = PositionIs("5.5", v),
                 .number = kBad,
                 .message = Where("EQUATORIAL_EOD_COORD.DEC = " + why)};
  };
  const auto reads = [](std::string name, const std::string& ra_text, const std::string& dec_text,
                        double ra_v, double dec_v) {
    return Fault{.name = std::move(name),
                 .replaced = PositionIs(ra_text, dec_text),
                 .pulses = 1,
                 .ra = ra_v,
                 .dec = dec_v};
  };
  return {
      ra("Nan", "nan", "nan: not a finite number"),
      ra("Inf", "inf", "inf: not a finite number"),
      ra("Huge", "1e308", "1e+308: out of range [0, 24)"),
      ra("TwentyFive", "25", "25: out of range [0, 24)"),
      ra("MinusOne", "-1", "-1: out of range [0, 24)"),
      ra("NinetyOne", "91", "91: out of range [0, 24)"),
      dec("Nan", "nan", "nan: not a finite number"),
      dec("Inf", "inf", "inf: not a finite number"),
      dec("Huge", "1e308", "1e+308: out of range [-90, 90]"),
      dec("NinetyOne", "91", "91: out of range [-90, 90]"),
      reads("DecTwentyFiveIsADeclination", "5.5", "25", 5.5, 25),
      reads("DecMinusOneIsADeclination", "5.5", "-1", 5.5, -1),
      reads("SexagesimalDefinitionReadsRight", "10:30:00", "-10:30:00", 10.5, -10.5),
      reads("TheLibraryReadsAbcAsZero", "abc", "abc", 0, 0),
      reads("TheLibraryReadsEmptyAsZero", "", "", 0, 0),
      {.name = "DecNanInAnUpdate",
       .mid_run = {Send(PositionUpdate("Ok", "5.5", "nan"))},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD.DEC = nan: not a finite number")},
      {.name = "DecNinetyOneInAnUpdate",
       .mid_run = {Send(PositionUpdate("Ok", "5.5", "91"))},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD.DEC = 91: out of range [-90, 90]")},
      {.name = "TheLibraryReadsSexagesimalUpdatesToTheFirstColon",
       .mid_run = {Send(PositionUpdate("Ok", "10:30:00", "20"))},
       .pulses = 1,
       .ra = 10,
       .dec = 20},
  };
}

std::vector<Fault> Site() {
  return {
      {.name = "LatitudeNinetyOne",
       .replaced = SiteIs("91", "255", "1600"),
       .number = kBad,
       .message = Where("GEOGRAPHIC_COORD.LAT = 91: out of range [-90, 90]")},
      {.name = "LongitudeBeyondAFullTurn",
       .replaced = SiteIs("40", "400", "1600"),
       .number = kBad,
       .message = Where("GEOGRAPHIC_COORD.LONG = 400: out of range [-180, 360]")},
      {.name = "ElevationInOrbit",
       .replaced = SiteIs("40", "255", "20000"),
       .number = kBad,
       .message = Where("GEOGRAPHIC_COORD.ELEV = 20000: out of range [-500, 10000]")},
  };
}

std::vector<Fault> Structure() {
  const std::string restarted = "INDI device \"Fake Mount\" driver restarted: ";
  return {
      {.name = "DecElementMissing",
       .replaced = {{names::kEquatorialEodCoord,
                     NumberDefinition(kFakeDevice, names::kEquatorialEodCoord, "Ok",
                                      {{names::kRa, "5.5"}})}},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD has no element DEC")},
      {.name = "OnlyUnknownElements",
       .replaced = {{names::kEquatorialEodCoord,
                     NumberDefinition(kFakeDevice, names::kEquatorialEodCoord, "Ok",
                                      {{"RA_X", "5.5"}, {"DEC_X", "20"}})}},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD has no element RA")},
      {.name = "AnotherTypeFromTheStart",
       .replaced = {{names::kEquatorialEodCoord,
                     "<defTextVector device=\"Fake Mount\" name=\"EQUATORIAL_EOD_COORD\" "
                     "state=\"Ok\" perm=\"ro\"><defText name=\"RA\">5.5</defText>"
                     "<defText name=\"DEC\">20</defText></defTextVector>\n"}},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD is a Text vector, not a Number vector")},
      {.name = "RedefinedWithOtherElements",
       .mid_run = {Send(Deletion(kFakeDevice, names::kEquatorialEodCoord)),
                   Send(NumberDefinition(kFakeDevice, names::kEquatorialEodCoord, "Ok",
                                         {{"RA2", "5.5"}, {"DEC2", "20"}}))},
       .number = errors::kDriverRestarted,
       .message = restarted + "its property EQUATORIAL_EOD_COORD was deleted mid-run"},
      {.name = "DriverRestarted",
       .mid_run = {Send(Deletion(kFakeDevice)), Send(MountGreeting())},
       .number = errors::kDriverRestarted,
       .message = restarted + "all its properties were deleted mid-run"},
      {.name = "TheLibraryDropsAnUpdateInStateBogus",
       .mid_run = {Send(PositionUpdate("Bogus", "5.5", "91"))},
       .pulses = 1,
       .ra = 5.5,
       .dec = 20},
      {.name = "TheLibraryReadsADefinitionInStateBogusAsOk",
       .replaced = {{names::kEquatorialEodCoord, Position("5.5", "20", "Bogus")}},
       .pulses = 1,
       .ra = 5.5,
       .dec = 20},
      {.name = "CoordinatesInAlert",
       .mid_run = {Send(PositionUpdate("Alert", "5.5", "20"))},
       .number = kBad,
       .message = Where("EQUATORIAL_EOD_COORD is in Alert")},
      {.name = "DeviceSwitchedToDisconnect",
       .mid_run = {Send("<setSwitchVector device=\"Fake Mount\" name=\"CONNECTION\" state=\"Ok\">"
                        "<oneSwitch name=\"CONNECT\">Off</oneSwitch>"
                        "<oneSwitch name=\"DISCONNECT\">On</oneSwitch></setSwitchVector>\n")},
       .number = kBad,
       .message = Where("CONNECTION.DISCONNECT = On: the device is disconnected")},
      {.name = "DeviceInAlert",
       .mid_run = {Send(
           "<setSwitchVector device=\"Fake Mount\" name=\"CONNECTION\" state=\"Alert\">"
           "<oneSwitch name=\"CONNECT\">On</oneSwitch></setSwitchVector>\n")},
       .number = kBad,
       .message = Where("CONNECTION is in Alert")},
  };
}

std::vector<Fault> Transport() {
  const std::string partial =
      "<setNumberVector device=\"Fake Mount\" name=\"EQUATORIAL_EOD_COORD\" state=\"Ok\">"
      "<oneNumber name=\"RA\">5.";
  return {
      {.name = "ClosedMidMessage",
       .mid_run = {Send(partial), Close()},
       .number = errors::kConnectionLost,
       .message = "INDI server {server} connection lost"},
      {.name = "ClosedMidGreeting",
       .greeting = std::vector<Action>{Send(MountGreeting().substr(0, 300)), Close()},
       .number = errors::kConnectionLost,
       .message = "INDI server {server} connection lost"},
      {.name = "TheLibrarySkipsGarbageBetweenMessages",
       .mid_run = {Send("\x01\x02 garbage ]]> <<>> &&& \n")},
       .pulses = 1,
       .ra = 5.5,
       .dec = 20},
      {.name = "GarbageInsteadOfIndi",
       .greeting =
           std::vector<Action>{Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")},
       .number = errors::kNoAnswer,
       .message = "INDI server {server} did not answer within 1 s (no device shown)"},
      {.name = "NeverSpeaks",
       .greeting = std::vector<Action>{},
       .number = errors::kNoAnswer,
       .message = "INDI server {server} did not answer within 1 s (no device shown)"},
      {.name = "ByteByByte",
       .greeting = std::vector<Action>{Trickle(MountGreeting())},
       .pulses = 1,
       .ra = 5.5,
       .dec = 20},
  };
}

std::vector<Fault> Pulses() {
  const std::string too_long =
      Where("TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N takes at most 60000 ms: ");
  return {
      {.name = "RateTiny",
       .replaced = GuideRateIs({{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "1e-300"}}),
       .number = errors::kPulseTooLong,
       .message = too_long + "a pulse of 5e+302 ms was not sent"},
      {.name = "RateSmall",
       .replaced = GuideRateIs({{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "1e-4"}}),
       .number = errors::kPulseTooLong,
       .message = too_long + "a pulse of 5000000 ms was not sent"},
      {.name = "RateZeroPassesForTheRepairButPulsesNothing",
       .replaced = GuideRateIs({{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "0"}}),
       .number = errors::kPulseTooLong,
       .message = too_long + "a pulse of inf ms was not sent"},
      {.name = "RateNegative",
       .replaced = GuideRateIs({{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "-1"}}),
       .number = kBad,
       .message = Where("GUIDE_RATE.GUIDE_RATE_NS = -1: not above zero")},
      {.name = "RateAboveItsDeclaredRange",
       .replaced = GuideRateIs({{names::kGuideRateWe, "0.5"}, {names::kGuideRateNs, "2"}}),
       .number = kBad,
       .message = Where("GUIDE_RATE.GUIDE_RATE_NS = 2: out of the declared range [0, 1]")},
      {.name = "PulseTakenOn", .pulses = 1},
      {.name = "PulseTakenOnAfterAnUnrelatedOk",
       .pulse_answer = {Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Ok", 0, 0)),
                        Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Busy", kStepPulseMs, 0))},
       .pulses = 1},
      {.name = "RefusalAfterAnUnrelatedOk",
       .pulse_answer = {Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Ok", 0, 0)),
                        Send(PulseUpdate(names::kTelescopeTimedGuideNs, "Alert", 0, 0))},
       .number = errors::kRefused,
       .message = "INDI device \"Fake Mount\" refused TELESCOPE_TIMED_GUIDE_NS (Alert)",
       .pulses = 1},
      {.name = "PulseNeverAnswered",
       .pulse_answer = {},
       .number = errors::kNoAnswer,
       .message = "INDI server {server} did not answer within 1 s (TELESCOPE_TIMED_GUIDE_NS); "
                  "the pulse was called off",
       .pulses = 2},
  };
}

std::vector<Fault> AllFaults() {
  std::vector<Fault> all;
  for (const auto& group : {Reading(), Site(), Structure(), Transport(), Pulses()})
    all.insert(all.end(), group.begin(), group.end());
  return all;
}

class FaultTable : public ::testing::TestWithParam<Fault> {};

// A GUIDE_RATE update after the fault: once it is read (or reading raises),
// the fault before it has been received.
const std::string kSentinel =
    NumberUpdate(kFakeDevice, names::kGuideRate, "Ok",
                 {{names::kGuideRateWe, "0.25"}, {names::kGuideRateNs, "0.5"}});

void AwaitSentinel(IndiMount& mount) {
  ASSERT_TRUE(WaitFor(kEventLimit, [&] {
    try {
      return mount.GuideRateRa() == 0.25 * kSiderealDegPerSecond;
    } catch (const Error&) {
      return true;
    }
  }));
}

TEST_P(FaultTable, EndsInTheMessageNamingTheCauseAndSendsNoPulseOnIt) {
  const Fault& f = GetParam();
  FakeServer server;
  server.On("<getProperties",
            f.greeting ? *f.greeting
                       : std::vector<Action>{Send(MountGreeting(f.replaced, f.before_last))});
  server.On(std::string("name='") + names::kTelescopeTimedGuideNs + "'", f.pulse_answer);
  IndiMount mount(FakeOptions(server));
  if (!f.mid_run.empty()) {
    mount.Open();
    std::vector<Action> fault = f.mid_run;
    fault.push_back(Send(kSentinel));
    static_cast<void>(server.Do(fault));  // false once a fault closes the socket
    AwaitSentinel(mount);
  }
  const std::optional<Error> e = CorrectionStep(mount);
  std::string message = f.message;
  if (const auto at = message.find("{server}"); at != std::string::npos)
    message.replace(at, 8, "127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(e ? e->number() : 0u, f.number) << (e ? e->description() : "no error");
  EXPECT_EQ(e ? e->description() : "", message);
  if (f.ra) {
    EXPECT_EQ(mount.Axes().ra, *f.ra);
  }
  if (f.dec) {
    EXPECT_EQ(mount.Axes().dec, *f.dec);
  }
  if (f.pulses) {
    EXPECT_TRUE(server.AwaitReceived("newNumberVector", names::kTelescopeTimedGuideNs, f.pulses,
                                     kEventLimit));
  }
  EXPECT_EQ(server.Received("newNumberVector", names::kTelescopeTimedGuideNs).size(), f.pulses);
  EXPECT_EQ(server.Received("newNumberVector", names::kTelescopeTimedGuideWe).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTable, ::testing::ValuesIn(AllFaults()),
                         [](const auto& info) { return info.param.name; });

// A mount that takes its custom rates on (Busy), then answers Ok but keeps
// others: read back, an axis that did not keep its rate is left to the
// pulses, as one refused. (An Ok alone that does not carry the values written
// is no answer at all.)
TEST(CustomRatesReadBack, AnAxisThatDidNotKeepItsRateIsLeftToThePulses) {
  struct Row {
    const char* kept_ra;  // what the mount reads after any rate write
    program::RateAxes taken;
    std::size_t writes;  // of the rates: both axes, then right ascension alone
  };
  const Row rows[] = {{"15.2", {true, false}, 2}, {"15.041", {false, false}, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kept_ra);
    FakeServer server;
    const std::string modes =
        SwitchDefinition(kFakeDevice, names::kTelescopeTrackMode,
                         {{names::kTrackSidereal, true}, {names::kTrackCustom, false}});
    const std::string rates = NumberDefinition(
        kFakeDevice, names::kTelescopeTrackRate, "Ok",
        {{names::kTrackRateRa, "15.041"}, {names::kTrackRateDe, "0"}}, "-100", "100");
    server.On("<getProperties", {Send(MountGreeting({}, modes + rates))});
    for (const char* mode : {names::kTrackCustom, names::kTrackSidereal}) {
      const bool custom = std::string(mode) == names::kTrackCustom;
      server.On(std::string("name='") + mode + "'",
                {Send("<setSwitchVector device='" + kFakeDevice + "' name='" +
                      names::kTelescopeTrackMode + "' state='Ok'><oneSwitch name='" +
                      names::kTrackSidereal + "'>" + (custom ? "Off" : "On") +
                      "</oneSwitch><oneSwitch name='" + names::kTrackCustom + "'>" +
                      (custom ? "On" : "Off") + "</oneSwitch></setSwitchVector>")},
                true);
    }
    // Busy, then Ok: the answer, whatever the values.
    std::vector<Action> answer;
    for (const char* state : {"Busy", "Ok"})
      answer.push_back(
          Send(NumberUpdate(kFakeDevice, names::kTelescopeTrackRate, state,
                            {{names::kTrackRateRa, row.kept_ra}, {names::kTrackRateDe, "0"}})));
    server.On(std::string("name='") + names::kTelescopeTrackRate + "'", answer, true);
    IndiMount mount(FakeOptions(server));
    mount.Open();
    const program::RateAxes taken = mount.SetCustomRates({15.2, 0.5});
    EXPECT_EQ(taken.ra, row.taken.ra);
    EXPECT_EQ(taken.dec, row.taken.dec);
    const auto writes = server.Received("newNumberVector", names::kTelescopeTrackRate);
    ASSERT_EQ(writes.size(), row.writes);
    EXPECT_NE(writes[0].find(names::kTrackRateDe), std::string::npos);
    EXPECT_EQ(writes[1].find(names::kTrackRateDe), std::string::npos);
    // Refused altogether, the mount is given back the mode it had.
    EXPECT_EQ(mount.Capabilities().custom_rates.ra, row.taken.ra);
  }
}

}  // namespace
}  // namespace orvan::indi
