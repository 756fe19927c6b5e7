#include "plugin/filter/start_callback.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/device_context.h"
#include "plugin/common/video_image.h"
#include "plugin/filter/end_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CFilterInstance;

std::vector<std::pair<int, int>> levelSizes(const CImagePyramid& pyramid) {
  std::vector<std::pair<int, int>> sizes;
  for (const auto& level : pyramid) sizes.emplace_back(level->width, level->height);
  return sizes;
}

TEST(StartCallbackTest, PassOnePyramidsAndBlockGridFollowAspectAndFields) {
  CFilterInstance instance;
  instance.setSourceSize(720, 576);
  instance.data().framesProcessed = 12;
  EXPECT_EQ(startProc(&instance.fa(), nullptr), 0);
  InstanceData& data = instance.data();
  EXPECT_EQ(data.framesProcessed, 0);

  const std::vector<std::pair<int, int>> expected = {
      {720, 576}, {360, 288}, {180, 144}, {90, 72}, {45, 36}};
  for (int p = 0; p < 2; ++p) {
    ASSERT_NE(data.imagePyramids[p], nullptr);
    EXPECT_EQ(levelSizes(*data.imagePyramids[p]), expected);
    EXPECT_EQ(data.imagePyramids[p]->front()->rgb, 1);
  }

  // 24 x 19 blocks of 30 pixels.
  ASSERT_EQ(data.blockUsable->size(), 24u * 19u);
  EXPECT_EQ(std::count(data.blockUsable->begin(), data.blockUsable->end(), 1), 24 * 19);
  EXPECT_EQ(endProc(&instance.fa(), nullptr), 0);

  // Wide pixels and fields of 288 lines: 9 block rows each, the upper
  // field's first.
  data.sourcePixelAspect = 1.5;
  data.interlaced = 1;
  startProc(&instance.fa(), nullptr);
  ASSERT_EQ(data.blockUsable->size(), 24u * 18u);
  EXPECT_EQ(data.imagePyramids[0]->front()->height, 288);
  // Upper field row 0: centre line (15 * 2 - 0.5) of 576 frame lines.
  EXPECT_NEAR((*data.blockOffsetVertical)[0], (288.0 - 29.5) / 1.5, 1e-9);
  // Lower field row 0 (grid row 9): (15 * 2 + 0.5).
  EXPECT_NEAR((*data.blockOffsetVertical)[9 * 24], (288.0 - 30.5) / 1.5, 1e-9);
  // The frame description is back after the start.
  EXPECT_EQ(instance.src().h, 576);
  endProc(&instance.fa(), nullptr);

  // A block size of 0 gives an empty grid, not a division by zero.
  data.blockSize = 0;
  startProc(&instance.fa(), nullptr);
  EXPECT_TRUE(data.blockUsable->empty());
  endProc(&instance.fa(), nullptr);
}

TEST(StartCallbackTest, ReentryAndEndWithoutStartChangeNothing) {
  CFilterInstance instance;
  instance.setSourceSize(320, 240);
  instance.data().idle = 0;
  instance.data().framesProcessed = 7;
  EXPECT_EQ(startProc(&instance.fa(), nullptr), 0);
  EXPECT_EQ(instance.data().framesProcessed, 7);
  EXPECT_EQ(instance.data().imagePyramids[0], nullptr);
  EXPECT_EQ(instance.data().idle, 0);

  instance.data().idle = 1;
  EXPECT_EQ(endProc(&instance.fa(), nullptr), 0);
  EXPECT_EQ(instance.data().imagePyramids[0], nullptr);

  // An end arriving while a start still runs leaves its state alone.
  startProc(&instance.fa(), nullptr);
  ASSERT_NE(instance.data().imagePyramids[0], nullptr);
  instance.data().idle = 0;
  EXPECT_EQ(endProc(&instance.fa(), nullptr), 0);
  EXPECT_NE(instance.data().imagePyramids[0], nullptr);
  instance.data().idle = 1;
  endProc(&instance.fa(), nullptr);
  EXPECT_EQ(instance.data().imagePyramids[0], nullptr);
}

// Too small for two pyramid levels, no motion can be measured: the start
// says so rather than log a camera that stands still, or nothing at all.
TEST(StartCallbackTest, APictureTooSmallToMatchIsAnnounced) {
  const struct {
    long width, height;
    bool interlaced, announced;
  } cases[] = {
      {80, 20, false, false},  {79, 79, false, true}, {32, 24, false, true},
      {60, 150, false, false}, {60, 150, true, true},  // a field of 60 x 75
  };
  for (const auto& c : cases) {
    testing_support::CRecordingMessageBoxes boxes(platform::MessageBoxAnswer::kOk);
    CFilterInstance instance;
    instance.setSourceSize(c.width, c.height);
    instance.data().interlaced = c.interlaced ? 1 : 0;
    startProc(&instance.fa(), nullptr);
    endProc(&instance.fa(), nullptr);
    ASSERT_EQ(boxes.messages().size(), c.announced ? 1u : 0u) << c.width << "x" << c.height;
    if (c.announced) {
      EXPECT_EQ(boxes.messages()[0].text, kPictureTooSmallMessage);
    }
  }
}

TEST(StartCallbackTest, PassTwoFitScaleIsTheSmallerRatio) {
  CFilterInstance instance;
  instance.setSourceSize(720, 576);
  InstanceData& data = instance.data();
  data.pass = 2;
  data.sameDestAsSource = 0;
  data.destPixelAspect = 1.0;
  data.sourcePixelAspect = 1.0;
  instance.dst().w = 640;
  instance.dst().h = 480;
  startProc(&instance.fa(), nullptr);
  EXPECT_DOUBLE_EQ(data.fitScale, 480.0 / 576.0);  // height ratio is the smaller
  endProc(&instance.fa(), nullptr);
}

}  // namespace
