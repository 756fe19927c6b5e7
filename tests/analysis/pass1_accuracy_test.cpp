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

struct RClipCase {
  const char* variant;
  double panTolerance = 0.25, rotationTolerance = 0.05, zoomTolerance = 0.002;
  int ignoreDarker = 1;
  bool upperFieldFirst = false;
};

class Pass1AccuracyTest : public ::testing::TestWithParam<RClipCase> {};

// One line per frame (per field when interlaced) after the first, labelled
// as the truth labels it; a rolling-shutter log's top-edge set must meet the
// top edge's truth as well. A cut and the frame after it are scene starts,
// whose lines are not compared: one that went unmarked would be far off.
TEST_P(Pass1AccuracyTest, LoggedMotionMatchesTheTruth) {
  const RClipCase& c = GetParam();
  qvclip::RClipSettings settings;
  ASSERT_TRUE(qvclip::variantSettings(c.variant, 640, 480, 12, &settings));
  settings.upperFieldFirst = c.upperFieldFirst;
  const qvclip::CClipGenerator generator(settings);
  const std::vector<qvclip::RMotionRecord>& truth = generator.motionRecords();
  const std::vector<RLoggedLine> lines = testing_support::parseLoggedLines(testing_support::runPass1(
      generator, [&](InstanceData& data) { data.ignoreDarker = c.ignoreDarker; }));
  ASSERT_EQ(lines.size() + 1, truth.size());
  EXPECT_EQ(lines.front().label, qvclip::motionLabel(truth[1]));
  const bool rolling = generator.settings().rollingShutterReadout > 0;
  for (int edge = 0; edge <= (rolling ? 1 : 0); ++edge) {
    const RMotionErrors errors = testing_support::compareWithTruth(lines, truth, edge);
    std::printf("%-10s %s pan %.4f px  rotation %.5f deg  zoom %.6f  (%d lines)\n", c.variant,
                edge ? "top edge" : "frame", errors.panRms, errors.rotationRms, errors.zoomRms,
                errors.compared);
    EXPECT_GE(errors.compared, static_cast<int>(lines.size()) - (settings.cutFrame > 0 ? 2 : 1));
    EXPECT_LE(errors.panRms, c.panTolerance) << edge;
    EXPECT_LE(errors.rotationRms, c.rotationTolerance) << edge;
    EXPECT_LE(errors.zoomRms, c.zoomTolerance) << edge;
  }
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, Pass1AccuracyTest,
                         ::testing::Values(RClipCase{"static", 0.05, 0.01, 0.0005},
                                           RClipCase{"pan"}, RClipCase{"shaky"},
                                           RClipCase{"rotzoom"}, RClipCase{"patches"},
                                           RClipCase{"noisy"}, RClipCase{"cut"},
                                           // A clip this dark is all below the default darkness
                                           // limit; matched without it.
                                           RClipCase{"dark", 0.25, 0.05, 0.002, 0},
                                           // The top edge is read first: its motion differs from
                                           // the whole frame's by about half a pixel here.
                                           RClipCase{"rolling"}, RClipCase{"interlaced"},
                                           RClipCase{"interlaced", 0.25, 0.05, 0.002, 1, true}),
                         [](const auto& info) {
                           return std::string(info.param.variant) +
                                  (info.param.upperFieldFirst ? "UpperFirst" : "");
                         });

}  // namespace
