#include <gtest/gtest.h>

#include <string>

#include "pointing/model.h"
#include "pointing/sides.h"
#include "reference.h"

namespace orvan::pointing {
namespace {

// Each term's effect per arc-second, worked by hand at three positions:
// A: h 0, δ 0, φ 0. B: h 6 h, δ 45°, φ 30° (zenith distance 69.3°,
// cos z = √2/4). C: h 12 h, δ −60°, φ −45° (below the south pole, 15° up:
// sin z = cos 15°, cos z = cos 75°).
struct HandValue {
  const char* term;
  TermEffect a, b, c;
};

constexpr double kR2 = 1.4142135623730951;  // √2
constexpr double kR3 = 1.7320508075688772;  // √3
constexpr double kR6 = 2.4494897427831781;  // √6

const HandValue kHand[] = {
    {"IH", {1, 0}, {1, 0}, {1, 0}},
    {"ID", {0, 1}, {0, 1}, {0, 1}},
    {"CH", {1, 0}, {kR2, 0}, {2, 0}},   // sec δ
    {"NP", {0, 0}, {1, 0}, {-kR3, 0}},  // tan δ
    {"MA", {0, 0}, {0, 1}, {-kR3, 0}},  // −cos h tan δ, sin h
    {"ME", {0, 1}, {1, 0}, {0, -1}},    // sin h tan δ, cos h
    {"TF", {0, 0}, {kR6 / 2, -kR2 / 4}, {0, (kR6 + kR2) / 4}},
    {"FO", {0, 1}, {0, 0}, {0, -1}},                    // cos h
    {"DAF", {-1, 0}, {-0.5, 0}, {(kR2 - kR6) / 2, 0}},  // −(cos φ cos h + sin φ tan δ)
    {"TX", {0, 0}, {2 * kR3, -1}, {0, 2 + kR3}},        // TF's over cos z
    {"HCES", {0, 0}, {1, 0}, {0, 0}},                   // sin h
    {"HCEC", {1, 0}, {0, 0}, {-1, 0}},                  // cos h
    {"DCES", {0, 0}, {0, kR2 / 2}, {0, -kR3 / 2}},      // sin δ
    {"DCEC", {0, 1}, {0, kR2 / 2}, {0, 0.5}},           // cos δ
};

TEST(PointingTerms, EachTermsEffectMatchesHandWorkedValues) {
  ASSERT_EQ(std::size(kHand), kTermCount);
  const double deg = kRad;
  for (std::size_t i = 0; i < kTermCount; ++i) {
    const HandValue& v = kHand[i];
    const TermDef& def = Terms()[i];
    ASSERT_EQ(def.name, v.term);
    const struct {
      TermEffect want, got;
    } cases[] = {{v.a, def.effect(0, 0, 0)},
                 {v.b, def.effect(90 * deg, 45 * deg, 30 * deg)},
                 {v.c, def.effect(180 * deg, -60 * deg, -45 * deg)}};
    for (const auto& c : cases) {
      EXPECT_NEAR(c.got.dh, c.want.dh, 1e-12) << v.term;
      EXPECT_NEAR(c.got.ddec, c.want.ddec, 1e-12) << v.term;
    }
  }
}

TEST(PointingTerms, FoundByNameInAnyCaseAndNothingElse) {
  EXPECT_EQ(FindTerm("IH"), 0u);
  EXPECT_EQ(FindTerm("hces"), static_cast<std::size_t>(Term::HCES));
  EXPECT_EQ(FindTerm("Daf"), static_cast<std::size_t>(Term::DAF));
  EXPECT_EQ(FindTerm("DCEC"), kTermCount - 1);
  EXPECT_EQ(FindTerm("XX"), std::nullopt);
  EXPECT_EQ(FindTerm(""), std::nullopt);
  EXPECT_EQ(FindTerm("IH "), std::nullopt);
}

TEST(PointingTerms, TheModelAddsThemToTheObservedPosition) {
  // Position B without air: 10" of each term moves the axes by ten times
  // the hand values above, all added together.
  const Site site{30, 0, 0, 10};
  const PointingModel model{.terms = With({{Term::NP, 10}, {Term::ME, 10}, {Term::DCES, 10}}),
                            .refraction = false};
  const HaDec mech = SkyToMechanical(model, site, {6.0, 45.0});
  EXPECT_NEAR((mech.ha - 6.0) * kArcsecPerHour, 20, 1e-9);
  EXPECT_NEAR((mech.dec - 45.0) * kArcsecPerDegree, 10 * kR2 / 2, 1e-9);
}

}  // namespace
}  // namespace orvan::pointing
