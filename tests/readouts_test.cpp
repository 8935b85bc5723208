#include <gtest/gtest.h>

#include "observatory/scripted/scripted_observatory.h"
#include "replay/player.h"
#include "support/error.h"
#include "ui/frmMain.h"

namespace orvan {
namespace {

// The window logic on a recording surface, for its readout routines.
class Readouts : public testing::Test {
 protected:
  explicit Readouts(char decimal = '.')
      : observatory_([](const std::string&) {}),
        recorder_([this](const std::string& l) { lines_.push_back(l); }, decimal),
        form_(recorder_, observatory_) {}

  // Text1's and Text2's texts for these errors (hours, degrees).
  std::pair<std::string, std::string> Errors(double ra_hours, double dec_degrees) {
    form_.state.ErrorRA = ra_hours;
    form_.state.ErrorDec = dec_degrees;
    form_.UpdateReadouts();
    return {form_.model().Text(ControlId::Text1), form_.model().Text(ControlId::Text2)};
  }

  ScriptedObservatory observatory_;
  std::vector<std::string> lines_;
  replay::Recorder recorder_;
  frmMain form_;
};

TEST_F(Readouts, ErrorsFloorToSixDecimalsOfArcSeconds) {
  EXPECT_EQ(Errors(0.0001, 0), std::make_pair(std::string("5.399999"), std::string("0")));
  EXPECT_EQ(Errors(-0.0001, 0).first, "-5.4");
  EXPECT_EQ(Errors(1.0 / 54000, 1.0 / 3600),
            std::make_pair(std::string("0.999999"), std::string("0.999999")));
  EXPECT_EQ(Errors(0, -1.2345674 / 3600).second, "-1.234568");
  EXPECT_EQ(Errors(0, 1.2345678 / 3600).second, "1.234567");
  EXPECT_EQ(Errors(-1e-12, 0).first, "-1E-06");  // just below zero floors to -0.000001
}

TEST_F(Readouts, WritesAllTenBoxesThenTheStatusInOrder) {
  form_.state.CurrentScopeRA = 1.5;
  form_.state.CurrentScopeDec = -2;
  form_.state.CurrentTrueRA = 0.25;
  form_.state.CurrentTrueDec = 1e-5;
  form_.state.TargetScopeRA = 23.999999999999996;
  form_.state.TargetScopeDec = 89.9;
  form_.state.TargetTrueRA = 12;
  form_.state.TargetTrueDec = -0.5;
  form_.UpdateReadouts();
  EXPECT_EQ(lines_,
            (std::vector<std::string>{
                R"(set Text1.Text "0")", R"(set Text2.Text "0")", R"(set Text3.Text "1.5")",
                R"(set Text4.Text "-2")", R"(set Text5.Text "0.25")", R"(set Text6.Text "1E-05")",
                R"(set Text7.Text "24")", R"(set Text8.Text "89.9")", R"(set Text9.Text "12")",
                R"(set Text10.Text "-0.5")", R"(set sbStatusBar.SimpleText "Orvan tracking")"}));
}

TEST_F(Readouts, ClearPutsBackTheDesignTimeLookAndNothingElse) {
  form_.ClearReadouts();
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        R"(set Text1.Text "0.000000")", R"(set Text2.Text "0.000000")",
                        R"(set Text3.Text "")", R"(set Text4.Text "")", R"(set Text5.Text "")",
                        R"(set Text6.Text "")", R"(set Text7.Text "")", R"(set Text8.Text "")",
                        R"(set Text9.Text "")", R"(set Text10.Text "")",
                        R"(set sbStatusBar.SimpleText "Normal Sidereal tracking")"}));
}

TEST_F(Readouts, OverflowingErrorRaisesBeforeAnyWrite) {
  form_.state.ErrorRA = 1e303;
  try {
    form_.UpdateReadouts();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kOverflow);
  }
  EXPECT_TRUE(lines_.empty());
}

class CommaReadouts : public Readouts {
 protected:
  CommaReadouts() : Readouts(',') {}
};

TEST_F(CommaReadouts, ShowTheUsersSeparator) {
  EXPECT_EQ(Errors(0.0001, -0.0005), std::make_pair(std::string("5,399999"), std::string("-1,8")));
  form_.state.TargetTrueRA = 10.25;
  form_.UpdateReadouts();
  EXPECT_EQ(form_.model().Text(ControlId::Text9), "10,25");
}

}  // namespace
}  // namespace orvan
