// The INDI back end's waits that end in an error, against a stand-in server
// that shows a device and then never answers.

#include <gtest/gtest.h>

#include <chrono>

#include "fake_server.h"
#include "observatory/indi/indi_observatory.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

using namespace std::chrono_literals;

struct Raised {
  std::uint32_t number = 0;
  std::string description;
  std::chrono::steady_clock::duration took{};
};

Raised CreateTelescope(int port, const std::string& device) {
  IndiOptions options;
  options.port = port;
  options.device = device;
  auto factory = MakeIndiObservatory(options);
  const auto start = std::chrono::steady_clock::now();
  Raised r;
  try {
    factory->Create("ACP.Telescope");
  } catch (const Error& e) {
    r = {e.number(), e.description(), {}};
  }
  r.took = std::chrono::steady_clock::now() - start;
  return r;
}

TEST(IndiFailures, ConnectionNeverAnsweredRaisesAfterTheLimit) {
  testing::FakeServer server(testing::ConnectionDefinition("Fake Mount", false));
  const Raised r = CreateTelescope(server.port(), "Fake Mount");
  EXPECT_EQ(r.number, errors::kNoAnswer);
  EXPECT_EQ(r.description, "INDI server 127.0.0.1:" + std::to_string(server.port()) +
                               " did not answer within 5 s (CONNECTION)");
  EXPECT_GE(r.took, kAnswerLimit);
  EXPECT_LT(r.took, kAnswerLimit + 2s);
}

TEST(IndiFailures, ConnectedDeviceWithoutTheMountsPropertiesRaises) {
  testing::FakeServer server(testing::ConnectionDefinition("Fake Mount", true));
  const Raised r = CreateTelescope(server.port(), "Fake Mount");
  EXPECT_EQ(r.number, errors::kPropertyMissing);
  EXPECT_EQ(r.description, "INDI property EQUATORIAL_EOD_COORD missing on device \"Fake Mount\"");
  EXPECT_LT(r.took, kAnswerLimit + 2s);
}

TEST(IndiFailures, ServerWithoutDevicesHasNoneToFind) {
  testing::FakeServer server("");
  const Raised r = CreateTelescope(server.port(), "Fake Mount");
  EXPECT_EQ(r.number, errors::kDeviceNotFound);
  EXPECT_EQ(r.description,
            "INDI device \"Fake Mount\" not found on 127.0.0.1:" + std::to_string(server.port()));
  EXPECT_GE(r.took, kAnswerLimit);
  EXPECT_LT(r.took, kAnswerLimit + 2s);
}

}  // namespace
}  // namespace orvan::indi
