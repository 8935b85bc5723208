// The INDI back end against Debian's real INDI server and telescope
// simulator, through ACP's objects as the program uses them. The simulator
// moves at 15"/s times the guide rate, republishes its position in 250 ms
// steps when it moves by over 1.5" in right ascension or 0.1" in declination,
// and may end a pulse up to 250 ms early: pulses here last seconds and the
// tolerances allow for those steps.

#include <erfa.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "indi_server.h"
#include "observatory/indi/indi_names.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/program/clock.h"
#include "pointing/model.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using standin::IndiServer;
using standin::WaitFor;

const std::string kDevice = "Telescope Simulator";
const std::string kPrefix = kDevice + ".";
constexpr double kLatitude = 40, kLongitudeEast = 255;  // 105 W

// ERFA's apparent sidereal time at the simulator's site now, in hours.
double LocalSiderealTimeNow() {
  const double ut = program::SystemClock().Now();
  const double gast = eraGst06a(2451545.0, ut / 86400, 2451545.0, (ut + 69.184) / 86400);
  return Wrap24(gast * 12 / kPi + (kLongitudeEast - 360) / 15);
}

Error ErrorFrom(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "no error");
}

class IndiObservatoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Start();
    IndiOptions options;
    options.port = server.port();
    // No air and no terms: the objects then report the simulator's own
    // position, which the tests compare with.
    options.sky.pressure_hpa = 0;
    factory = MakeIndiObservatory(options);
    telescope = factory->Create("ACP.Telescope");
    util = factory->Create("ACP.Util");
  }

  // The mount at hour angle +1 h (west of the meridian, so on the east side
  // of the pier, where the simulator guides north as north), tracking.
  void PlaceMount(double dec = 20) {
    server.SetProp(kPrefix + "GEOGRAPHIC_COORD.LAT;LONG;ELEV=40;255;1600");
    server.SetProp(kPrefix + "ON_COORD_SET.SYNC=On");
    ra0 = Wrap24(LocalSiderealTimeNow() - 1.0);
    dec0 = dec;
    server.SetProp(kPrefix + "EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(ra0) + ";" +
                   std::to_string(dec0));
    server.SetProp(kPrefix + "TELESCOPE_TRACK_STATE.TRACK_ON=On");
    ASSERT_TRUE(WaitFor(3s, [&] {
      return std::abs(Dec() - dec0) < 1e-4 && Tracking() && std::abs(Wrap12(Ra() - ra0)) < 1e-3;
    }));
  }

  double Ra() { return telescope->Get("RightAscension").ToR8(); }
  double Dec() { return telescope->Get("Declination").ToR8(); }
  bool Tracking() { return telescope->Get("Tracking").IsStrictTrue(); }
  bool Guiding() { return telescope->Get("IsPulseGuiding").IsStrictTrue(); }
  void Pulse(std::int16_t direction, double ms) {
    std::vector<Argument> args{Argument::ByValue(Value::I2(direction)), Argument::ByRef(ms)};
    telescope->Call("PulseGuide", args);
  }

  IndiServer server;
  std::unique_ptr<AutomationFactory> factory;
  std::shared_ptr<AutomationObject> telescope, util;
  double ra0 = 0, dec0 = 0;
};

TEST_F(IndiObservatoryTest, ConnectsTheDeviceAndAnswersWhatTheProgramReads) {
  EXPECT_EQ(server.GetProp(kPrefix + "CONNECTION.CONNECT"), "On");
  EXPECT_EQ(telescope->Get("Connected"), Value::Bool(true));
  EXPECT_EQ(telescope->Get("InterfaceVersion"), Value::I2(3));
  EXPECT_EQ(telescope->Get("CanPulseGuide"), Value::Bool(true));
  EXPECT_EQ(telescope->Get("CanSetGuideRates"), Value::Bool(true));
  EXPECT_EQ(telescope->Get("slewing"), Value::Bool(false));
  EXPECT_EQ(telescope->Get("ISPULSEGUIDING"), Value::Bool(false));
  // The simulator starts parked at the pole, not tracking.
  EXPECT_NEAR(Dec(), server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC"), 1e-9);
  EXPECT_EQ(telescope->Get("Tracking"), Value::Bool(false));
  EXPECT_EQ(ErrorFrom([&] { telescope->Get("Altitude2"); }).number(), errors::kUnknownName);
}

// Within the driver's publishing step (0.1 s of right ascension, 0.1" of
// declination) once its last change has arrived: the simulator may still be
// moving from the sync to tracking when the test first asks.
TEST_F(IndiObservatoryTest, ReportsThePositionTheMountHas) {
  PlaceMount();
  EXPECT_TRUE(WaitFor(3s, [&] {
    return std::abs(Wrap12(Ra() - server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.RA"))) * 54000 <=
               1.6 &&
           std::abs(Dec() - server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC")) <= 0.1 / 3600;
  }));
}

TEST_F(IndiObservatoryTest, SiteAndSiderealTimeComeFromTheMount) {
  PlaceMount();
  // Sidereal time at the mount's longitude, against ERFA's full formula.
  ASSERT_TRUE(WaitFor(3s, [&] {
    return std::abs(Wrap12(telescope->Get("SiderealTime").ToR8() - LocalSiderealTimeNow())) * 3600 <
           0.5;
  }));
  // A second program on the same mount, with air and an index error: on the
  // meridian, 70 degrees up at the mount's latitude, mapping lifts by ERFA's
  // refraction at the observed zenith distance plus the 30" index error.
  IndiOptions options;
  options.port = server.port();
  options.sky = {.pressure_hpa = 840, .temperature_c = 8, .relative_humidity = 0.5, .terms = [] {
                   pointing::PointingTerms t;
                   t[pointing::Term::ID] = 30;
                   return t;
                 }()};
  auto factory2 = MakeIndiObservatory(options);
  auto util2 = factory2->Create("ACP.Util");
  double ra = LocalSiderealTimeNow(), dec = 20, ra_out = 0, dec_out = 0;
  std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(ra_out),
                             Argument::ByRef(dec_out)};
  util2->Call("MapIdealToRawEqu", args);
  double a = 0, b = 0;
  eraRefco(840, 8, 0.5, 0.55, &a, &b);
  const double lift = (dec_out - dec) * 3600 - 30;
  const double tz = std::tan((kLatitude - dec) * kPi / 180 - lift / 206264.806);
  EXPECT_NEAR(lift, (a * tz + b * tz * tz * tz) * 206264.806, 0.01);
  EXPECT_NEAR(Wrap12(ra_out - ra) * 54000, 0, 0.1);
}

TEST_F(IndiObservatoryTest, ZeroGuideRatesAreRepairedWithTheDefault) {
  // GUIDE_RATE 0.5 of sidereal at start: half a turn per sidereal day of 86164.0905 s.
  const double sidereal = 360 / 86164.0905;
  EXPECT_NEAR(telescope->Get("GuideRateRightAscension").ToR8(), 0.5 * sidereal, 1e-11);
  server.SetProp(kPrefix + "GUIDE_RATE.GUIDE_RATE_WE;GUIDE_RATE_NS=0;0");
  ASSERT_TRUE(WaitFor(3s, [&] {
    return telescope->Get("GuideRateRightAscension").EqualsZero() &&
           telescope->Get("GuideRateDeclination").EqualsZero();
  }));
  const double fifteen = 15.0 / 3600;  // the program's default, 15"/s
  telescope->Put("GuideRateRightAscension", Value::R8(fifteen));
  telescope->Put("GuideRateDeclination", Value::R8(fifteen));
  EXPECT_NEAR(server.GetNumber(kPrefix + "GUIDE_RATE.GUIDE_RATE_WE"), fifteen / sidereal, 1e-8);
  EXPECT_NEAR(server.GetNumber(kPrefix + "GUIDE_RATE.GUIDE_RATE_NS"), fifteen / sidereal, 1e-8);
  EXPECT_NEAR(telescope->Get("GuideRateDeclination").ToR8(), fifteen, 1e-15);
  EXPECT_EQ(ErrorFrom([&] { telescope->Put("GuideRateDeclination", Value::R8(-1)); }).number(),
            0x80040401u);
}

TEST_F(IndiObservatoryTest, SlewStartedElsewhereIsReportedUntilItEnds) {
  PlaceMount();
  server.SetProp(kPrefix + "ON_COORD_SET.TRACK=On");
  server.SetProp(kPrefix + "EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(ra0) + ";" +
                 std::to_string(dec0 + 2));
  EXPECT_TRUE(WaitFor(3s, [&] { return telescope->Get("Slewing").IsStrictTrue(); }));
  EXPECT_TRUE(WaitFor(20s, [&] { return telescope->Get("Slewing").EqualsZero(); }));
  EXPECT_NEAR(Dec(), dec0 + 2, 1.0 / 3600);
}

TEST_F(IndiObservatoryTest, SlewToCoordinatesMovesTheMount) {
  PlaceMount();
  double ra = ra0, dec = dec0 - 1;
  std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec)};
  telescope->Call("SlewToCoordinatesAsync", args);
  EXPECT_EQ(telescope->Get("Slewing"), Value::Bool(true));
  EXPECT_TRUE(WaitFor(20s, [&] { return telescope->Get("Slewing").EqualsZero(); }));
  EXPECT_NEAR(server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC"), dec0 - 1, 1.0 / 3600);
  EXPECT_EQ(server.GetProp(kPrefix + "ON_COORD_SET.TRACK"), "On");
}

TEST_F(IndiObservatoryTest, PulseLongerThanTheDeviceTakesIsNotSent) {
  PlaceMount();
  // The simulator declares timed pulses of up to 60 s.
  const Error e = ErrorFrom([&] { Pulse(0, 70000); });
  EXPECT_EQ(e.number(), errors::kPulseTooLong);
  EXPECT_EQ(e.description(),
            "INDI device \"Telescope Simulator\" TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N takes at "
            "most 60000 ms: a pulse of 70000 ms was not sent");
  EXPECT_FALSE(Guiding());
}

TEST_F(IndiObservatoryTest, TrackingFollowsTheMountBothWays) {
  PlaceMount();
  server.SetProp(kPrefix + "TELESCOPE_TRACK_STATE.TRACK_OFF=On");
  EXPECT_TRUE(WaitFor(3s, [&] { return telescope->Get("Tracking") == Value::Bool(false); }));
  telescope->Put("Tracking", Value::Bool(true));
  EXPECT_EQ(server.GetProp(kPrefix + "TELESCOPE_TRACK_STATE.TRACK_ON"), "On");
  EXPECT_EQ(telescope->Get("Tracking"), Value::Bool(true));
}

TEST_F(IndiObservatoryTest, PulsesMoveTheMountByRateTimesDuration) {
  PlaceMount();
  // GUIDE_RATE 0.5: 7.5"/s on the simulator. North and east together, then
  // south and west: 4 s each, 30", with up to a 250 ms step short (1.9")
  // and the position's 0.1" / 1.5" publishing steps.
  struct Leg {
    std::int16_t dec_direction, ra_direction;
    double sign;
  };
  for (const Leg leg : {Leg{0, 2, +1}, Leg{1, 3, -1}}) {
    const double dec_start = server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC");
    const double ra_start = server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.RA");
    Pulse(leg.dec_direction, 4000.4);
    Pulse(leg.ra_direction, 4000);
    // Started and acknowledged before PulseGuide returned.
    EXPECT_TRUE(Guiding());
    // Passed on in whole milliseconds.
    EXPECT_EQ(server.GetProp(kPrefix + "TELESCOPE_TIMED_GUIDE_NS." +
                             (leg.sign > 0 ? names::kTimedGuideN : names::kTimedGuideS)),
              "4000");
    ASSERT_TRUE(WaitFor(6s, [&] { return !Guiding(); }));
    // The last step's position is published with the end or just after it.
    EXPECT_TRUE(WaitFor(1s, [&] {
      const double moved =
          (server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC") - dec_start) * 3600;
      return std::abs(moved - leg.sign * 30) < 2.5;
    }));
    const double dec_moved =
        (server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC") - dec_start) * 3600;
    const double ra_moved =
        Wrap12(server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.RA") - ra_start) * 54000;
    EXPECT_NEAR(dec_moved, leg.sign * 30, 2.5);
    EXPECT_NEAR(ra_moved, leg.sign * 30, 2.5 + 1.5);
    // The objects see what the mount has.
    EXPECT_TRUE(WaitFor(1s, [&] {
      return std::abs((Dec() - server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC")) * 3600) <
             0.2;
    }));
  }
}

TEST_F(IndiObservatoryTest, PulseStartedByAnotherClientIsSeen) {
  PlaceMount();
  EXPECT_FALSE(Guiding());
  server.SetProp(kPrefix + "TELESCOPE_TIMED_GUIDE_WE.TIMED_GUIDE_W;TIMED_GUIDE_E=2000;0");
  EXPECT_TRUE(WaitFor(2s, [&] { return Guiding(); }));
  EXPECT_TRUE(WaitFor(4s, [&] { return !Guiding(); }));
}

TEST_F(IndiObservatoryTest, DisconnectingAndReconnectingTheDevice) {
  telescope->Put("Connected", Value::Bool(false));
  EXPECT_EQ(telescope->Get("Connected"), Value::Bool(false));
  EXPECT_EQ(server.GetProp(kPrefix + "CONNECTION.CONNECT"), "Off");
  // Nothing is read from a disconnected device (the driver withdraws the
  // mount's properties too).
  const Error e = ErrorFrom([&] { Dec(); });
  EXPECT_EQ(e.number(), errors::kBadReading);
  EXPECT_EQ(e.description(),
            "INDI device \"Telescope Simulator\" CONNECTION.DISCONNECT = On: the "
            "device is disconnected");
  telescope->Put("Connected", Value::Bool(true));
  EXPECT_EQ(telescope->Get("Connected"), Value::Bool(true));
  EXPECT_NEAR(Dec(), server.GetNumber(kPrefix + "EQUATORIAL_EOD_COORD.DEC"), 1e-9);
}

TEST_F(IndiObservatoryTest, ServerGoneMidRunMakesEveryAccessRaise) {
  PlaceMount();
  server.Stop();
  const std::string lost =
      "INDI server 127.0.0.1:" + std::to_string(server.port()) + " connection lost";
  const Error first = ErrorFrom([&] { Pulse(0, 1000); });
  // Lost, or at worst not answered in time; either way a clear error.
  EXPECT_TRUE(first.number() == errors::kConnectionLost || first.number() == errors::kNoAnswer)
      << first.description();
  for (const char* member : {"RightAscension", "Slewing", "Connected", "GuideRateDeclination"}) {
    const Error e = ErrorFrom([&] { telescope->Get(member); });
    EXPECT_EQ(e.number(), errors::kConnectionLost) << member;
    EXPECT_EQ(e.description(), lost) << member;
  }
  double ra = 1, dec = 2, ra_out = 0, dec_out = 0;
  std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(ra_out),
                             Argument::ByRef(dec_out)};
  EXPECT_EQ(ErrorFrom([&] { util->Call("MapIdealToRawEqu", args); }).number(),
            errors::kConnectionLost);
}

TEST_F(IndiObservatoryTest, UnknownDeviceRaisesNamingWhatIsThere) {
  IndiOptions options;
  options.port = server.port();
  options.device = "No Such Mount";
  auto other = MakeIndiObservatory(options);
  const Error e = ErrorFrom([&] { other->Create("ACP.Telescope"); });
  EXPECT_EQ(e.number(), errors::kDeviceNotFound);
  EXPECT_EQ(e.description(), "INDI device \"No Such Mount\" not found on 127.0.0.1:" +
                                 std::to_string(server.port()) +
                                 " (it has \"Telescope Simulator\")");
}

TEST(IndiObservatory, UnreachableServerRaises) {
  IndiOptions options;
  options.port = standin::FreePort();  // nothing listens there
  auto factory = MakeIndiObservatory(options);
  const Error e = ErrorFrom([&] { factory->Create("ACP.Telescope"); });
  EXPECT_EQ(e.number(), errors::kUnreachable);
  EXPECT_EQ(e.description(),
            "INDI server 127.0.0.1:" + std::to_string(options.port) + " unreachable");
  // An unknown class raises as before, without reaching for the server.
  EXPECT_EQ(ErrorFrom([&] { factory->Create("ACP.Dome"); }).number(), errors::kInvalidClassString);
}

}  // namespace
}  // namespace orvan::indi
