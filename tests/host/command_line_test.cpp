#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_error.h"
#include "host/profiles.h"
#include "host/progress.h"

namespace {

using host::Command;

// The forms and options that the program's end-to-end runs do not use.
TEST(CommandLineTest, ReadsCommandsFilesAndOptionsInAnyOrder) {
  host::RCommandLine line = host::parseCommandLine(
      {"render", "--set", "blockSize=20", "in.mp4", "--crf=20.5", "out.mkv", "--log", "a.log",
       "--set=rollingShutter=true", "--threads", "3", "--preset", "slow", "--keep-delay", "-q"});
  EXPECT_EQ(line.input, "in.mp4");
  EXPECT_EQ(line.output, "out.mkv");
  ASSERT_EQ(line.changes.size(), 3u);
  EXPECT_EQ(line.changes[0].name, "blockSize");
  EXPECT_EQ(line.changes[1].name, "logFilePath");
  EXPECT_EQ(line.changes[1].fieldText, "a.log");
  EXPECT_EQ(line.changes[2].fieldText, "1");
  EXPECT_TRUE(line.logChanged);
  EXPECT_DOUBLE_EQ(line.encoding.crf.value_or(0), 20.5);
  EXPECT_EQ(line.encoding.preset, "slow");
  EXPECT_TRUE(line.quiet);
  EXPECT_EQ(line.notes, std::vector<std::string>{"--preset is now called --encoder-preset"});

  line = host::parseCommandLine({"stabilize", "a", "b", "--start", "1:02.5", "--duration", "3",
                                 "-n", "--compare", "c.mp4", "--encoder-option",
                                 "x264-params=keyint=5", "--pix-fmt", "yuv422p10le"});
  EXPECT_DOUBLE_EQ(line.startSeconds.value_or(0), 62.5);
  ASSERT_EQ(line.encoding.encoderOptions.size(), 1u);
  EXPECT_EQ(line.encoding.encoderOptions[0].second, "keyint=5");
  EXPECT_EQ(host::parseCommandLine({"help", "plan"}).helpTopic, Command::kPlan);
  EXPECT_EQ(host::parseCommandLine({"--version"}).command, Command::kVersion);

  line = host::parseCommandLine({"stabilize", "--help"});
  EXPECT_EQ(line.command, Command::kHelp);
  EXPECT_EQ(line.helpTopic, Command::kStabilize);
}

// What the dialog does besides: a preset sets its aspect, a typed aspect
// clears the preset.
TEST(CommandLineTest, PresetsSetTheirAspectAsTheDialogDoes) {
  const host::RCommandLine line = host::parseCommandLine(
      {"config", "--set", "sourcePixelAspectPreset=2", "--set", "destPixelAspect=1.2", "--set",
       "destPixelAspectPreset=-1", "--dialog"});
  ASSERT_EQ(line.changes.size(), 5u);
  EXPECT_EQ(line.changes[1].name, "sourcePixelAspect");
  EXPECT_EQ(line.changes[1].fieldText, "0.9115847225152985");
  EXPECT_TRUE(line.changes[1].implied);
  EXPECT_EQ(line.changes[3].name, "destPixelAspectPreset");
  EXPECT_EQ(line.changes[3].fieldText, "-1");
  EXPECT_FALSE(line.changes[4].implied);  // a typed preset index of -1 changes no aspect
  EXPECT_TRUE(line.dialog);
}

// The profile table is data; every entry must name real settings with
// values of their types.
TEST(CommandLineTest, EveryProfileIsAValidSetOfSettings) {
  for (const host::RProfile& profile : host::profiles()) {
    const host::RCommandLine line =
        host::parseCommandLine({"config", "--profile", std::string(profile.name)});
    EXPECT_EQ(line.profileChanges.size(), profile.settings.size()) << profile.name;
  }
}

TEST(CommandLineTest, RefusesWhatItCannotUseWithAMessageNamingIt) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } refused[] = {
      {{}, "no command"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"plan"}, "missing file arguments"},
      {{"plan", "a.log"}, "--size WIDTHxHEIGHT"},
      {{"plan", "a.log", "--size", "640"}, "WIDTHxHEIGHT"},
      {{"config", "--plot", "p.svg"}, "belong to plan"},
      {{"config", "x"}, "too many"},
      {{"config", "--frob"}, "unknown option --frob"},
      {{"config", "--set"}, "--set needs a value"},
      {{"config", "--set", "blockSize"}, "NAME=VALUE"},
      {{"config", "--set", "nosuch=1"}, "unknown setting 'nosuch'"},
      {{"config", "--set", "pass=2"}, "set by the command"},
      {{"config", "--threads", "0"}, "--threads 0"},
      {{"render", "a", "b", "--crf", "52"}, "--crf 52"},
      {{"render", "a", "b", "--preset", "quick"}, "--encoder-preset quick"},
      {{"render", "a", "b", "--preview", "p.mp4"}, "belongs to analyze"},
      {{"analyze", "a", "--keep-delay"}, "--keep-delay"},
      {{"config", "--quiet=1"}, "takes no value"},
      {{"config", "--config", "a", "--config", "b"}, "twice"},
      {{"config", "--profile", "calm"}, "unknown profile 'calm'"},
      {{"settings", "--set", "blockSize=20"}, "takes no"},
      {{"render", "a", "b", "--dialog"}, "--dialog belongs to config"},
      {{"render", "a", "b", "-y", "-n"}, "contradict"},
      {{"render", "a", "b", "--start", "-1"}, "--start -1"},
      {{"render", "a", "b", "--start", "1:60"}, "--start 1:60"},
      {{"render", "a", "b", "--start", "1e300"}, "--start 1e300"},
      {{"render", "a", "b", "--duration", "0"}, "more than 0"},
      {{"render", "a", "b", "--codec", "nosuch"}, "no video encoder"},
      {{"render", "a", "b", "--codec", "aac"}, "no video encoder"},
      {{"render", "a", "b", "--pix-fmt", "yuv423p"}, "no pixel format"},
      {{"analyze", "a", "--compare", "c.mp4"}, "--compare belongs"},
      {{"config", "--start", "3"}, "--start and --duration belong"},
      {{"config", "-y"}, "-y and -n belong"},
  };
  for (const auto& c : refused) {
    try {
      host::parseCommandLine(c.arguments);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const host::CHostError& error) {
      EXPECT_EQ(error.kind(), host::FailureKind::kUsage);
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

TEST(CommandLineTest, UsageListsEverySettingAndTheRefusedValues) {
  const std::string usage = host::usageText(host::Command::kRender);
  for (const char* text :
       {"quiventa render    INPUT OUTPUT", "--keep-delay", "blockSize (int)", "logFilePath (path)",
        "rollingShutterAmount (number)", "blockSize < 1"}) {
    EXPECT_NE(usage.find(text), std::string::npos) << text;
  }
}

TEST(ProgressDisplayTest, FormatsTheBarAndThePlainLines) {
  host::RProgressState state;
  state.pass = {"pass 1", 400, true, 1, 2};
  state.done = 100;
  state.framesPerSecond = 25;
  state.commandFraction = 0.125;
  state.secondsLeft = 28;
  EXPECT_EQ(host::CProgressDisplay::formatLine(state),
            "pass 1 of 2: frame 100 of 400, 25.0 fps, 13% of the command, 0:28 left");
  EXPECT_EQ(host::CProgressDisplay::formatBar(state, 8),
            "pass 1 of 2 [=>      ]  13%  frame 100 of 400, 25.0 fps, 0:28 left");
  // A container's guess is marked; a count beyond it is shown alone.
  state.pass = {"pass 2", 61, false, 1, 1};
  state.done = 12;
  state.secondsLeft = 10007;
  EXPECT_EQ(host::CProgressDisplay::formatLine(state),
            "pass 2: frame 12 of ~61, 25.0 fps, 2:46:47 left");
  state.done = 70;
  state.commandFraction = state.secondsLeft = -1;
  EXPECT_EQ(host::CProgressDisplay::formatBar(state, 4), "pass 2 [    ]   ?%  frame 70, 25.0 fps");
}

}  // namespace
