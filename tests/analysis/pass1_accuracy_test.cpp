// Pass 1 as a measuring instrument: on generated clips with exactly known
// motion, the logged motion must match the truth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "planning/log_reader.h"
#include "plugin/common/missing_value.h"
#include "tests/support/filter_instance.h"
#include "tests/support/pass1_runner.h"
#include "tools/clipgen/command_line.h"
#include "tools/clipgen/motion_file.h"

namespace {

using testing_support::RMotionErrors;

constexpr int kFrames = 12;

struct RClipCase {
  const char* variant;
  double panTolerance, rotationTolerance, zoomTolerance;
  int ignoreDarker = 1;
};

RMotionErrors measure(const qvclip::CClipGenerator& generator,
                      std::vector<testing_support::RLoggedLine>* lines = nullptr,
                      int ignoreDarker = 1) {
  const std::string log = testing_support::runPass1(
      generator, [&](InstanceData& data) { data.ignoreDarker = ignoreDarker; });
  std::vector<testing_support::RLoggedLine> parsed = testing_support::parseLoggedLines(log);
  if (lines != nullptr) *lines = parsed;
  return testing_support::compareWithTruth(parsed, generator.motionRecords());
}

qvclip::RClipSettings variant(const char* name, int frames = kFrames) {
  qvclip::RClipSettings settings;
  EXPECT_TRUE(qvclip::variantSettings(name, 640, 480, frames, &settings)) << name;
  return settings;
}

class Pass1AccuracyTest : public ::testing::TestWithParam<RClipCase> {};

TEST_P(Pass1AccuracyTest, LoggedMotionMatchesTheTruth) {
  const RClipCase& c = GetParam();
  const qvclip::CClipGenerator generator(variant(c.variant));
  std::vector<testing_support::RLoggedLine> lines;
  const RMotionErrors errors = measure(generator, &lines, c.ignoreDarker);
  std::printf("%-10s pan %.4f px  rotation %.5f deg  zoom %.6f  (%d frames)\n", c.variant,
              errors.panRms, errors.rotationRms, errors.zoomRms, errors.compared);
  EXPECT_GE(errors.compared, kFrames - 2);
  EXPECT_LE(errors.panRms, c.panTolerance);
  EXPECT_LE(errors.rotationRms, c.rotationTolerance);
  EXPECT_LE(errors.zoomRms, c.zoomTolerance);
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, Pass1AccuracyTest,
                         ::testing::Values(RClipCase{"static", 0.05, 0.01, 0.0005},
                                           RClipCase{"pan", 0.25, 0.05, 0.002},
                                           RClipCase{"shaky", 0.25, 0.05, 0.002},
                                           RClipCase{"rotzoom", 0.25, 0.05, 0.002},
                                           RClipCase{"patches", 0.25, 0.05, 0.002},
                                           RClipCase{"noisy", 0.25, 0.05, 0.002},
                                           // A clip this dark is all below the default
                                           // darkness limit; matched without it.
                                           RClipCase{"dark", 0.25, 0.05, 0.002, 0}),
                         [](const auto& info) { return std::string(info.param.variant); });

}  // namespace

namespace {

TEST(Pass1ClipTest, SceneCutIsLoggedAsNewScene) {
  const qvclip::CClipGenerator generator(variant("cut"));
  std::vector<testing_support::RLoggedLine> lines;
  const RMotionErrors errors = measure(generator, &lines);
  int cutFrame = generator.settings().cutFrame;
  ASSERT_GT(cutFrame, 0);
  // The cut itself discards every block, and with the discarded areas
  // remembered the frame after it has no candidates either: it is a scene
  // start too. From the second frame on the memory is relaxed again.
  for (const auto& line : lines) {
    const int frame = std::stoi(line.label);
    const bool expected = frame == cutFrame || frame == cutFrame + 1;
    EXPECT_EQ(line.newScene, expected) << line.label;
    if (line.newScene) {
      EXPECT_EQ(line.values[0], 0.0);
      EXPECT_EQ(line.values[2], 0.0);
      EXPECT_EQ(line.values[3], 1.0);
    }
  }
  EXPECT_LE(errors.panRms, 0.25);
}

TEST(Pass1ClipTest, InterlacedClipLogsBothFieldsInFrameLines) {
  for (bool upperFirst : {false, true}) {
    qvclip::RClipSettings settings = variant("interlaced", 8);
    settings.upperFieldFirst = upperFirst;
    const qvclip::CClipGenerator generator(settings);
    std::vector<testing_support::RLoggedLine> lines;
    const RMotionErrors errors = measure(generator, &lines);
    std::printf("interlaced (%s first) pan %.4f px  rotation %.5f deg  zoom %.6f  (%d fields)\n",
                upperFirst ? "upper" : "lower", errors.panRms, errors.rotationRms, errors.zoomRms,
                errors.compared);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().label, "0B");
    EXPECT_EQ(lines[1].label, "1A");
    EXPECT_GE(errors.compared, 2 * 8 - 3);
    EXPECT_LE(errors.panRms, 0.25);
    EXPECT_LE(errors.rotationRms, 0.05);
    EXPECT_LE(errors.zoomRms, 0.002);
  }
}

TEST(Pass1ClipTest, RollingShutterTopEdgeDiffersFromTheWholeFrame) {
  const qvclip::CClipGenerator generator(variant("rolling"));
  std::vector<testing_support::RLoggedLine> lines;
  const RMotionErrors whole = measure(generator, &lines);
  const RMotionErrors top = testing_support::compareWithTruth(lines, generator.motionRecords(), 1);
  std::printf("rolling whole pan %.4f px rotation %.5f deg zoom %.6f; top edge pan %.4f px\n",
              whole.panRms, whole.rotationRms, whole.zoomRms, top.panRms);
  // The top edge is read first, so its motion differs from the whole
  // frame's where the camera speed changes; the direction must match the truth.
  int agreeing = 0, compared = 0;
  std::map<std::string, qvclip::RMotionRecord> truth;
  for (const auto& record : generator.motionRecords()) truth[qvclip::motionLabel(record)] = record;
  for (const auto& line : lines) {
    ASSERT_EQ(line.valueCount, 8) << line.label;
    const auto& record = truth[line.label];
    if (record.first || record.newScene) continue;
    const double trueDifference = record.top.panX - record.motion.panX;
    if (std::abs(trueDifference) < 0.1) continue;
    ++compared;
    agreeing += (line.values[4] - line.values[0]) * trueDifference > 0;
  }
  EXPECT_GT(compared, 0);
  EXPECT_GE(agreeing, compared * 8 / 10);
  EXPECT_LE(top.panRms, 0.5);
}

// The log pass 1 writes is the log pass 2 reads: one entry per line after
// the reference entry, fields counted as entries, the top edge of a
// rolling-shutter log kept.
TEST(Pass1ClipTest, PassTwoReadsTheLogAsPassOneWroteIt) {
  for (const char* name : {"interlaced", "rolling"}) {
    SCOPED_TRACE(name);
    const qvclip::CClipGenerator generator(variant(name, 6));
    const std::string log = testing_support::runPass1(generator);
    const std::vector<testing_support::RLoggedLine> lines = testing_support::parseLoggedLines(log);
    testing_support::CFilterInstance instance;
    InstanceData& data = instance.data();
    data.interlaced = generator.settings().interlaced ? 1 : 0;
    data.rollingShutter = generator.settings().rollingShutterReadout > 0 ? 1 : 0;
    RMotionSeries series;
    parseLogText(data, log.data(), log.size(), series);
    ASSERT_EQ(series.size(), lines.size() + 1);
    EXPECT_EQ(data.logBaseFrame, 0);  // "0B" is field 1, "1" frame 1
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const testing_support::RLoggedLine& line = lines[i];
      ASSERT_EQ(line.valueCount, data.rollingShutter ? 8 : 4) << line.label;
      EXPECT_EQ(series.panX[i + 1], line.values[0]) << line.label;
      EXPECT_EQ(series.panY[i + 1], line.values[1]) << line.label;
      EXPECT_EQ(series.rotation[i + 1], line.values[2]) << line.label;
      EXPECT_NEAR(std::exp(series.logZoom[i + 1]), line.values[3], 1e-12) << line.label;
      EXPECT_EQ(series.sceneStart[i + 1], line.newScene ? 1 : 0) << line.label;
      EXPECT_EQ(series.topPanX[i + 1], data.rollingShutter ? line.values[4] : MISSING_VALUE);
      EXPECT_EQ(series.topZoom[i + 1], data.rollingShutter ? line.values[7] : MISSING_VALUE);
    }
  }
}

}  // namespace
