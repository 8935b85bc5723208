#include "model/model_command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvan::model {
namespace {

ParsedModelCommand Parse(std::vector<std::string_view> args) {
  return ParseModelCommand(args);
}

TEST(ModelCommandLine, RefusesWhatItCannotTake) {
  struct Case {
    std::vector<std::string_view> args;
    std::string error;
  };
  const std::vector<Case> cases{
      {{}, "no command: fit or check"},
      {{"plot", "a.csv"}, "unknown command plot: fit or check"},
      {{"fit"}, "fit needs a file of points"},
      {{"check", "mount.model"}, "check needs a model file and a file of points"},
      {{"fit", "a.csv", "--frame"}, "unknown option --frame"},
      {{"fit", "a.csv", "--terms", "IH,XX"}, "unknown term in --terms: \"XX\""},
      {{"fit", "a.csv", "--terms", "IH,,ID"}, "unknown term in --terms: \"\""},
      {{"fit", "a.csv", "--terms", "ih,IH"}, "IH is given twice in --terms"},
      {{"fit", "a.csv", "--reject", "0.5"}, "bad value for --reject: 0.5"},
      {{"fit", "a.csv", "--reject", "3x"}, "bad value for --reject: 3x"},
      {{"fit", "a.csv", "--latitude", "91"}, "bad value for --latitude: 91"},
      {{"fit", "a.csv", "--longitude", "nan"}, "bad value for --longitude: nan"},
      {{"fit", "a.csv", "--pressure", "-1"}, "bad value for --pressure: -1"},
      {{"fit", "a.csv", "--refraction", "mount"},
       "bad value for --refraction: mount (air or none)"},
      {{"fit", "a.csv", "--refraction", "none", "--pressure", "800"},
       "--pressure and --refraction none contradict each other"},
      {{"fit", "a.csv", "--temperature", "99"}, "bad value for --temperature: 99"},
      {{"fit", "a.csv", "--humidity", "100.5"}, "bad value for --humidity: 100.5"},
      {{"fit", "a.csv", "--humidity", "-1"}, "bad value for --humidity: -1"},
      {{"fit", "a.csv", "--height", "10001"}, "bad value for --height: 10001"},
      {{"fit", "a.csv", "--height", "1km"}, "bad value for --height: 1km"},
      {{"fit", "a.csv", "-o"}, "-o needs a value"},
      {{"fit", "a.csv", "--plot", ""}, "--plot needs a value"},
      {{"check", "m.model", "a.csv", "-o", "x.model"}, "-o is for fit only"},
      {{"check", "m.model", "a.csv", "--reject", "3"}, "--reject is for fit only"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (std::string_view a : c.args) shown += std::string(a) + " ";
    EXPECT_EQ(Parse(c.args).error, c.error) << shown;
  }
}

TEST(ModelCommandLine, TakesAFitAndACheck) {
  const ParsedModelCommand fit =
      Parse({"fit",      "a.csv",      "b.dat",       "--terms",       "ih,NP,tf",
             "--reject", "3",          "--longitude", "-105.5",        "--latitude",
             "40",       "--pressure", "840",         "--temperature", "-5",
             "-o",       "m.model",    "--residuals", "r.csv",         "--plot",
             "r.png",    "--humidity", "55",          "--height",      "-12.5"});
  ASSERT_EQ(fit.error, "");
  const ModelOptions& o = fit.options;
  EXPECT_EQ(o.command, Command::Fit);
  EXPECT_EQ(o.data, (std::vector<std::string>{"a.csv", "b.dat"}));
  EXPECT_EQ(o.terms, (std::vector<std::size_t>{0, 3, 6}));  // IH NP TF in TPOINT's order
  EXPECT_EQ(o.reject_sigma, 3);
  EXPECT_EQ(o.read.longitude_deg, -105.5);
  EXPECT_EQ(o.read.latitude_deg, 40);
  EXPECT_EQ(o.read.pressure_hpa, 840);
  EXPECT_EQ(o.read.temperature_c, -5);
  EXPECT_EQ(o.read.relative_humidity, 0.55);
  EXPECT_EQ(o.read.height_m, -12.5);
  using enum ReadSetting;
  EXPECT_EQ(o.given, (std::vector<ReadSetting>{Longitude, Latitude, Pressure, Temperature, Humidity,
                                               Height}));
  EXPECT_EQ(OptionOf(Humidity), "--humidity");
  EXPECT_EQ(o.output, "m.model");
  EXPECT_EQ(o.residuals, "r.csv");
  EXPECT_EQ(o.plot, "r.png");

  const ParsedModelCommand check = Parse({"check", "m.model", "a.csv", "--latitude", "40"});
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.options.command, Command::Check);
  EXPECT_EQ(check.options.model, "m.model");
  EXPECT_EQ(check.options.data, std::vector<std::string>{"a.csv"});
  // The default terms: IH ID CH NP MA ME TF, the first seven of the table.
  EXPECT_EQ(Parse({"fit", "a.csv"}).options.terms, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(Parse({"fit", "a.csv"}).options.reject_sigma);
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"fit", "--help"}).options.help);
  EXPECT_TRUE(Parse({"--version"}).options.version);
}

// Outputs are compared with the inputs and each other as the file system
// sees them: through links, and by the folders of files not yet made.
TEST(ModelCommandLine, AnOutputMayNotNameAnInputOrAnotherOutput) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / "orvan_output_clash";
  fs::remove_all(dir);
  fs::create_directories(dir / "real");
  std::ofstream(dir / "real" / "a.csv") << "utc\n";
  fs::create_directory_symlink(dir / "real", dir / "alias");
  fs::create_hard_link(dir / "real" / "a.csv", dir / "hard.csv");
  const std::string d = dir.string();
  struct Case {
    std::vector<std::string> args;
    std::string clash;
  };
  const std::vector<Case> cases{
      {{"fit", d + "/real/a.csv", "-o", d + "/alias/a.csv"},
       "-o " + d + "/alias/a.csv is the data file " + d + "/real/a.csv: it would be overwritten"},
      {{"fit", d + "/hard.csv", "--plot", d + "/real/a.csv"},
       "--plot " + d + "/real/a.csv is the data file " + d + "/hard.csv: it would be overwritten"},
      {{"fit", d + "/hard.csv", "-o", d + "/alias/m.model", "--residuals", d + "/real/m.model"},
       "--residuals " + d + "/real/m.model is the same file as -o " + d + "/alias/m.model"},
      {{"check", "m.model", d + "/hard.csv", "--residuals", "./m.model"},
       "--residuals ./m.model is the model file m.model: it would be overwritten"},
      {{"fit", d + "/hard.csv", "-o", d + "/m.model", "--residuals", d + "/real/m.model"}, ""},
  };
  for (const Case& c : cases) {
    const std::vector<std::string_view> args(c.args.begin(), c.args.end());
    const ParsedModelCommand parsed = ParseModelCommand(args);
    ASSERT_EQ(parsed.error, "") << c.args[1];
    EXPECT_EQ(OutputClash(parsed.options), c.clash) << c.args[1];
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvan::model
