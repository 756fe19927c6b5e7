#include "analysis/pass1_driver.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/common/instance_data.h"
#include "tests/support/pass1_runner.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CPass1Run;
using testing_support::CSmoothTexture;
using testing_support::RLoggedLine;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;

// A logged pure pan. Sub-pixel refinement is a parabola through three
// correlation values, good to a few hundredths of a pixel on these textures.
void expectPan(const RLoggedLine& line, double panX, double panY) {
  ASSERT_EQ(line.valueCount, 4) << line.label;
  EXPECT_NEAR(line.values[0], panX, 0.05) << line.label;
  EXPECT_NEAR(line.values[1], panY, 0.05) << line.label;
  EXPECT_NEAR(line.values[2], 0.0, 0.02) << line.label;
  EXPECT_NEAR(line.values[3], 1.0, 0.0005) << line.label;
  EXPECT_FALSE(line.newScene) << line.label;
}

// A picture that pans: frame f shows the texture moved so that the content
// of frame f lay (panX, panY) pixels (x right, y down) away in frame f - 1.
testing_support::CColourAt pannedTexture(const CSmoothTexture& texture, long f, double panX,
                                         double panY) {
  return [&texture, f, panX, panY](double x, double y) {
    return texture.sample(x + panX * f, y + panY * f);
  };
}

// Pan y is divided by the source pixel aspect (units of pixel widths). The
// frame after a jump (forward 2 -> 7, back 8 -> 1) is not logged but
// matched against.
TEST(Pass1DriverTest, PansAreLoggedWithTheirSignsAndUnitsAndJumpsBreakTheChain) {
  CSmoothTexture texture(3);
  struct RCase {
    double panX, panY, aspect;
    std::vector<long> frames = {0, 1, 2};
    std::vector<std::string> labels = {"1", "2"};
  };
  const RCase cases[] = {{3, -2, 1},
                         {-1.5, 0.75, 1},
                         {0.25, 2.5, 1},
                         {1, -3, 2},
                         {2, -1, 1, {0, 1, 2, 7, 8, 1, 2}, {"1", "2", "8", "2"}}};
  for (const RCase& c : cases) {
    CPass1Run run(320, 240);
    run.data().videoOutput = 0;
    run.data().sourcePixelAspect = c.aspect;
    run.start();
    for (long f : c.frames) run.frame(f, pannedTexture(texture, f, c.panX, c.panY));
    const std::vector<RLoggedLine> lines = testing_support::parseLoggedLines(run.logText());
    ASSERT_EQ(lines.size(), c.labels.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].label, c.labels[i]);
      expectPan(lines[i], c.panX, c.panY / c.aspect);
    }
  }
}

TEST(Pass1DriverTest, FlagsOfEveryFrameDecideTheNextFramesBlocks) {
  // A cut to a flat picture leaves no block with a vector. Remembering
  // discarded areas, the next frame may use none of them either (and is
  // no match anyway, after a flat picture), and the one after that has
  // vectors but still no usable block; only then does the memory, lifted
  // for lack of blocks, let the frame after be measured again.
  CSmoothTexture texture(12);
  for (int remember : {1, 0}) {
    CPass1Run run(320, 240);
    run.data().videoOutput = 0;
    run.data().rememberDiscardedAreas = remember;
    run.start();
    const testing_support::CColourAt flat = [](double, double) { return 0x707070u; };
    for (long f = 0; f < 6; ++f) run.frame(f, f == 2 ? flat : pannedTexture(texture, f, 2, 1));
    const std::vector<RLoggedLine> lines = testing_support::parseLoggedLines(run.logText());
    ASSERT_EQ(lines.size(), 5u);
    std::vector<bool> newScenes;
    for (const RLoggedLine& line : lines) {
      newScenes.push_back(line.newScene);
      if (line.newScene) {  // logged without motion
        EXPECT_EQ((std::vector<double>(line.values, line.values + 4)),
                  (std::vector<double>{0, 0, 0, 1}));
      }
    }
    EXPECT_EQ(newScenes, (std::vector<bool>{false, true, true, remember == 1, false}));
    expectPan(lines.back(), 2, 1);
  }
}

TEST(Pass1DriverTest, IgnoredAreaFollowsTheMeasuredPan) {
  CSmoothTexture texture(6);
  CPass1Run run(320, 240);
  InstanceData& data = run.data();
  data.ignoreOutside = 1;
  data.ignoreAreaFollowsMotion = 1;
  data.ignoreOutsideLeft = 20;
  data.ignoreOutsideTop = 10;
  data.ignoreOutsideRight = 30;
  data.ignoreOutsideBottom = 15;
  run.start();
  // Content moves 3 left and 2 down per frame, and so does the area.
  for (long f = 0; f < 4; ++f) run.frame(f, pannedTexture(texture, f, 3, -2));

  const std::vector<RMargins*>& areas = *data.ignoreAreaByFrame;
  ASSERT_EQ(areas.size(), 5u);
  // Left, top, right, bottom; frame 0 had nothing to match on.
  const int expected[5][4] = {
      {20, 10, 30, 15}, {20, 10, 30, 15}, {17, 12, 33, 13}, {14, 14, 36, 11}, {11, 16, 39, 9}};
  for (std::size_t n = 0; n < areas.size(); ++n) {
    ASSERT_NE(areas[n], nullptr) << n;
    EXPECT_EQ((std::vector<int>{areas[n]->left, areas[n]->top, areas[n]->right, areas[n]->bottom}),
              (std::vector<int>(expected[n], expected[n] + 4)))
        << n;
  }

  // Frame 3 was analysed with the margins of entry 3: black outside them.
  // (Row 100 and column 100 stay clear of the vectors.) The last black and
  // the first analysed pixel of each side:
  for (const auto& [x0, y0, x1, y1] : {std::array{13, 100, 14, 100},
                                       {320 - 36, 100, 319 - 36, 100},
                                       {100, 13, 100, 14},
                                       {100, 240 - 11, 100, 239 - 11}}) {
    EXPECT_EQ(run.outputPixel(x0, y0), 0u) << x0 << "," << y0;
    EXPECT_NE(run.outputPixel(x1, y1), 0u) << x1 << "," << y1;
  }
}

// A background panning (3, -2) per frame with a block-aligned patch of
// 2 x 2 blocks that moves the opposite way: those blocks are discarded.
constexpr int kPatchLeft = 180, kPatchTop = 60, kPatchSize = 60;

bool inPatch(double x, double y) {
  return x >= kPatchLeft && x < kPatchLeft + kPatchSize && y >= kPatchTop &&
         y < kPatchTop + kPatchSize;
}

testing_support::CColourAt backgroundWithPatch(const CSmoothTexture& background,
                                               const CSmoothTexture& patch, long f) {
  return [&background, &patch, f](double x, double y) {
    return inPatch(x, y) ? patch.sample(x - 3.0 * f, y + 2.0 * f)
                         : background.sample(x + 3.0 * f, y - 2.0 * f);
  };
}

TEST(Pass1OutputTest, AnalysedFrameShowsEveryBlocksVector) {
  CSmoothTexture background(8), patch(9);
  CPass1Run run(320, 240);
  // One whole block ignored: x 240..269, y 180..209.
  run.data().ignoreInside = 1;
  run.data().ignoreInsideLeft = 240;
  run.data().ignoreInsideTop = 180;
  run.data().ignoreInsideRight = 50;
  run.data().ignoreInsideBottom = 30;
  // Level 0 matched too, so the ignored block gets no vector at all (with
  // the default it would inherit its doubled level-1 vector).
  run.data().scale = 0;
  run.start();
  for (long f = 0; f < 3; ++f) run.frame(f, backgroundWithPatch(background, patch, f));

  const int bs = run.data().blockSize;
  // Every block's vector starts at its centre: white where the fit used the
  // block, red where not.
  int red = 0;
  for (int row = 0; row < 240 / bs; ++row) {
    for (int column = 0; column < 320 / bs; ++column) {
      const int cx = column * bs + bs / 2, cy = row * bs + bs / 2;
      if (cx == 255 && cy == 195) continue;  // the ignored block
      const bool discarded = inPatch(cx, cy);
      red += discarded;
      EXPECT_EQ(run.outputPixel(cx, cy), discarded ? kRed : kWhite) << cx << "," << cy;
    }
  }
  EXPECT_EQ(red, 4);
  // The ignored block has no vector: its centre shows the black area.
  EXPECT_EQ(run.outputPixel(255, 195), 0u);

  const std::vector<RLoggedLine> lines = testing_support::parseLoggedLines(run.logText());
  ASSERT_EQ(lines.size(), 2u);
  for (const RLoggedLine& line : lines) expectPan(line, 3, -2);
}

}  // namespace
