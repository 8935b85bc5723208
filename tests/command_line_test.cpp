// The programs' command lines.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"

namespace orvan::app {
namespace {

Parsed Parse(std::vector<std::string_view> args) {
  return ParseCommandLine(args);
}

TEST(CommandLine, NoOptionsMeansTheWindowOnTheSimulator) {
  const Parsed p = Parse({});
  EXPECT_EQ(p.error, "");
  EXPECT_FALSE(p.options.indi_host);
  EXPECT_FALSE(p.options.headless);
  EXPECT_FALSE(p.options.start);
  EXPECT_FALSE(p.options.threshold);
}

TEST(CommandLine, TakesEveryOption) {
  const Parsed p = Parse({"--headless",
                          "--indi",
                          "example.org:7625",
                          "--device",
                          "EQMod Mount",
                          "--model",
                          "m.txt",
                          "--pressure",
                          "840",
                          "--temperature",
                          "-8.5",
                          "--humidity",
                          "29",
                          "--weather",
                          "Weather Simulator",
                          "--threshold",
                          "0,5",
                          "--start",
                          "--trace",
                          "--rates"});
  ASSERT_EQ(p.error, "");
  const Options& o = p.options;
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.indi_host, "example.org");
  EXPECT_EQ(o.indi_port, 7625);
  EXPECT_EQ(o.device, "EQMod Mount");
  EXPECT_EQ(o.model_file, "m.txt");
  EXPECT_EQ(o.pressure_hpa, 840.0);
  EXPECT_EQ(o.temperature_c, -8.5);
  EXPECT_EQ(o.humidity_percent, 29.0);
  EXPECT_EQ(o.weather, "Weather Simulator");
  EXPECT_EQ(o.threshold, "0,5");  // converted later, exactly as typed text is
  EXPECT_TRUE(o.start);
  EXPECT_TRUE(o.trace);
  EXPECT_TRUE(o.rates);
}

TEST(CommandLine, TheSimulatedTruthIsForTheSimulatorAlone) {
  const Parsed p = Parse({"--sim-truth", "truth.txt", "--sim-german", "--model", "m.txt"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.sim_truth_file, "truth.txt");
  EXPECT_TRUE(p.options.sim_german);
  EXPECT_FALSE(Parse({}).options.sim_german);
  EXPECT_EQ(Parse({"--indi", "localhost", "--sim-german"}).error,
            "--sim-truth and --sim-german are for the simulated observatory, not --indi");
  EXPECT_EQ(Parse({"--sim-truth", "t", "--indi", "localhost"}).error,
            "--sim-truth and --sim-german are for the simulated observatory, not --indi");
}

TEST(CommandLine, TheAxesReversedWestOfThePier) {
  EXPECT_FALSE(Parse({}).options.reverse_on_pier_west);
  struct Row {
    std::string_view value;
    bool ra, dec;
  };
  for (const Row row : {Row{"dec", false, true}, Row{"ra", true, false}, Row{"both", true, true},
                        Row{"none", false, false}}) {
    const Parsed p = Parse({"--reverse-on-pier-west", row.value});
    ASSERT_EQ(p.error, "");
    ASSERT_TRUE(p.options.reverse_on_pier_west) << row.value;
    EXPECT_EQ(p.options.reverse_on_pier_west->ra, row.ra) << row.value;
    EXPECT_EQ(p.options.reverse_on_pier_west->dec, row.dec) << row.value;
  }
}

TEST(CommandLine, IndiHostsWithAndWithoutPorts) {
  EXPECT_EQ(Parse({"--indi", "127.0.0.1"}).options.indi_port, 7624);
  EXPECT_EQ(Parse({"--indi", "127.0.0.1"}).options.indi_host, "127.0.0.1");
  EXPECT_EQ(Parse({"--indi", "[::1]:9"}).options.indi_host, "::1");
  EXPECT_EQ(Parse({"--indi", "[::1]:9"}).options.indi_port, 9);
  EXPECT_EQ(Parse({"--indi", "[::1]"}).options.indi_port, 7624);
  EXPECT_EQ(Parse({"--device", "A", "--device", "B"}).options.device, "B");
}

TEST(CommandLine, RefusesWhatItDoesNotKnowWithAReason) {
  EXPECT_EQ(Parse({"--bogus"}).error, "unknown option --bogus");
  EXPECT_EQ(Parse({"-h"}).error, "unknown option -h");
  EXPECT_EQ(Parse({"--indi"}).error, "--indi needs a value");
  EXPECT_EQ(Parse({"--indi", "host:0"}).error, "bad port in --indi host:0");
  EXPECT_EQ(Parse({"--indi", "host:65536"}).error, "bad port in --indi host:65536");
  EXPECT_EQ(Parse({"--indi", "host:"}).error, "bad port in --indi host:");
  EXPECT_EQ(Parse({"--indi", ":7624"}).error, "bad host in --indi :7624");
  EXPECT_EQ(Parse({"--indi", "[::1"}).error, "bad host in --indi [::1");
  EXPECT_EQ(Parse({"--reverse-on-pier-west", "Dec"}).error,
            "bad value for --reverse-on-pier-west: Dec (dec, ra, both or none)");
  EXPECT_EQ(Parse({"--reverse-on-pier-west"}).error, "--reverse-on-pier-west needs a value");
  EXPECT_EQ(Parse({"--indi", "[::1]x"}).error, "bad host in --indi [::1]x");
  EXPECT_EQ(Parse({"--device", ""}).error, "--device needs a name");
  EXPECT_EQ(Parse({"--pressure", "abc"}).error, "bad value for --pressure: abc");
  EXPECT_EQ(Parse({"--pressure", "nan"}).error, "bad value for --pressure: nan");
  EXPECT_EQ(Parse({"--pressure", "-1"}).error, "bad value for --pressure: -1");
  EXPECT_EQ(Parse({"--temperature", "61"}).error, "bad value for --temperature: 61");
  EXPECT_EQ(Parse({"--temperature", "8 "}).error, "bad value for --temperature: 8 ");
  EXPECT_EQ(Parse({"--humidity", "100.5"}).error, "bad value for --humidity: 100.5");
  EXPECT_EQ(Parse({"--humidity", "-1"}).error, "bad value for --humidity: -1");
  EXPECT_EQ(Parse({"--humidity", "0"}).options.humidity_percent, 0.0);
  EXPECT_EQ(Parse({"--weather", "W"}).error, "--weather needs --indi");
  EXPECT_EQ(Parse({"--guide-rate", "0.5"}).error, "--guide-rate needs --indi");
  EXPECT_EQ(Parse({"--indi", "h", "--guide-rate", "0"}).error, "bad value for --guide-rate: 0");
  EXPECT_EQ(Parse({"--indi", "h", "--guide-rate", "6"}).error, "bad value for --guide-rate: 6");
  EXPECT_EQ(Parse({"--indi", "h", "--guide-rate", "0.5"}).options.guide_rate, 0.5);
  EXPECT_EQ(Parse({"--indi", "h", "--weather", ""}).error, "--weather needs a device name");
  EXPECT_EQ(Parse({"--threshold"}).error, "--threshold needs a value");
  EXPECT_EQ(Parse({"--log"}).error, "--log needs a value");
  EXPECT_EQ(Parse({"--log", ""}).error, "--log needs a file name");
}

// The trace's file comes in the same argument, so the option alone (to
// standard error) is never followed by a value it could mistake for one.
TEST(CommandLine, TracesIndiToStandardErrorOrAFile) {
  struct Case {
    std::vector<std::string_view> args;
    std::optional<std::string> trace_indi;
    std::string error;
  };
  const Case cases[] = {
      {{"--indi", "h", "--trace-indi"}, "", ""},
      {{"--indi", "h", "--trace-indi=indi.txt"}, "indi.txt", ""},
      {{"--trace-indi", "--indi", "h"}, "", ""},
      {{"--indi", "h", "--trace-indi="}, std::nullopt, "--trace-indi= needs a file name"},
      {{"--trace-indi"}, "", "--trace-indi needs --indi"},
      {{"--indi", "h", "--trace-indi", "indi.txt"}, "", "unknown option indi.txt"},
      {{"--indi", "h", "--log=night.csv"}, std::nullopt, "unknown option --log=night.csv"},
      {{"--trace=x"}, std::nullopt, "unknown option --trace=x"},
  };
  for (const Case& c : cases) {
    const Parsed p = ParseCommandLine(c.args);
    EXPECT_EQ(p.error, c.error) << c.args.back();
    EXPECT_EQ(p.options.trace_indi, c.trace_indi) << c.args.back();
  }
}

TEST(CommandLine, TakesALogFile) {
  EXPECT_FALSE(Parse({}).options.log_file);
  EXPECT_EQ(Parse({"--log", "night.csv"}).options.log_file, "night.csv");
  EXPECT_EQ(Parse({"--log", "a.csv", "--log", "b.csv"}).options.log_file, "b.csv");
  EXPECT_EQ(Parse({"--indi", "h", "--points", "syncs.csv"}).options.points_file, "syncs.csv");
  EXPECT_EQ(Parse({"--points", "syncs.csv"}).error, "--points needs --indi or --frames");
  EXPECT_EQ(Parse({"--indi", "h", "--points", ""}).error, "--points needs a file name");
}

TEST(CommandLine, HoldsByTheFramesOfAFolder) {
  const std::string kNeedFrames =
      "--solver, --frames-wcs, --pixel-scale, --frames-center, --frames-outlier and --frames-wait "
      "need --frames";
  const Parsed p = Parse({"--frames", "/srv/images", "--solver", "none", "--frames-wcs", "solved",
                          "--pixel-scale", "2.5", "--frames-center", "--frames-outlier", "15",
                          "--frames-wait", "0.5", "--points", "f.csv"});
  ASSERT_EQ(p.error, "");
  EXPECT_TRUE(p.options.any_frame_wcs);
  EXPECT_FALSE(Parse({"--frames", "d", "--frames-wcs", "marked"}).options.any_frame_wcs);
  EXPECT_FALSE(Parse({"--frames", "d"}).options.any_frame_wcs);
  EXPECT_EQ(p.options.frames_dir, "/srv/images");
  EXPECT_FALSE(p.options.solve_frames);
  EXPECT_EQ(p.options.pixel_scale_arcsec, 2.5);
  EXPECT_TRUE(p.options.frames_center);
  EXPECT_EQ(p.options.frames_outlier_arcsec, 15);
  EXPECT_EQ(p.options.frames_wait_s, 0.5);
  EXPECT_EQ(p.options.points_file, "f.csv");
  EXPECT_TRUE(Parse({"--frames", "d"}).options.solve_frames);

  const std::pair<std::vector<std::string_view>, std::string> refused[] = {
      {{"--frames", ""}, "--frames needs a folder"},
      {{"--frames", "d", "--solver", "tetra3"},
       "bad value for --solver: tetra3 (astrometry or none)"},
      {{"--frames", "d", "--pixel-scale", "0"}, "bad value for --pixel-scale: 0"},
      {{"--frames", "d", "--frames-outlier", "x"}, "bad value for --frames-outlier: x"},
      {{"--frames", "d", "--frames-wcs", "any"},
       "bad value for --frames-wcs: any (marked or solved)"},
      {{"--frames-center"}, kNeedFrames},
      {{"--solver", "none"}, kNeedFrames},
      {{"--frames-wcs", "solved"}, kNeedFrames},
      {{"--frames-wait", "5"}, kNeedFrames},
      {{"--frames", "d", "--frames-wait", "-1"}, "bad value for --frames-wait: -1"},
  };
  for (const auto& [args, error] : refused) EXPECT_EQ(Parse(args).error, error) << args.back();
}

Parsed ParseWindows(std::vector<std::string_view> args) {
  return ParseCommandLine(args, Program::Windows);
}

TEST(WindowsCommandLine, TakesWhatAScriptNeedsToStartANight) {
  const Parsed p = ParseWindows({"--threshold", "0,5", "--start", "--log", "C:\\logs\\n.csv"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.threshold, "0,5");
  EXPECT_TRUE(p.options.start);
  EXPECT_EQ(p.options.log_file, "C:\\logs\\n.csv");
  EXPECT_EQ(ParseWindows({}).error, "");
  EXPECT_TRUE(ParseWindows({"--help"}).options.help);
  EXPECT_TRUE(ParseWindows({"--version"}).options.version);
  const Parsed frames =
      ParseWindows({"--frames", "D:\\Images", "--frames-center", "--frames-outlier", "30"});
  ASSERT_EQ(frames.error, "");
  EXPECT_EQ(frames.options.frames_dir, "D:\\Images");
  EXPECT_TRUE(frames.options.frames_center);
  EXPECT_EQ(frames.options.frames_outlier_arcsec, 30);
  EXPECT_EQ(ParseWindows({"--frames-center"}).error,
            "--frames-center and --frames-outlier need --frames");
}

TEST(WindowsCommandLine, RefusesTheLinuxProgramsOwnOptions) {
  for (const char* option :
       {"--indi", "--device", "--model", "--pressure", "--temperature", "--humidity", "--weather",
        "--headless", "--trace", "--rates", "--trace-indi", "--reverse-on-pier-west", "--solver",
        "--frames-wcs", "--pixel-scale", "--frames-wait"})
    EXPECT_EQ(ParseWindows({option, "x"}).error, "unknown option " + std::string(option));
  EXPECT_EQ(ParseWindows({"/start"}).error, "unknown option /start");
  EXPECT_EQ(ParseWindows({"--start", "--log"}).error, "--log needs a value");
}

// For a message box: no columns, which its proportional font would break.
TEST(WindowsCommandLine, UsageNamesOnlyItsOptionsInShortLines) {
  EXPECT_EQ(Usage(Program::Windows), R"(usage: OrvanACP.exe [OPTION...]
Holds a telescope on target with guide pulses, beside ACP.
With no option it opens its window and waits for Start.

--threshold TEXT
the maximum allowable error, as if typed into the box

--start
start holding once the link to the telescope is up

--log FILE
append a CSV line for each correction cycle, start,
stop and error to FILE

--frames DIR
hold the image still by the FITS frames written to DIR
and the folders made in it: each frame, plate-solved,
says how far the image drifted

--frames-center
the frames bring the target itself to their middle

--frames-outlier ARCSEC
a frame this far from where it should be is a bad
solve (default: 10" or 10 times the threshold)

--help
show this text

--version
show the program's version)");
}

TEST(CommandLine, UsageNamesEveryOption) {
  for (const char* option :
       {"--indi HOST[:PORT]", "--device NAME", "--model FILE", "--pressure HPA", "--temperature C",
        "--sim-truth FILE", "--sim-german", "--headless", "--threshold TEXT", "--start",
        "--log FILE", "--trace", "--help", "--version"})
    EXPECT_NE(Usage().find(option), std::string_view::npos) << option;
}

TEST(CommandLine, UsageLaysOutEveryOptionWithItsHelp) {
  EXPECT_EQ(Usage(), R"(usage: orvanacp [OPTION...]
Holds a telescope on target with guide pulses computed from the pointing model.
With no option it opens its window on a built-in simulated observatory.

  --indi HOST[:PORT]   use the telescope of an INDI server (port 7624 by default)
  --device NAME        the INDI telescope device (default "Telescope Simulator")
  --reverse-on-pier-west dec|ra|both|none
                       the axes whose guide pulses move the INDI mount the
                       other way west of the pier; left out, the first pulses
                       tell
  --guide-rate X       the INDI mount's guide rate, in times the sidereal
                       rate, where the mount does not tell its own
  --model FILE         pointing-model terms, by TPOINT's names (IH, ID, CH,
                       NP, MA, ME, TF, FO, DAF, TX, HCES, HCEC, DCES, DCEC)
  --pressure HPA       air pressure at the telescope, for refraction
  --temperature C      air temperature at the telescope, for refraction
  --humidity PERCENT   relative humidity at the telescope, for refraction
  --weather DEVICE     read the air live from this INDI weather device on
                       the --indi server; what it lacks is the air above
  --sim-truth FILE     the simulated mount's own terms, which the program
                       does not know (a model file, as for --model)
  --sim-german         the simulated mount is a German mount: slewed east
                       of the meridian, it looks through the pole
  --headless           run without a window: print each change of the status
                       text, each message, each guide pulse and the error
                       report, one time-stamped line each; end on SIGINT or
                       SIGTERM
  --threshold TEXT     the maximum allowable error, as if typed into the box
  --start              start holding once the link to the telescope is up
  --log FILE           append a CSV line for each correction cycle, start,
                       stop and error to FILE
  --points FILE        append each sync another client makes on the INDI
                       mount, and each frame solved, to FILE, a point CSV
                       for orvanacp-model
  --rates              while holding, track at the rates the pointing model
                       predicts; pulses take out the rest
  --frames DIR         hold the image still by the FITS frames written to DIR
                       and the folders made in it: each frame, plate-solved,
                       says how far the image drifted
  --solver astrometry|none
                       how frames without a WCS in their header are solved:
                       astrometry.net's solve-field (the default), or not
  --frames-wcs marked|solved
                       which WCS in a frame's header is a plate solve: one a
                       solver marked (the default), or any (the capture
                       program solves every frame)
  --pixel-scale ARCSEC a frame's pixel on the sky, to hint the solver
  --frames-center      the frames bring the target itself to their middle
  --frames-outlier ARCSEC
                       a frame this far from where it should be is a bad
                       solve (default: 10" or 10 times the threshold)
  --frames-wait SECONDS
                       how long a frame shorter than its header declares
                       is waited for before it is read as it is (default 60)
  --trace              write every observatory access to standard error
  --trace-indi[=FILE]  write every INDI message sent and received to
                       standard error, or append it to FILE
  --help               show this text
  --version            show the program's version
)");
}

}  // namespace
}  // namespace orvan::app
