// Pass 1 as a measuring instrument: on generated clips with exactly known
// motion, the logged motion must match the truth.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/pass1_runner.h"
#include "tools/clipgen/command_line.h"
#include "tools/clipgen/motion_file.h"

namespace {

using testing_support::RLoggedLine;
using testing_support::RMotionErrors;

constexpr int kFrames = 12;

struct RClipCase {
  const char* variant;
  double panTolerance, rotationTolerance, zoomTolerance;
  int ignoreDarker = 1;
  bool upperFieldFirst = false;
};

qvclip::CClipGenerator clip(const char* name, bool upperFieldFirst = false) {
  qvclip::RClipSettings settings;
  EXPECT_TRUE(qvclip::variantSettings(name, 640, 480, kFrames, &settings)) << name;
  settings.upperFieldFirst = upperFieldFirst;
  return qvclip::CClipGenerator(settings);
}

std::vector<RLoggedLine> logOf(const qvclip::CClipGenerator& generator, int ignoreDarker = 1) {
  return testing_support::parseLoggedLines(testing_support::runPass1(
      generator, [&](InstanceData& data) { data.ignoreDarker = ignoreDarker; }));
}

class Pass1AccuracyTest : public ::testing::TestWithParam<RClipCase> {};

// One line per frame (per field when interlaced) after the first, labelled
// as the truth labels it; a rolling-shutter log's top-edge set must meet the
// top edge's truth as well.
TEST_P(Pass1AccuracyTest, LoggedMotionMatchesTheTruth) {
  const RClipCase& c = GetParam();
  const qvclip::CClipGenerator generator = clip(c.variant, c.upperFieldFirst);
  const std::vector<qvclip::RMotionRecord>& truth = generator.motionRecords();
  const std::vector<RLoggedLine> lines = logOf(generator, c.ignoreDarker);
  ASSERT_EQ(lines.size() + 1, truth.size());
  EXPECT_EQ(lines.front().label, qvclip::motionLabel(truth[1]));
  const bool rolling = generator.settings().rollingShutterReadout > 0;
  for (int edge = 0; edge <= (rolling ? 1 : 0); ++edge) {
    const RMotionErrors errors = testing_support::compareWithTruth(lines, truth, edge);
    std::printf("%-10s %s pan %.4f px  rotation %.5f deg  zoom %.6f  (%d lines)\n", c.variant,
                edge ? "top edge" : "frame", errors.panRms, errors.rotationRms, errors.zoomRms,
                errors.compared);
    EXPECT_GE(errors.compared, static_cast<int>(lines.size()) - 1) << edge;
    EXPECT_LE(errors.panRms, c.panTolerance) << edge;
    EXPECT_LE(errors.rotationRms, c.rotationTolerance) << edge;
    EXPECT_LE(errors.zoomRms, c.zoomTolerance) << edge;
  }
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, Pass1AccuracyTest,
                         ::testing::Values(RClipCase{"static", 0.05, 0.01, 0.0005},
                                           RClipCase{"pan", 0.25, 0.05, 0.002},
                                           RClipCase{"shaky", 0.25, 0.05, 0.002},
                                           RClipCase{"rotzoom", 0.25, 0.05, 0.002},
                                           RClipCase{"patches", 0.25, 0.05, 0.002},
                                           RClipCase{"noisy", 0.25, 0.05, 0.002},
                                           // A clip this dark is all below the default darkness
                                           // limit; matched without it.
                                           RClipCase{"dark", 0.25, 0.05, 0.002, 0},
                                           // The top edge is read first: its motion differs from
                                           // the whole frame's by about half a pixel here.
                                           RClipCase{"rolling", 0.25, 0.05, 0.002},
                                           RClipCase{"interlaced", 0.25, 0.05, 0.002},
                                           RClipCase{"interlaced", 0.25, 0.05, 0.002, 1, true}),
                         [](const auto& info) {
                           return std::string(info.param.variant) +
                                  (info.param.upperFieldFirst ? "UpperFirst" : "");
                         });

TEST(Pass1ClipTest, SceneCutIsLoggedAsNewScene) {
  const qvclip::CClipGenerator generator = clip("cut");
  const int cutFrame = generator.settings().cutFrame;
  ASSERT_GT(cutFrame, 0);
  // The cut itself discards every block, and with the discarded areas
  // remembered the frame after it has no candidates either: it is a scene
  // start too, logged without motion. From the second frame on the memory
  // is relaxed again.
  const std::vector<RLoggedLine> lines = logOf(generator);
  for (const RLoggedLine& line : lines) {
    const int frame = std::stoi(line.label);
    EXPECT_EQ(line.newScene, frame == cutFrame || frame == cutFrame + 1) << line.label;
    if (line.newScene) {
      EXPECT_EQ(line.values[0], 0.0);
      EXPECT_EQ(line.values[2], 0.0);
      EXPECT_EQ(line.values[3], 1.0);
    }
  }
  EXPECT_LE(testing_support::compareWithTruth(lines, generator.motionRecords()).panRms, 0.25);
}

}  // namespace
