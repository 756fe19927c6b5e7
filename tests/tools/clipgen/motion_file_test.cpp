#include "tools/clipgen/motion_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using qvclip::RClipSettings;
using qvclip::RMotionRecord;

// The data lines of a motion file, split at tabs.
std::vector<std::vector<std::string>> dataLines(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    lines.push_back(fields);
  }
  return lines;
}

TEST(MotionFileTest, RollingShutterLinesCarryAllThreeSets) {
  RClipSettings settings;
  settings.width = 64;
  settings.height = 48;
  settings.frameCount = 6;
  settings.cutFrame = 4;
  settings.rollingShutterReadout = 0.9;
  settings.path.panX = 2.0;
  settings.path.jitterPixels = 1.5;
  settings.path.jitterDegrees = 0.1;
  const qvclip::CClipGenerator generator(settings);
  const std::vector<RMotionRecord> records = generator.motionRecords();
  const auto lines = dataLines(qvclip::formatMotionFile(settings, records, "c.y4m", "test"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].size(), 14u);
  EXPECT_EQ(lines[0].back(), "first");
  EXPECT_EQ(lines[4].back(), "new_scene");
  ASSERT_EQ(lines[2].size(), 13u);
  EXPECT_EQ(lines[2][0], "2");
  const RMotionRecord& r = records[2];
  const double expected[] = {r.motion.panX, r.motion.panY, r.motion.rotation, r.motion.zoom,
                             r.top.panX,    r.top.panY,    r.top.rotation,    r.top.zoom,
                             r.bottom.panX, r.bottom.panY, r.bottom.rotation, r.bottom.zoom};
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(std::stod(lines[2][i + 1]), expected[i], 1e-6);
}

TEST(MotionFileTest, InterlacedLinesAreLabelledByField) {
  RClipSettings settings;
  settings.width = 64;
  settings.height = 48;
  settings.frameCount = 3;
  settings.interlaced = true;
  settings.path.panY = 1.0;
  const qvclip::CClipGenerator generator(settings);
  const std::string text =
      qvclip::formatMotionFile(settings, generator.motionRecords(), "c.y4m", "test");
  const auto lines = dataLines(text);
  ASSERT_EQ(lines.size(), 6u);
  const char* labels[] = {"0A", "0B", "1A", "1B", "2A", "2B"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(lines[i][0], labels[i]);
  EXPECT_EQ(lines[1].size(), 5u);
  EXPECT_NEAR(std::stod(lines[1][2]), 0.5, 1e-9);  // half a frame's pan, in frame lines
  EXPECT_NE(text.find("lower field first"), std::string::npos);
}

}  // namespace
