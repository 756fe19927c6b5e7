#include "plugin/common/config_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "plugin/filter/filter_callbacks.h"
#include "tests/support/filter_instance.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CFilterInstance;

// What the host's script interpreter hands the Config function: the text
// between the quotes with backslash escapes undone.
std::string scriptArgument(const std::string& statement) {
  const std::string open = "Config(\"";
  std::string inner = statement.substr(open.size(), statement.size() - open.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] == '\\' && i + 1 < inner.size()) ++i;
    out += inner[i];
  }
  return out;
}

void parse(InstanceData& data, std::string text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  parseConfigString(data, buffer.data());
}

TEST(ConfigStringTest, ReadingTheWrittenTextRestoresEverySetting) {
  CFilterInstance written;
  InstanceData& a = written.data();
  // A value different from the default in every field, backslashes in the path.
  a.pass = 2, a.blockSize = 21, a.differentialSearchRange = 7, a.sourcePixelAspect = 0.5;
  a.sourcePixelAspectPreset = -1, a.destPixelAspect = 2.25, a.destPixelAspectPreset = 3;
  a.destWidth = 720, a.destHeight = 576, a.scale = 2, a.usePixels = 3, a.colorModeRgb = 0;
  a.smoothHorizontalPanning = -1, a.smoothVerticalPanning = 0, a.smoothRotation = 99;
  a.smoothZoom = 100000, a.discardWrongDirection = 0.25, a.videoOutput = 0;
  a.edgeCompensation = 5, a.resampling = 0, a.skipFramePercent = 17;
  a.initialSearchRange = 99, a.discardMatchValue = -1000, a.discardSecondBest = 1000;
  *a.logFilePath = "C:\\video\\shaky.log";
  a.appendToLogFile = 1, a.ignoreOutside = 1, a.ignoreOutsideLeft = 1;
  a.ignoreOutsideRight = 2, a.ignoreOutsideTop = 3, a.ignoreOutsideBottom = 4;
  a.ignoreInside = 1, a.ignoreInsideLeft = 5, a.ignoreInsideRight = 6;
  a.ignoreInsideTop = 7, a.ignoreInsideBottom = 8, a.interlaced = 1, a.upperFieldFirst = 1;
  a.extraZoom = 1.5, a.maxCorrectionHorizontalPanning = 20, a.maxCorrectionVerticalPanning = 21;
  a.maxCorrectionRotation = 2.5, a.maxCorrectionZoom = 30, a.usePreviousFrames = 1;
  a.useFutureFrames = 1, a.previousFrames = 12, a.futureFrames = 13;
  a.ignoreAreaFollowsMotion = 1, a.deepAnalysisPercent = 40, a.rollingShutter = 1;
  a.interlacedProgressive = 1, a.sameDestAsSource = 0, a.softBorders = 1;
  a.extrapolateColors = 1, a.edgeTransitionWidth = 33, a.ignoreDarker = 0;
  a.darkerThanPercent = 7.5, a.discardAbsoluteMotion = 12.5, a.rememberDiscardedAreas = 0;
  a.rollingShutterAmount = 50;

  // Each record name at its position: the schema's names, members and
  // positions agree with one another.
  const std::string statement = formatConfigStatement(a);
  EXPECT_EQ(
      statement,
      "Config(\"12|2|21|7|0.5|-1|2.25|3|720|576|2|3|0|-1|0|99|100000|0.25|0|5|0|17|99|-1000|"
      "1000|C:\\\\video\\\\shaky.log|1|1|1|2|3|4|1|5|6|7|8|1|1|1.5|20|21|2.5|30|1|1|12|13|1|40|1|"
      "1|0|1|1|33|0|7.5|12.5|0|50\")");

  CFilterInstance read;
  parse(read.data(), scriptArgument(statement));
  EXPECT_EQ(formatConfigStatement(read.data()), statement);
  EXPECT_EQ(*read.data().logFilePath, "C:\\video\\shaky.log");
}

TEST(ConfigStringTest, VersionOneStringFillsTheMissingGroups) {
  CFilterInstance instance;
  InstanceData& data = instance.data();
  parse(data,
        "1|2|20|5|1|0|1|0|320|240|0|1|1|100|200|300|400|3|1|3|1|10|30|200|5|/tmp/old.log|1|1|"
        "4|5|6|7|1|8|9|10|11");
  EXPECT_EQ(data.smoothZoom, 400);
  EXPECT_EQ(data.ignoreInsideBottom, 11);
  // The later groups as the version that wrote the string behaved.
  EXPECT_EQ(data.maxCorrectionHorizontalPanning, 100.0);
  EXPECT_EQ(data.extraZoom, 1.0);
  EXPECT_EQ(data.futureFrames, 0);
  EXPECT_EQ(data.deepAnalysisPercent, 0);
  EXPECT_EQ(data.edgeTransitionWidth, 0);
  EXPECT_EQ(data.rememberDiscardedAreas, 0);
  EXPECT_EQ(data.rollingShutterAmount, 88.0);
}

// Versions 6 to 8 stored the complement of the deep-analysis percentage.
TEST(ConfigStringTest, DeepAnalysisPercentIsInvertedBeforeVersionNine) {
  const std::string head =
      "|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|300|4|x|"
      "0|0|0|0|0|0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|30";
  CFilterInstance eight;
  parse(eight.data(), "8" + head + "|0|0|1|0|0");
  EXPECT_EQ(eight.data().deepAnalysisPercent, 70);
  EXPECT_EQ(eight.data().edgeTransitionWidth, 0);  // group of version 9 absent
  // The most negative value wraps as 32-bit arithmetic does (found by fuzzing:
  // it overflowed).
  parse(eight.data(), "8" + head.substr(0, head.size() - 3) + "|-2147483648|0|0|1|0|0");
  EXPECT_EQ(eight.data().deepAnalysisPercent, -2147483548);

  CFilterInstance nine;
  parse(nine.data(), "9" + head + "|0|0|1|0|0|10|1|15");
  EXPECT_EQ(nine.data().deepAnalysisPercent, 30);
  EXPECT_EQ(nine.data().edgeTransitionWidth, 10);
  EXPECT_EQ(nine.data().discardAbsoluteMotion, 1000.0);
}

TEST(ConfigStringTest, NewerVersionShowsTheMessageAndChangesNothing) {
  testing_support::CRecordingMessageBoxes boxes(platform::MessageBoxAnswer::kOk);
  CFilterInstance instance;
  const std::string before = formatConfigStatement(instance.data());
  parse(instance.data(), "13|2|99|9|2|1|2|1|1|1|1|1|0|1|1|1|1|1|0|0|0|0|0|0|0|/x|1");
  EXPECT_EQ(formatConfigStatement(instance.data()), before);
  ASSERT_EQ(boxes.messages().size(), 1u);
  EXPECT_EQ(boxes.messages()[0].text,
            "Quiventa: The config file is created with a newer version of Quiventa than you have.");
  EXPECT_EQ(boxes.messages()[0].buttons, platform::MessageBoxButtons::kOk);
}

TEST(ConfigStringTest, BoolsAreOneOnlyForOneAndNumbersReadLikeAtoi) {
  CFilterInstance instance;
  InstanceData& data = instance.data();
  parse(data, "12|  3 |-7x|4|2.5e0abc|0|1|0|640|480|1|2|2|400|400|400|1500|4|-1|1|2|5|40|300|4|p");
  EXPECT_EQ(data.pass, 3);  // blanks after "|" skipped, trailing blanks harmless
  EXPECT_EQ(data.blockSize, -7);
  EXPECT_EQ(data.sourcePixelAspect, 2.5);
  EXPECT_EQ(data.colorModeRgb, 0);  // written as 2
  EXPECT_EQ(data.videoOutput, 0);   // written as -1
  // Fields missing from a version-12 string read as empty tokens.
  EXPECT_EQ(data.rollingShutterAmount, 0.0);
  EXPECT_EQ(data.appendToLogFile, 0);
}

// The texts that cross the host boundary: an empty path survives, a buffer
// too short gets no half statement, the interpreter's string stays intact.
TEST(ConfigStringTest, StatementsCrossTheHostBoundaryIntact) {
  CFilterInstance instance;
  instance.data().logFilePath->clear();
  instance.data().appendToLogFile = 1;
  const std::string statement = formatConfigStatement(instance.data());
  EXPECT_NE(statement.find("|4||1|"), std::string::npos);

  std::vector<char> buffer(40, 'x');
  buffer.push_back('#');  // guard byte beyond the length handed over
  writeConfigStatement(instance.data(), buffer.data(), 40);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[40], '#');
  std::vector<char> exact(statement.size() + 1, 'x');
  writeConfigStatement(instance.data(), exact.data(), static_cast<int>(exact.size()));
  EXPECT_EQ(std::string(exact.data()), statement);

  CFilterInstance read;
  std::string argument = scriptArgument(statement);
  argument[3] = '2';  // pass 2
  std::vector<char> text(argument.begin(), argument.end());
  text.push_back('\0');
  char* pointer = text.data();
  CScriptValue value(&pointer);
  configScriptFunction(nullptr, &read.fa(), &value, 1);
  EXPECT_EQ(read.data().pass, 2);
  EXPECT_EQ(*read.data().logFilePath, "");
  EXPECT_EQ(std::string(text.data()), argument);
  read.data().pass = 1;
  EXPECT_EQ(formatConfigStatement(read.data()), statement);
}

}  // namespace
