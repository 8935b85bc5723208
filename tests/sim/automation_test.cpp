#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "observatory/sim/simulated_observatory.h"
#include "standing_mount.h"
#include "support/error.h"
#include "testing/error_of.h"

namespace orvan::sim {
namespace {

constexpr double kStart = 8.5e8;

struct Rig {
  Rig() {
    ObservatoryConfig c = DefaultObservatoryConfig();
    c.start.ra = Wrap24(LocalSiderealTime(c.site, kStart) + 2.0);
    observatory = std::make_shared<Observatory>(c, clock);
    factory = MakeObservatoryFactory(observatory);
    telescope = factory->Create("ACP.Telescope");
    util = factory->Create("ACP.Util");
  }
  RaDec Map(double ra, double dec) {
    double ra_out = 0, dec_out = 0;
    std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(ra_out),
                               Argument::ByRef(dec_out)};
    util->Call("MapIdealToRawEqu", args);
    return {ra_out, dec_out};
  }
  void Pulse(std::int16_t direction, double ms) {
    std::vector<Argument> args{Argument::ByValue(Value::I2(direction)), Argument::ByRef(ms)};
    telescope->Call("PulseGuide", args);
  }

  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(kStart);
  std::shared_ptr<Observatory> observatory;
  std::unique_ptr<AutomationFactory> factory;
  std::shared_ptr<AutomationObject> telescope, util;
};

TEST(SimulatedAcp, DefaultObservatoryAnswersWhatTheProgramReads) {
  auto factory = MakeDefaultObservatory();
  auto t = factory->Create("ACP.Telescope");
  EXPECT_EQ(t->Get("Connected"), Value::Bool(true));
  EXPECT_EQ(t->Get("InterfaceVersion"), Value::I2(3));
  EXPECT_EQ(t->Get("CanPulseGuide"), Value::Bool(true));
  EXPECT_EQ(t->Get("CanSetGuideRates"), Value::Bool(true));
  const double rate = std::bit_cast<double>(std::uint64_t{0x3F71111111111138});
  EXPECT_EQ(t->Get("GuideRateRightAscension"), Value::R8(rate));
  EXPECT_EQ(t->Get("GuideRateDeclination"), Value::R8(rate));
  EXPECT_EQ(t->Get("tracking"), Value::Bool(true));
  EXPECT_EQ(t->Get("slewing"), Value::Bool(false));
  EXPECT_EQ(t->Get("IsPulseGuiding"), Value::Bool(false));
  const double ra = t->Get("RightAscension").ToR8(), dec = t->Get("Declination").ToR8();
  EXPECT_GE(ra, 0);
  EXPECT_LT(ra, 24);
  EXPECT_NEAR(dec, 20, 0.1);
}

TEST(SimulatedAcp, MembersIgnoreLetterCase) {
  Rig rig;
  EXPECT_EQ(rig.telescope->Get("ISPULSEGUIDING"), Value::Bool(false));
  EXPECT_EQ(rig.telescope->Get("Slewing"), rig.telescope->Get("slewing"));
}

TEST(SimulatedAcp, UnknownNamesRaise) {
  Rig rig;
  EXPECT_EQ(ErrorOf([&] { rig.telescope->Get("Altitude2"); }), errors::kUnknownName);
  EXPECT_EQ(ErrorOf([&] { rig.telescope->Put("Nonsense", Value::I2(1)); }), errors::kUnknownName);
  std::vector<Argument> none;
  EXPECT_EQ(ErrorOf([&] { rig.telescope->Call("Park2", none); }), errors::kUnknownName);
  EXPECT_EQ(ErrorOf([&] { rig.util->Get("MapIdealToRawEqu"); }), errors::kUnknownName);
  EXPECT_EQ(ErrorOf([&] { rig.util->Call("MapRawToIdeal", none); }), errors::kUnknownName);
  EXPECT_EQ(ErrorOf([&] { rig.factory->Create("ACP.Dome"); }), errors::kInvalidClassString);
  // Known but read-only.
  EXPECT_EQ(ErrorOf([&] { rig.telescope->Put("RightAscension", Value::R8(1)); }), 0x80020003u);
}

TEST(SimulatedAcp, BadArgumentsRaise) {
  Rig rig;
  EXPECT_EQ(ErrorOf([&] { rig.Pulse(4, 100); }), 0x80040401u);
  EXPECT_EQ(ErrorOf([&] { rig.Pulse(0, -1); }), 0x80040401u);
  std::vector<Argument> two{Argument::ByValue(Value::R8(1)), Argument::ByValue(Value::R8(2))};
  EXPECT_EQ(ErrorOf([&] { rig.util->Call("MapIdealToRawEqu", two); }), 0x8002000Eu);
}

TEST(SimulatedAcp, GuideRatesAreSettable) {
  Rig rig;
  rig.telescope->Put("GuideRateRightAscension", Value::R8(0.002));
  EXPECT_EQ(rig.telescope->Get("GuideRateRightAscension"), Value::R8(0.002));
  const double ra0 = rig.observatory->mount().Ra();
  rig.Pulse(2, 1000);  // east for a second at 7.2"/s
  rig.clock->Advance(2);
  EXPECT_NEAR(Wrap12(rig.observatory->mount().Ra() - ra0) * kArcsecPerHour, 7.2, 0.1);
}

TEST(SimulatedAcp, PulseGuideReturnsAtOnceAndRunsInTime) {
  Rig rig;
  const double dec0 = rig.telescope->Get("Declination").ToR8();
  rig.Pulse(0, 2000);  // north, 30"
  EXPECT_EQ(rig.telescope->Get("IsPulseGuiding"), Value::Bool(true));
  rig.clock->Advance(1.0);
  EXPECT_EQ(rig.telescope->Get("IsPulseGuiding"), Value::Bool(true));
  rig.clock->Advance(1.5);
  EXPECT_EQ(rig.telescope->Get("IsPulseGuiding"), Value::Bool(false));
  EXPECT_NEAR((rig.telescope->Get("Declination").ToR8() - dec0) * 3600, 30, 0.1);
}

TEST(SimulatedAcp, SlewingIsReportedUntilTheMountSettles) {
  Rig rig;
  double ra = Wrap24(rig.telescope->Get("RightAscension").ToR8() - 0.5), dec = 25;
  std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec)};
  rig.telescope->Call("SlewToCoordinatesAsync", args);
  EXPECT_EQ(rig.telescope->Get("slewing"), Value::Bool(true));
  rig.clock->Advance(30);
  EXPECT_EQ(rig.telescope->Get("slewing"), Value::Bool(false));
  // On target but for the drift the model predicts since the slew began.
  EXPECT_NEAR(rig.telescope->Get("Declination").ToR8(), 25, 1.0 / 3600);
}

TEST(SimulatedAcp, MappingTheReportedPositionGivesTheAxes) {
  Rig rig;
  rig.clock->Advance(1234.5);
  const double ra = rig.telescope->Get("RightAscension").ToR8();
  const double dec = rig.telescope->Get("Declination").ToR8();
  const RaDec raw = rig.Map(ra, dec);
  Mount& m = rig.observatory->mount();
  EXPECT_NEAR(Wrap12(raw.ra - m.Ra()) * kArcsecPerHour, 0, 1e-6);
  EXPECT_NEAR((raw.dec - m.Dec()) * kArcsecPerDegree, 0, 1e-6);
  // The model is not the identity: raw and sky differ by index errors,
  // polar misalignment and refraction, over a minute of arc here.
  EXPECT_GT(std::abs(Wrap12(raw.ra - ra)) * kArcsecPerHour, 60);
}

TEST(SimulatedAcp, MappingLeavesInputsAndFollowsTheClock) {
  Rig rig;
  double ra = 3.25, dec = 41.5;
  const RaDec first = rig.Map(ra, dec);
  EXPECT_EQ(ra, 3.25);
  EXPECT_EQ(dec, 41.5);
  rig.clock->Advance(3600);
  const RaDec later = rig.Map(ra, dec);
  EXPECT_GT(std::abs(Wrap12(later.ra - first.ra)) * kArcsecPerHour, 0.5);
}

TEST(SimulatedAcp, CommandLineOptionsReachTheModelAndTheAir) {
  PointingTerms ih60;
  ih60[pointing::Term::IH] = 60;
  const program::SkyOptions options{.pressure_hpa = 1013.25,
                                    .temperature_c = -10,
                                    .relative_humidity = std::nullopt,
                                    .terms = ih60};
  const ObservatoryConfig c = DefaultObservatoryConfig(options);
  EXPECT_EQ(c.site.pressure_hpa, 1013.25);
  EXPECT_EQ(c.site.temperature_c, -10);
  EXPECT_EQ(c.site.relative_humidity, 0.5);
  EXPECT_EQ(c.model.terms, ih60);
  EXPECT_EQ(DefaultObservatoryConfig(program::SkyOptions{}).model.terms,
            DefaultObservatoryConfig().model.terms);

  // No air and only an index error: mapping moves right ascension by it alone.
  auto factory = MakeDefaultObservatory({.pressure_hpa = 0, .terms = ih60});
  auto util = factory->Create("ACP.Util");
  double ra = 5.5, dec = 30, ra_out = 0, dec_out = 0;
  std::vector<Argument> args{Argument::ByRef(ra), Argument::ByRef(dec), Argument::ByRef(ra_out),
                             Argument::ByRef(dec_out)};
  util->Call("MapIdealToRawEqu", args);
  EXPECT_NEAR(Wrap12(ra_out - ra) * kArcsecPerHour, -60, 1e-6);
  EXPECT_NEAR(dec_out, 30, 1e-12);
}

TEST(SimulatedAcp, ConnectedAndTrackingAreWritable) {
  Rig rig;
  rig.telescope->Put("Connected", Value::Bool(false));
  EXPECT_EQ(rig.telescope->Get("Connected"), Value::Bool(false));
  rig.telescope->Put("connected", Value::I2(1));
  EXPECT_EQ(rig.telescope->Get("Connected"), Value::Bool(true));
  rig.telescope->Put("Tracking", Value::Bool(false));
  EXPECT_EQ(rig.telescope->Get("Tracking"), Value::Bool(false));
  EXPECT_FALSE(rig.observatory->mount().Tracking());
}

// The International Standard Atmosphere: 845.6 hPa at 1500 m (5.25 C there),
// 795.0 hPa at 2000 m (2.0 C). The estimate is good to a per cent.
TEST(ObservatoryProgram, PressureEstimateFollowsTheStandardAtmosphere) {
  EXPECT_DOUBLE_EQ(program::PressureAtElevation(0, 15), 1013.25);
  EXPECT_NEAR(program::PressureAtElevation(1500, 5.25), 845.6, 0.01 * 845.6);
  EXPECT_NEAR(program::PressureAtElevation(2000, 2.0), 795.0, 0.01 * 795.0);
}

TEST(ObservatoryProgram, SiteIsTheMountsWithTheAirGivenOrEstimated) {
  auto clock = std::make_shared<program::VirtualClock>(kStart);
  // A mount that only knows where it stands.
  auto standing = [] {
    return std::make_shared<StandingMount>(Location{-31.27, 149.07, 1165}, RaDec{0, 0}, 0);
  };
  program::ObservatoryProgram estimated(standing(), clock, program::ProgramConfig{});
  const Site site = estimated.CurrentSite();
  EXPECT_EQ(site.latitude_deg, -31.27);
  EXPECT_EQ(site.longitude_deg, 149.07);
  EXPECT_EQ(site.temperature_c, 10);
  EXPECT_EQ(site.relative_humidity, 0.5);
  EXPECT_EQ(site.pressure_hpa, program::PressureAtElevation(1165, 10));
  program::ObservatoryProgram given(
      standing(), clock,
      program::WithOptions(program::ProgramConfig{}, {.pressure_hpa = 880, .temperature_c = 3}));
  EXPECT_EQ(given.CurrentSite().pressure_hpa, 880);
  EXPECT_EQ(given.CurrentSite().temperature_c, 3);
}

}  // namespace
}  // namespace orvan::sim
