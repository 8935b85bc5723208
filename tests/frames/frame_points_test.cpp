// The intake on its own, on a virtual clock: a mount with known pointing
// terms, read by a program that maps with a model wrong by a minute of arc,
// and a frame at each of a spread of places showing where the mount truly
// pointed. The points the frames leave, fitted, must give the mount's terms
// (TPOINT's formulas, fit/synthetic_points.h), not the model's.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fit/synthetic_points.h"
#include "framemaker/star_field.h"
#include "intake/frame_intake.h"
#include "model/fit.h"
#include "pointing/fit_point.h"
#include "pointing/places.h"
#include "pointing/terms.h"
#include "support/units.h"
#include "support/utc_text.h"
#include "testing/temp_dir.h"

namespace orvan::intake {
namespace {

using namespace std::chrono_literals;
using model::synthetic::Known;
using program::RaDec;

constexpr Known kTruth{95, -40, 25, 10, 48, 36, 6};
constexpr double kLatitude = 40, kLongitude = -105;
// 2026-12-10T04:00:00Z, a night at the site.
constexpr double kNight = 850147200;
constexpr double kCycle = 4;
// A frame from 1 s to 11 s after a capture; the cycles read the mount
// every 4 s up to 12 s, past its end.
constexpr double kExposure = 10, kFrameAfter = 1, kCycles = 3;
constexpr auto kFrameLimit = 20s;

// A mount whose axes stay where the test puts them: a perfect tracker.
class StillMount final : public program::MountDriver {
 public:
  RaDec axes{0, 0};
  bool Connected() override { return true; }
  void SetConnected(bool) override {}
  program::Location Site() override { return {kLatitude, kLongitude, 0}; }
  RaDec Axes() override { return axes; }
  bool Slewing() override { return false; }
  bool Tracking() override { return true; }
  void SetTracking(bool) override {}
  void SlewTo(RaDec) override {}
  double GuideRateRa() override { return 0.004; }
  double GuideRateDec() override { return 0.004; }
  void SetGuideRateRa(double) override {}
  void SetGuideRateDec(double) override {}
  void PulseGuide(GuideDirection, double) override {}
  bool IsPulseGuiding() override { return false; }
  program::MountCapabilities Capabilities() override { return {true, false, {}, 0, 0}; }
};

pointing::Site SiteOf() {
  pointing::Site site{};
  site.latitude_deg = kLatitude;
  site.longitude_deg = kLongitude;
  site.pressure_hpa = 0;  // no air: the frames show the sky unrefracted
  site.temperature_c = kDefaultTemperatureC;
  return site;
}

pointing::Utc UtcAt(double seconds) {
  pointing::Utc utc{};
  EXPECT_TRUE(pointing::UtcOf(UtcFieldsOf(TimeOfJ2000Seconds(seconds)), utc));
  return utc;
}

struct Rig {
  std::shared_ptr<program::VirtualClock> clock = std::make_shared<program::VirtualClock>(kNight);
  std::shared_ptr<StillMount> mount = std::make_shared<StillMount>();
  std::shared_ptr<program::ObservatoryProgram> program;
  std::vector<points::PointRecord> points;
  std::vector<tracking::FrameNote> notes;
  TempDir dir, staging;
  std::unique_ptr<FrameIntake> intake;

  Rig() {
    program::ProgramConfig config;
    config.model.terms[pointing::Term::IH] = 60;
    config.model.terms[pointing::Term::ID] = -60;
    config.pressure_hpa = 0;
    program = std::make_shared<program::ObservatoryProgram>(mount, clock, config);
    FrameIntake::Config c;
    c.dir = dir.path();
    c.solve = false;
    intake = std::make_unique<FrameIntake>(
        c, program, nullptr,
        [this](const points::PointRecord& p, const std::string&) { points.push_back(p); },
        FrameIntake::Say{});
    intake->NoteTo([this](const tracking::FrameNote& n) { notes.push_back(n); });
    std::string error;
    EXPECT_TRUE(intake->Start(error)) << error;
  }
  ~Rig() { intake->Stop(); }

  void Record(tracking::RecordKind kind) {
    const RaDec at = program->Reported();
    tracking::CycleRecord r;
    r.kind = kind;
    r.threshold_arcsec = 1;
    r.target = r.current = r.target_scope = tracking::AxisPair{at.ra, at.dec};
    intake->hold().Recorded(r);
  }

  // The mount put where its terms take a star seen at hour angle `ha` and
  // declination `dec` at the frame's middle, held there for a few cycles,
  // and a frame of that star dropped in: the intake's note on it.
  tracking::FrameNote Frame(double ha, double dec, int n) {
    const double start = clock->Now() + kFrameAfter, mid = start + kExposure / 2;
    const pointing::Utc utc = UtcAt(mid);
    const double last = pointing::LocalApparentSiderealTime(utc, kLongitude);
    const RaDec star = pointing::MeanPlaceOf({Wrap24(last - ha), dec}, utc);
    // Where the star is seen, by the program's own sky (as a fit takes it).
    const pointing::HaDec seen =
        pointing::Observed(pointing::ApparentPlace({star}, utc), utc, last, SiteOf());
    const model::Point truth =
        model::synthetic::MakePoint(kTruth, seen.ha, seen.dec, kLatitude, false, n);
    mount->axes = {Wrap24(last - truth.mechanical.ha), truth.mechanical.dec};

    Record(tracking::RecordKind::Stop);
    Record(tracking::RecordKind::Start);
    for (int i = 0; i < kCycles; ++i) {
      clock->Advance(kCycle);
      Record(tracking::RecordKind::Cycle);
    }
    Drop(star, start, "frame-" + std::to_string(n) + ".fits");
    const std::size_t before = notes.size();
    for (const auto limit = std::chrono::steady_clock::now() + kFrameLimit;
         notes.size() == before && std::chrono::steady_clock::now() < limit;) {
      intake->Take();
      std::this_thread::sleep_for(10ms);
    }
    return notes.size() == before ? tracking::FrameNote{} : notes.back();
  }

  // Written aside and moved in, dated an hour back: whole and settled at once.
  void Drop(RaDec star, double start, const std::string& name) const {
    framemaker::FrameShot shot;
    shot.start_center = shot.end_center = star;
    shot.width = 300;
    shot.height = 200;
    shot.exposure_s = kExposure;
    shot.date_obs = UtcTextOfJ2000Seconds(start);
    shot.write_wcs = true;
    std::string error;
    ASSERT_TRUE(framemaker::WriteFrame(shot, {}, staging.File(name), error)) << error;
    std::filesystem::last_write_time(staging.File(name),
                                     std::filesystem::file_time_type::clock::now() - 1h);
    std::filesystem::rename(staging.File(name), dir.File(name));
  }
};

TEST(FramePoints, FramesUnderAWrongModelFitToTheMountsOwnTerms) {
  Rig rig;
  int n = 0;
  for (double ha : {-4.0, -2.5, -1.0, 0.5, 2.0, 3.5})
    for (double dec : {-15.0, 25.0, 60.0}) {
      const tracking::FrameNote note = rig.Frame(ha, dec, ++n);
      ASSERT_EQ(note.action, tracking::FrameAction::Reference) << note.file << ": " << note.reason;
      ASSERT_EQ(rig.points.size(), static_cast<std::size_t>(n));
    }

  std::vector<model::Point> points;
  for (const points::PointRecord& r : rig.points)
    points.push_back(pointing::FitPointOf(r, SiteOf(), "frames"));
  std::vector<std::size_t> terms;
  for (std::string_view name : model::kDefaultTerms) terms.push_back(*pointing::FindTerm(name));
  const model::FitResult fit = model::Fit(points, terms);
  const double truth[] = {kTruth.ih, kTruth.id, kTruth.ch, kTruth.np,
                          kTruth.ma, kTruth.me, kTruth.tf};
  // The frames' WCS and times are written to a millisecond and to the
  // digits FITS cards carry: the terms come back within a few thousandths.
  for (std::size_t j = 0; j < terms.size(); ++j)
    EXPECT_NEAR(fit.values[j], truth[j], 0.005) << model::kDefaultTerms[j];
  EXPECT_LT(fit.rms, 0.005);
}

}  // namespace
}  // namespace orvan::intake
