// The command line to the raw values the host would store, and from them to
// the settings the module derives. Exact equality throughout: a Fixed that
// is one off is a different frame.
#include "tools/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace quillmarch::tool {
namespace {

struct MappingCase {
  const char* why;
  std::vector<std::string> args;
  RawParams expected;
};

RawParams With(void (*change)(RawParams&)) {
  RawParams params;
  change(params);
  return params;
}

class OptionMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(OptionMapping, GivesTheHostsRawValues) {
  const MappingCase& c = GetParam();
  SCOPED_TRACE(c.why);
  const ParsedCommandLine parsed = ParseCommandLine(c.args);
  ASSERT_TRUE(parsed.options.has_value());
  const RawParams& got = parsed.options->params;
  const RawParams& want = c.expected;
  EXPECT_EQ(got.downsample_num, want.downsample_num);
  EXPECT_EQ(got.downsample_den, want.downsample_den);
  EXPECT_EQ(got.mode, want.mode);
  EXPECT_EQ(got.completion, want.completion);
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.direction_mode, want.direction_mode);
  EXPECT_EQ(got.direction, want.direction);
  EXPECT_EQ(got.displace, want.displace);
}

INSTANTIATE_TEST_SUITE_P(Table, OptionMapping,
                         ::testing::Values(
                             // The defaults of a fresh instance of the effect.
                             MappingCase{"defaults", {"render", "out.png"}, With([](RawParams& p) {
                                           p = RawParams{1, 1, 1, 0, 20.0, 1, 90 * 65536, 1};
                                         })},
                             MappingCase{"every popup and the checkbox away from its default",
                                         {"render", "out.png", "--mode", "constant",
                                          "--direction-mode", "to-left", "--displace", "off"},
                                         With([](RawParams& p) {
                                           p.mode = 2;
                                           p.direction_mode = 2;
                                           p.displace = 0;
                                         })},
                             MappingCase{"choices that name the defaults explicitly",
                                         {"render", "out.png", "--mode", "normal",
                                          "--direction-mode", "to-right", "--displace", "on"},
                                         RawParams{}},
                             // 33.3 x 65536 = 2182348.8: rounded, not truncated.
                             MappingCase{"completion rounds to nearest",
                                         {"render", "out.png", "--completion", "33.3"},
                                         With([](RawParams& p) { p.completion = 2182349; })},
                             // 2^-17 x 65536 = 0.5 exactly: the half goes away from zero.
                             MappingCase{"completion half way between two Fixed values",
                                         {"render", "out.png", "--completion", "7.62939453125e-06"},
                                         With([](RawParams& p) { p.completion = 1; })},
                             MappingCase{"completion at both ends of its range",
                                         {"render", "out.png", "--completion=100"},
                                         With([](RawParams& p) { p.completion = 6553600; })},
                             MappingCase{"a plus sign is accepted",
                                         {"render", "out.png", "--completion", "+50"},
                                         With([](RawParams& p) { p.completion = 3276800; })},
                             MappingCase{"negative direction, as an argument of its own",
                                         {"render", "out.png", "--direction", "-90"},
                                         With([](RawParams& p) { p.direction = -5898240; })},
                             // -0.5 / 65536 is a negative half: away from zero gives -1.
                             MappingCase{"negative direction half way",
                                         {"render", "out.png", "--direction", "-7.62939453125e-06"},
                                         With([](RawParams& p) { p.direction = -1; })},
                             MappingCase{"several turns are kept as typed, for the module to fold",
                                         {"render", "out.png", "--direction", "-720.25"},
                                         With([](RawParams& p) { p.direction = -47202304; })},
                             MappingCase{"the largest angle a Fixed holds",
                                         {"render", "out.png", "--direction", "32767.9999847"},
                                         With([](RawParams& p) { p.direction = 2147483647; })},
                             MappingCase{"width is a double, not rounded",
                                         {"render", "out.png", "--width", "4.125"},
                                         With([](RawParams& p) { p.width = 4.125; })},
                             MappingCase{"width at its upper bound",
                                         {"render", "out.png", "--width", "1000"},
                                         With([](RawParams& p) { p.width = 1000.0; })},
                             MappingCase{"downsample factor",
                                         {"render", "in.png", "out.png", "--downsample", "1/4"},
                                         With([](RawParams& p) { p.downsample_den = 4; })},
                             MappingCase{"downsample factor not in lowest terms",
                                         {"render", "out.png", "--downsample", "2/4"},
                                         With([](RawParams& p) {
                                           p.downsample_num = 2;
                                           p.downsample_den = 4;
                                         })},
                             MappingCase{
                                 "sequence shares the effect options",
                                 {"sequence", "outdir", "--width", "60", "--direction", "30"},
                                 With([](RawParams& p) {
                                   p.width = 60.0;
                                   p.direction = 30 * 65536;
                                 })}));

// The settings the module derives from what the options give, for the
// cases where the tool's numbers meet the engine's exact tests.
TEST(OptionSettings, MeetTheEnginesExactTests) {
  auto settings_for = [](std::vector<std::string> args) {
    args.insert(args.begin(), {"render", "out.png"});
    return DeriveSettings(ParseCommandLine(args).options->params);
  };
  EXPECT_EQ(settings_for({"--completion", "100"}).completion, 1.0);
  EXPECT_EQ(settings_for({}).completion, 0.0);
  EXPECT_EQ(settings_for({"--completion", "0.5"}).completion, 0.005);

  const WipeSettings up_left = settings_for({"--direction", "-90"});
  EXPECT_EQ(up_left.quadrant, 4);
  EXPECT_EQ(up_left.axis_aligned, 1);
  const WipeSettings defaults = settings_for({});
  EXPECT_EQ(defaults.quadrant, 2);
  EXPECT_EQ(defaults.axis_aligned, 1);
  EXPECT_EQ(defaults.width, 20.0);
  EXPECT_EQ(defaults.displace, 1);
  EXPECT_EQ(defaults.mode, kModeNormal);
  EXPECT_EQ(defaults.direction_mode, kToRight);
  // One Fixed step short of 90 degrees is oblique.
  const WipeSettings near_axis = settings_for({"--direction", "89.99998474"});
  EXPECT_EQ(near_axis.axis_aligned, 0);
  EXPECT_EQ(near_axis.quadrant, 1);

  EXPECT_EQ(settings_for({"--downsample", "1/2"}).width, 10.0);
  EXPECT_EQ(settings_for({"--downsample", "1/8", "--width", "4"}).width, 1.0);
}

TEST(OptionPaths, InputIsOptional) {
  const ToolOptions card = *ParseCommandLine({"render", "out.png"}).options;
  EXPECT_FALSE(card.input.has_value());
  EXPECT_EQ(card.output, "out.png");
  const ToolOptions file = *ParseCommandLine({"sequence", "in.exr", "out", "-q"}).options;
  EXPECT_EQ(file.command, Command::kSequence);
  EXPECT_EQ(file.input.value(), "in.exr");
  EXPECT_EQ(file.output, "out");
  EXPECT_TRUE(file.quiet);
}

TEST(OptionSequence, DefaultsAndRange) {
  const ToolOptions defaults = *ParseCommandLine({"sequence", "out"}).options;
  EXPECT_EQ(defaults.frames, 12);
  EXPECT_EQ(defaults.from_percent, 0.0);
  EXPECT_EQ(defaults.to_percent, 100.0);
  EXPECT_EQ(defaults.depth, DepthChoice::kFromInput);

  const ToolOptions reverse = *ParseCommandLine({"sequence", "out", "--frames", "7", "--from", "90",
                                                 "--to", "10", "--depth", "float"})
                                   .options;
  EXPECT_EQ(reverse.frames, 7);
  EXPECT_EQ(reverse.from_percent, 90.0);
  EXPECT_EQ(reverse.to_percent, 10.0);
  EXPECT_EQ(reverse.depth, DepthChoice::kFloat);
}

// The ends must be exact, or the last frame of a 0-to-100 run would not be
// the module's completion 1 (erase all) but a hair short of it.
TEST(OptionSequence, PercentsAreEvenWithExactEnds) {
  EXPECT_EQ(SequencePercent(0.0, 100.0, 0, 12), 0.0);
  EXPECT_EQ(SequencePercent(0.0, 100.0, 11, 12), 100.0);
  EXPECT_EQ(SequencePercent(0.0, 100.0, 2, 5), 50.0);
  EXPECT_EQ(SequencePercent(0.1, 0.7, 2, 3), 0.7);
  EXPECT_EQ(SequencePercent(80.0, 20.0, 1, 3), 50.0);
  EXPECT_EQ(SequencePercent(33.0, 100.0, 0, 1), 33.0);
}

TEST(OptionHelp, IsTextNotOptions) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"render", "--help"}, {"sequence", "-h"}, {"--version"}}) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_FALSE(parsed.options.has_value());
    EXPECT_FALSE(parsed.help.empty());
  }
  // The help shows the effect's defaults.
  const std::string help = ParseCommandLine({"render", "--help"}).help;
  for (const char* shown :
       {"--width PIXELS", "4 to 1000 (default 20)", "--direction-mode to-right|to-left",
        "(default to-right)", "--mode normal|constant", "(default normal)", "--displace on|off",
        "(default on)", "(default 90)", "(default 1/1)"}) {
    EXPECT_NE(help.find(shown), std::string::npos) << shown;
  }
}

struct ErrorCase {
  std::vector<std::string> args;
  const char* message;
};

class OptionErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(OptionErrors, NameTheOptionTheValueAndTheRange) {
  const ErrorCase& c = GetParam();
  SCOPED_TRACE(c.message);
  try {
    ParseCommandLine(c.args);
    ADD_FAILURE() << "accepted";
  } catch (const ToolError& error) {
    EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionErrors,
    ::testing::Values(
        ErrorCase{{"render", "o.png", "--completion", "100.5"},
                  "--completion 100.5 is out of range (0 to 100)"},
        ErrorCase{{"render", "o.png", "--completion", "-1"},
                  "--completion -1 is out of range (0 to 100)"},
        ErrorCase{{"render", "o.png", "--completion", "half"}, "--completion half is not a number"},
        ErrorCase{{"render", "o.png", "--completion", "50%"}, "--completion 50% is not a number"},
        ErrorCase{{"render", "o.png", "--completion", "nan"},
                  "--completion nan is not a finite number"},
        ErrorCase{{"render", "o.png", "--width", "3.99"},
                  "--width 3.99 is out of range (4 to 1000)"},
        ErrorCase{{"render", "o.png", "--width", "1000.01"},
                  "--width 1000.01 is out of range (4 to 1000)"},
        ErrorCase{{"render", "o.png", "--width", "inf"}, "--width inf is not a finite number"},
        ErrorCase{{"render", "o.png", "--direction", "32768"},
                  "--direction 32768 does not fit the host's 16.16 fixed point (-32768 to "
                  "32767.9999847"},
        ErrorCase{{"render", "o.png", "--direction", "1e300"},
                  "--direction 1e300 does not fit the host's 16.16 fixed point"},
        ErrorCase{{"render", "o.png", "--mode", "fast"},
                  "--mode fast is not one of: normal, constant"},
        ErrorCase{{"render", "o.png", "--direction-mode", "up"},
                  "--direction-mode up is not one of: to-right, to-left"},
        ErrorCase{{"render", "o.png", "--displace", "1"}, "--displace 1 is not one of: off, on"},
        ErrorCase{{"render", "o.png", "--depth", "32"}, "--depth 32 is not one of: 8, 16, float"},
        ErrorCase{{"render", "o.png", "--downsample", "2/1"},
                  "--downsample 2/1 is not a downsample"},
        ErrorCase{{"render", "o.png", "--downsample", "0/1"},
                  "--downsample 0/1 is not a downsample"},
        ErrorCase{{"render", "o.png", "--downsample", "1/0"},
                  "--downsample 1/0 is not a downsample"},
        ErrorCase{{"render", "o.png", "--downsample", "half"},
                  "--downsample half is not a downsample"},
        ErrorCase{{"sequence", "out", "--frames", "0"}, "--frames 0 is out of range (1 to 9999)"},
        ErrorCase{{"sequence", "out", "--frames", "10000"},
                  "--frames 10000 is out of range (1 to 9999)"},
        ErrorCase{{"sequence", "out", "--frames", "2.5"}, "--frames 2.5 is not a whole number"},
        ErrorCase{{"sequence", "out", "--to", "101"}, "--to 101 is out of range (0 to 100)"},
        ErrorCase{{"sequence", "out", "--completion", "5"}, "--completion"},
        ErrorCase{{"render", "o.png", "--bogus"}, "--bogus"},
        ErrorCase{{"render", "o.png", "--width"}, "--width"},
        ErrorCase{{"render"}, "expected [IN] OUT, got 0 paths"},
        ErrorCase{{"render", "a", "b", "c"}, "expected [IN] OUT, got 3 paths"},
        ErrorCase{{"render", ""}, "an empty path"}, ErrorCase{{"sequence"}, "expected [IN] OUTDIR"},
        ErrorCase{{}, "a command is required: render or sequence"},
        ErrorCase{{"draw", "o.png"}, "unknown command 'draw', expected render or sequence"}));

}  // namespace
}  // namespace quillmarch::tool
