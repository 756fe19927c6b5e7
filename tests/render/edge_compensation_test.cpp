// Filling pixels near or beyond the current frame's edge from the held
// previous and future frames: which frame is asked and in what order, scene
// starts, soft-border weights, and what is left for colour extrapolation.
#include "render/edge_compensation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "plugin/common/fixed_point.h"
#include "render/render_threads.h"
#include "render/samplers.h"
#include "tests/support/render_fixtures.h"

namespace {

using testing_support::CBorderTableScope;
using testing_support::CPlanEntries;
using testing_support::directJob;
using testing_support::patternColour;
using testing_support::rgb;
using testing_support::setShift;

constexpr int kW = 32, kH = 24;
constexpr std::int64_t kOne = std::int64_t{1} << 26;
constexpr std::uint32_t kCurrent = 0x00ABCDEF;  // what the current frame gave the pixel

// Entry i holds a busy picture of its own.
std::uint32_t pictureOf(int entry, int x, int row) { return patternColour(100 + entry, x, row); }

void holdPictures(CPlanEntries& plans) {
  for (int i = 0; i < plans.size(); ++i) {
    plans.holdFrame(i, kW, kH, [i](int x, int row) { return pictureOf(i, x, row); });
  }
}

struct RResult {
  bool found;
  std::uint32_t pixel;
};

RResult compensate(const RenderJob& job, double x, double y) {
  Pixel32 pixel = kCurrent;
  const bool found = compensateEdge(job, kW, kH, toFixedPoint(x), toFixedPoint(y), &pixel);
  return {found, pixel};
}

TEST(EdgeCompensationTest, PixelOneInsideTheEdgeTakesTheFirstFrameThatCoversIt) {
  CPlanEntries plans(3);
  holdPictures(plans);
  const RenderJob job = directJob(plans, 1);

  // x = 1.5 lies in the frame but less than 2 pixels inside it.
  setShift(plans[1].toPrevious, 3, 0);  // the previous frame has it at 4.5
  const RResult previous = compensate(job, 1.5, 10.5);
  EXPECT_TRUE(previous.found && previous.pixel == pictureOf(0, 4, 10));

  // The previous frame has it at 1.5 too; the next one at 6.5.
  setShift(plans[1].toPrevious, 0, 0);
  setShift(plans[1].toNext, 5, 0);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(2, 6, 10));

  // Nobody covers it: not found, the current sample stays.
  setShift(plans[1].toNext, 0, 0);
  const RResult none = compensate(job, 1.5, 10.5);
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.pixel, kCurrent);

  // Two pixels inside is inside: the others are not asked.
  setShift(plans[1].toPrevious, 3, 0);
  const RResult inside = compensate(job, 2.0, 10.5);
  EXPECT_TRUE(inside.found);
  EXPECT_EQ(inside.pixel, kCurrent);
  // The far sides: W - 2 and H - 2 are no longer inside.
  EXPECT_EQ(compensate(job, kW - 2.01, kH - 2.01).pixel, kCurrent);
  setShift(plans[1].toPrevious, -3, -4);
  EXPECT_EQ(compensate(job, kW - 2.0, 10.5).pixel, pictureOf(0, kW - 5, 6));
  EXPECT_EQ(compensate(job, 10.5, kH - 2.0).pixel, pictureOf(0, 7, kH - 6));
  // Here the previous frame has it at -2.5.
  EXPECT_EQ(compensate(job, 10.5, 1.5).pixel, kCurrent);
}

TEST(EdgeCompensationTest, FramesAreAskedPreviousOneFutureOnePreviousTwoFutureTwo) {
  CPlanEntries plans(5);
  holdPictures(plans);
  const RenderJob job = directJob(plans, 2);
  // Positions walk along the maps: 1.5 -> 1.0 -> 3.0 backwards and
  // 1.5 -> 1.5 -> 3.5 forwards; only the second step of each side covers.
  setShift(plans[2].toPrevious, -0.5, 0);
  setShift(plans[1].toPrevious, 2, 0);
  setShift(plans[3].toNext, 2, 0);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(0, 3, 10));

  // Previous 1 and future 1 both cover: previous wins.
  setShift(plans[2].toPrevious, 3, 0);
  setShift(plans[2].toNext, 4, 0);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(1, 4, 10));
  // Only future 1 covers, though previous 2 would.
  setShift(plans[2].toPrevious, -0.5, 0);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(3, 5, 10));

  // An exhausted side is skipped: without entry 0's frame the walk back
  // ends after one step, the walk forward goes on.
  setShift(plans[2].toNext, 0, 0);
  freeEntry(plans.data(), 0, false);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(4, 3, 10));
  // The last entry has no future.
  const RenderJob last = directJob(plans, 4);
  setShift(plans[4].toPrevious, 3, 0);
  EXPECT_EQ(compensate(last, 1.5, 10.5).pixel, pictureOf(3, 4, 10));
}

TEST(EdgeCompensationTest, SceneStartsEndTheWalkOnTheirSide) {
  CPlanEntries plans(5);
  holdPictures(plans);
  const RenderJob job = directJob(plans, 2);
  setShift(plans[2].toPrevious, 3, 0);
  setShift(plans[2].toNext, 4, 0);

  // The output frame starts a scene: no previous frame, future ones still.
  plans[2].sceneStart = 1;
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(3, 5, 10));
  setShift(plans[2].toNext, 0, 0);
  setShift(plans[3].toNext, 0, 0);
  EXPECT_FALSE(compensate(job, 1.5, 10.5).found);

  // The next frame starts a scene: only previous frames.
  plans[2].sceneStart = 0;
  plans[3].sceneStart = 1;
  setShift(plans[2].toNext, 4, 0);
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(1, 4, 10));
  setShift(plans[2].toPrevious, 0, 0);
  EXPECT_FALSE(compensate(job, 1.5, 10.5).found);

  // A cut between entries 0 and 1: previous 1 is asked, previous 2 is not.
  plans[3].sceneStart = 0;
  plans[1].sceneStart = 1;
  setShift(plans[2].toNext, 0, 0);
  setShift(plans[1].toPrevious, 3, 0);
  EXPECT_FALSE(compensate(job, 1.5, 10.5).found);
  plans[1].sceneStart = 0;
  EXPECT_EQ(compensate(job, 1.5, 10.5).pixel, pictureOf(0, 4, 10));
}

// Uniform frames, soft borders with widths 4 (inside from 6 to 26 across,
// from 6 to 18 down).
struct RSoftScene {
  explicit RSoftScene(int count, int output, int width = 4)
      : plans(count), job(directJob(plans, output)) {
    job.soft = 1;
    job.widthX = job.widthY = width;
  }
  CPlanEntries plans;
  RenderJob job;
};

TEST(EdgeCompensationTest, SoftPixelOutsideTheFrameTakesTheWeightedMeanOfTheOthers) {
  RSoftScene scene(5, 2);
  scene.plans.holdFrame(0, kW, kH, rgb(0, 10, 77));
  scene.plans.holdFrame(1, kW, kH, rgb(100, 20, 77));
  scene.plans.holdFrame(2, kW, kH, rgb(9, 9, 9));
  scene.plans.holdFrame(3, kW, kH, rgb(200, 30, 77));
  scene.plans.holdFrame(4, kW, kH, rgb(255, 40, 77));
  // x = -3 in the current frame, 9 (fully inside) in all others.
  setShift(scene.plans[2].toPrevious, 12, 0);
  setShift(scene.plans[2].toNext, 12, 0);
  // Weights 1 for the first cycle, 1/1.3 for the second; the current frame
  // has none: red (100 + 200 + 255/1.3) / (2 + 2/1.3) = 140.2.
  const RResult result = compensate(scene.job, -3.0, 12.0);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.pixel, rgb(140, 25, 77));
}

// Source and destination 24 x 16, transform the identity (nearest neighbour,
// pixel centres). Pixels within `ring` of the edge are red, the others blue.
struct RRingScene {
  explicit RRingScene(int ring) : target(24, 16, 24, 16), plans(3) {
    target.source.fill([ring](int x, int row) {
      const bool edge = x < ring || row < ring || x >= 24 - ring || row >= 16 - ring;
      return edge ? rgb(200, 0, 0) : rgb(0, 0, 200);
    });
    setShift(plans[1].transform, 0.5, 0.5);
  }
  // Soft borders are 3 wide; `table`: the border pixel table exists (as
  // when extrapolation was on at the start).
  std::vector<std::uint32_t> render(bool noFrameSearch, bool soft, bool extrapolate = true,
                                    bool table = true) {
    std::optional<CBorderTableScope> borders;
    if (table) borders.emplace(24, 16);
    renderFrame(&target.activation, plans.data(),
                {.outputEntry = 1,
                 .lastEntry = 2,
                 .resampling = 0,
                 .noFrameSearch = noFrameSearch,
                 .extrapolate = extrapolate,
                 .soft = soft,
                 .widthX = 3,
                 .widthY = 3});
    return target.destination.pixels();
  }
  testing_support::RRenderTarget target;
  CPlanEntries plans;
};

TEST(EdgeCompensationTest, EveryPixelNotFullyInsideIsExtrapolatedWhenNoFrameHelps) {
  const std::vector<std::uint32_t> allBlue(24 * 16, rgb(0, 0, 200));
  const int middleRow = 16 / 2 * 24;
  // Hard borders: the two outer pixels of every side are not fully inside;
  // the rim they are extrapolated from is all blue.
  EXPECT_EQ(RRingScene(2).render(true, false), allBlue);
  // Switched off, or without the table, they keep the current frame's sample.
  EXPECT_EQ(RRingScene(2).render(true, false, false)[middleRow], rgb(200, 0, 0));
  EXPECT_EQ(RRingScene(2).render(true, false, true, false)[middleRow], rgb(200, 0, 0));
  // The third pixel is inside and keeps its own colour (extrapolated, it
  // would take the blue of the fourth).
  EXPECT_EQ(RRingScene(3).render(true, false)[middleRow + 2], rgb(200, 0, 0));
  // Soft borders of width 3: up to 5 pixels in; also when frame search is on
  // but no other frame is held.
  EXPECT_EQ(RRingScene(5).render(true, true), allBlue);
  EXPECT_EQ(RRingScene(5).render(false, true), allBlue);
  EXPECT_EQ(RRingScene(6).render(false, true)[middleRow + 5], rgb(200, 0, 0));
}

}  // namespace
