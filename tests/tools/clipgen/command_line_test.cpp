#include "tools/clipgen/command_line.h"

#include <gtest/gtest.h>

namespace {

using qvclip::RCommandLine;

bool parse(const std::vector<std::string>& arguments, RCommandLine* line, std::string* error) {
  return qvclip::parseCommandLine(arguments, line, error);
}

TEST(CommandLineTest, EveryVariantGivesValidSettings) {
  for (const std::string& name : qvclip::variantNames()) {
    RCommandLine line;
    std::string error;
    ASSERT_TRUE(parse({"out/clip.y4m", "--variant", name}, &line, &error)) << name << ": " << error;
    EXPECT_EQ(line.motionPath, "out/clip.motion.txt");
    EXPECT_TRUE(qvclip::validateClipSettings(line.settings, &error)) << name;
  }
}

TEST(CommandLineTest, BadArgumentsAreRefusedWithAMessage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no output path"},
      {{"clip.mp4"}, ".y4m"},
      {{"a.y4m", "b.y4m"}, "more than one output"},
      {{"c.y4m", "--variant", "wobbly"}, "unknown variant"},
      {{"c.y4m", "--colour", "red"}, "unknown option"},
      {{"c.y4m", "--size", "640by480"}, "--size"},
      {{"c.y4m", "--frames"}, "needs a value"},
      {{"c.y4m", "--frames", "12x"}, "--frames"},
      {{"c.y4m", "--upper-field-first"}, "interlaced"},
      {{"c.y4m", "--cut-frame", "60"}, "scene cut"},
      {{"c.y4m", "--jitter", "-1"}, "negative"},
      {{"c.y4m", "--variant", "interlaced", "--chroma", "420"}, "fields"},
      {{"c.y4m", "--variant", "interlaced", "--size", "640x481"}, "even height"},
      {{"c.y4m", "--variant", "rolling", "--interlaced"}, "not both"},
  };
  for (const auto& [arguments, expected] : cases) {
    RCommandLine line;
    std::string error;
    EXPECT_FALSE(parse(arguments, &line, &error)) << expected;
    EXPECT_NE(error.find(expected), std::string::npos) << "message: " << error;
  }
}

}  // namespace
