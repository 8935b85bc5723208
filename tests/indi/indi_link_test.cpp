// Starting up against the stand-in server: what is reported when the device
// is not there, slow to show or never answers, and that a failed start is
// tried afresh.

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>

#include "fake_mount.h"
#include "indi_server.h"
#include "observatory/indi/indi_observatory.h"
#include "pointing/model.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr auto kEventLimit = 10s;

std::string At(const FakeServer& server) {
  return "127.0.0.1:" + std::to_string(server.port());
}

std::optional<Error> OpenError(IndiMount& mount) {
  try {
    mount.Open();
  } catch (const Error& e) {
    return e;
  }
  return std::nullopt;
}

// Another device's property, the n-th.
std::string OtherDefinition(int n) {
  return NumberDefinition("Other Device", "PROPERTY_" + std::to_string(n), "Ok", {{"VALUE", "1"}});
}

TEST(IndiStart, ConnectionNeverAnsweredRaisesAtTheLimit) {
  FakeServer server(ConnectionDefinition(kFakeDevice, false));
  IndiMount mount(FakeOptions(server));
  const std::optional<Error> e = OpenError(mount);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->number(), errors::kNoAnswer);
  EXPECT_EQ(e->description(),
            "INDI server " + At(server) + " did not answer within 1 s (CONNECTION)");
}

TEST(IndiStart, ConnectedDeviceWithoutTheMountsPropertiesRaises) {
  FakeServer server(ConnectionDefinition(kFakeDevice, true));
  IndiMount mount(FakeOptions(server));
  const std::optional<Error> e = OpenError(mount);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->number(), errors::kPropertyMissing);
  EXPECT_EQ(e->description(),
            "INDI property EQUATORIAL_EOD_COORD missing on device \"Fake Mount\"");
}

TEST(IndiStart, DeviceNotFoundThenASecondAttemptReallyConnectsAgain) {
  FakeServer server(OtherDefinition(1));
  IndiMount mount(FakeOptions(server));
  const std::string not_found =
      "INDI device \"Fake Mount\" not found on " + At(server) + " (it has \"Other Device\")";
  for (int attempt = 1; attempt <= 2; ++attempt) {
    const std::optional<Error> e = OpenError(mount);
    ASSERT_TRUE(e) << attempt;
    EXPECT_EQ(e->number(), errors::kDeviceNotFound) << attempt;
    EXPECT_EQ(e->description(), not_found) << attempt;
    EXPECT_EQ(server.clients(), attempt);
  }
}

// Keeps another device's definitions coming, each one byte a write, until
// `enough` says so.
template <typename F>
void KeepDefining(FakeServer& server, F enough) {
  ASSERT_TRUE(WaitFor(kEventLimit, [&] { return !server.Received().empty(); }));
  for (int n = 2; !enough(); ++n)
    if (!server.Do({Trickle(OtherDefinition(n))})) return;
}

TEST(IndiStart, ADeviceShownLateWhileDefinitionsStillComeIsFound) {
  FakeServer server(OtherDefinition(1));
  IndiMount mount(FakeOptions(server));
  auto opened = std::async(std::launch::async, [&] { return OpenError(mount); });
  const auto start = std::chrono::steady_clock::now();
  // Longer than the quiet time, shorter than the answer limit.
  KeepDefining(server,
               [&] { return std::chrono::steady_clock::now() - start > 2 * kTestDeviceQuiet; });
  ASSERT_TRUE(server.Do({Send(MountGreeting())}));
  const std::optional<Error> e = opened.get();
  EXPECT_FALSE(e) << e->description();
}

TEST(IndiStart, AServerStillDefiningAtTheLimitHasNotAnswered) {
  FakeServer server(OtherDefinition(1));
  IndiMount mount(FakeOptions(server));
  auto opened = std::async(std::launch::async, [&] { return OpenError(mount); });
  KeepDefining(server, [&] { return opened.wait_for(0s) == std::future_status::ready; });
  const std::optional<Error> e = opened.get();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->number(), errors::kNoAnswer);
  EXPECT_EQ(e->description(), "INDI server " + At(server) +
                                  " did not answer within 1 s (device \"Fake Mount\" not shown "
                                  "while it was still sending definitions)");
}

TEST(IndiPulse, APulseNotAnsweredIsCalledOffWithZeros) {
  FakeServer server(MountGreeting());
  IndiMount mount(FakeOptions(server));
  mount.Open();
  EXPECT_THROW(mount.PulseGuide(GuideDirection::South, 1500.4), Error);
  ASSERT_TRUE(server.AwaitReceived("newNumberVector", kGuideNS, 2, kEventLimit));
  const auto sent = server.Received("newNumberVector", kGuideNS);
  EXPECT_NE(sent[0].find("TIMED_GUIDE_S'>\n      1500\n"), std::string::npos) << sent[0];
  EXPECT_NE(sent[1].find("TIMED_GUIDE_S'>\n      0\n"), std::string::npos) << sent[1];
  EXPECT_NE(sent[1].find("TIMED_GUIDE_N'>\n      0\n"), std::string::npos) << sent[1];
}

// The side of the pier from TELESCOPE_PIER_SIDE, and the program's
// pointing terms evaluated on it: CH 40" alone and no air, at the fake's
// reading of 5.5 h, +20. The ordinary side (PIER_EAST) reports the sky
// 40" sec 20 = 42.567" of hour angle east of the reading; through the pole
// (PIER_WEST) the side frame's declination is 160, sec 160 = -1.0642, and the
// sky lies as far west.
TEST(IndiSides, PierWestIsTheSideThroughThePoleWhereTheTermsAreEvaluated) {
  constexpr double kShiftArcsec = 40 * 1.0641777724759120;
  for (const bool west : {false, true}) {
    FakeServer server(
        MountGreeting({}, SwitchDefinition(kFakeDevice, "TELESCOPE_PIER_SIDE",
                                           {{"PIER_WEST", west}, {"PIER_EAST", !west}})));
    IndiOptions options = FakeOptions(server);
    options.sky.pressure_hpa = 0;
    options.sky.terms = pointing::PointingTerms{};
    (*options.sky.terms)[pointing::Term::CH] = 40;
    std::shared_ptr<program::ObservatoryProgram> program;
    const auto objects = MakeIndiObservatory(options, &program);
    objects->Create("ACP.Telescope");
    EXPECT_EQ(program->mount().ThroughPole(), west);
    const program::RaDec reported = program->Reported();
    EXPECT_NEAR(pointing::Wrap12(reported.ra - 5.5) * kArcsecPerHour,
                west ? -kShiftArcsec : kShiftArcsec, 1e-6);
    EXPECT_NEAR(reported.dec, 20, 1e-12);
  }
}

}  // namespace
}  // namespace orvan::indi
