#include "analysis/pass1_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "plugin/common/instance_data.h"
#include "tests/analysis/pass1_run.h"
#include "tests/support/png_writer.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CPass1Run;
using testing_support::CSmoothTexture;
using testing_support::pannedTexture;
using testing_support::parseLog;
using testing_support::RLogLine;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kYellow = 0xFFFF00;

std::vector<std::string> labels(const std::vector<RLogLine>& lines) {
  std::vector<std::string> out;
  for (const RLogLine& line : lines) out.push_back(line.label);
  return out;
}

// How closely a logged pan must meet the truth. Sub-pixel refinement is a
// parabola through three correlation values, good to a few hundredths of a
// pixel on these textures; fields are matched in field lines, so their
// vertical error doubles in frame lines.
struct RTolerance {
  double panX = 0.05, panY = 0.05, rotation = 0.02, zoom = 0.0005;
};
constexpr RTolerance kFieldTolerance{0.05, 0.25, 0.02, 0.002};

void expectPan(const RLogLine& line, double panX, double panY, RTolerance tolerance = {}) {
  ASSERT_EQ(line.values.size(), 4u) << line.label;
  EXPECT_NEAR(line.values[0], panX, tolerance.panX) << line.label;
  EXPECT_NEAR(line.values[1], panY, tolerance.panY) << line.label;
  EXPECT_NEAR(line.values[2], 0.0, tolerance.rotation) << line.label;
  EXPECT_NEAR(line.values[3], 1.0, tolerance.zoom) << line.label;
  EXPECT_FALSE(line.newScene) << line.label;
}

std::uint32_t halfBrightness(std::uint32_t c) {
  return ((c >> 16 & 0xFF) >> 1) << 16 | ((c >> 8 & 0xFF) >> 1) << 8 | (c & 0xFF) >> 1;
}

bool isGrey(std::uint32_t c) {
  return (c >> 16 & 0xFF) == (c >> 8 & 0xFF) && (c >> 8 & 0xFF) == (c & 0xFF);
}

// ---------------------------------------------------------------------------
// What the log says.

TEST(Pass1DriverTest, PansAreLoggedWithTheirSignsAndUnits) {
  CSmoothTexture texture(3);
  struct RCase {
    double panX, panY, aspect;
  };
  // Pan y is divided by the source pixel aspect (units of pixel widths).
  const RCase cases[] = {{3, -2, 1}, {-1.5, 0.75, 1}, {0.25, 2.5, 1}, {1, -3, 2}};
  for (const RCase& c : cases) {
    CPass1Run run(320, 240);
    run.data().videoOutput = 0;
    run.data().sourcePixelAspect = c.aspect;
    run.start();
    for (long f = 0; f < 3; ++f) run.frame(f, pannedTexture(texture, f, c.panX, c.panY));
    run.end();
    const std::vector<RLogLine> lines = parseLog(run.logText());
    ASSERT_EQ(labels(lines), (std::vector<std::string>{"      1", "      2"}));
    for (const RLogLine& line : lines) expectPan(line, c.panX, c.panY / c.aspect);
  }
}

TEST(Pass1DriverTest, SingleFrameRunLeavesAnExistingLogUntouched) {
  CSmoothTexture texture(3);
  CPass1Run run(160, 120);
  std::ofstream(run.logPath(), std::ios::binary) << "an older log\r\n";
  run.start();
  run.frame(0, pannedTexture(texture, 0, 1, 1));
  run.end();
  EXPECT_EQ(run.logText(), "an older log\r\n");
}

TEST(Pass1DriverTest, FrameAfterAJumpIsNotLoggedButMatchedAgainst) {
  CSmoothTexture texture(4);
  CPass1Run run(320, 240);
  run.data().videoOutput = 0;
  run.start();
  // Forward jump 2 -> 7, then seeking back 8 -> 1.
  for (long f : {0, 1, 2, 7, 8, 1, 2}) run.frame(f, pannedTexture(texture, f, 2, -1));
  run.end();
  const std::vector<RLogLine> lines = parseLog(run.logText());
  ASSERT_EQ(labels(lines), (std::vector<std::string>{"      1", "      2", "      8", "      2"}));
  for (const RLogLine& line : lines) expectPan(line, 2, -1);
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
    for (long f = 0; f < 6; ++f) {
      if (f == 2) {
        run.frame(f, [](double, double) { return 0x707070u; });
      } else {
        run.frame(f, pannedTexture(texture, f, 2, 1));
      }
    }
    run.end();
    const std::vector<RLogLine> lines = parseLog(run.logText());
    ASSERT_EQ(lines.size(), 5u);
    std::vector<bool> newScenes;
    for (const RLogLine& line : lines) newScenes.push_back(line.newScene);
    if (remember) {
      EXPECT_EQ(newScenes, (std::vector<bool>{false, true, true, true, false}));
    } else {
      EXPECT_EQ(newScenes, (std::vector<bool>{false, true, true, false, false}));
    }
    expectPan(lines.back(), 2, 1);
  }
}

TEST(Pass1DriverTest, InterlacedVideoLogsBothFieldsInFrameLines) {
  CSmoothTexture texture(5, 12.0);
  for (int upperFirst : {0, 1}) {
    // A still picture: the two fields lie one frame line apart, which the
    // conversion to frame lines must cancel.
    CPass1Run still(320, 240);
    still.data().videoOutput = 0;
    still.data().interlaced = 1;
    still.data().upperFieldFirst = upperFirst;
    still.start();
    for (long f = 0; f < 3; ++f) still.frame(f, pannedTexture(texture, 0, 0, 0));
    still.end();
    std::vector<RLogLine> lines = parseLog(still.logText());
    ASSERT_EQ(labels(lines),
              (std::vector<std::string>{"     0B", "     1A", "     1B", "     2A", "     2B"}));
    for (const RLogLine& line : lines) expectPan(line, 0, 0, kFieldTolerance);

    // Frames that pan: both fields of a frame were taken at once here, so
    // the motion shows between a B field and the next A field.
    CPass1Run moving(320, 240);
    moving.data().videoOutput = 0;
    moving.data().interlaced = 1;
    moving.data().upperFieldFirst = upperFirst;
    moving.start();
    for (long f = 0; f < 3; ++f) moving.frame(f, pannedTexture(texture, f, 3, -2));
    moving.end();
    lines = parseLog(moving.logText());
    ASSERT_EQ(lines.size(), 5u);
    for (const RLogLine& line : lines) {
      if (line.label.back() == 'A') {
        expectPan(line, 3, -2, kFieldTolerance);
      } else {
        expectPan(line, 0, 0, kFieldTolerance);
      }
    }
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
  auto expectMargins = [&](std::size_t n, int left, int top, int right, int bottom) {
    ASSERT_NE(areas[n], nullptr) << n;
    EXPECT_EQ(areas[n]->left, left) << n;
    EXPECT_EQ(areas[n]->top, top) << n;
    EXPECT_EQ(areas[n]->right, right) << n;
    EXPECT_EQ(areas[n]->bottom, bottom) << n;
  };
  expectMargins(0, 20, 10, 30, 15);
  expectMargins(1, 20, 10, 30, 15);  // frame 0 had nothing to match on
  expectMargins(2, 17, 12, 33, 13);
  expectMargins(3, 14, 14, 36, 11);
  expectMargins(4, 11, 16, 39, 9);

  // Frame 3 was analysed with the margins of entry 3: black outside them.
  // (Row 100 and column 100 stay clear of the vectors.)
  EXPECT_EQ(run.outputPixel(13, 100), 0u);
  EXPECT_NE(run.outputPixel(14, 100), 0u);
  EXPECT_NE(run.outputPixel(320 - 1 - 36, 100), 0u);
  EXPECT_EQ(run.outputPixel(320 - 36, 100), 0u);
  EXPECT_EQ(run.outputPixel(100, 13), 0u);
  EXPECT_NE(run.outputPixel(100, 14), 0u);
  EXPECT_NE(run.outputPixel(100, 240 - 1 - 11), 0u);
  EXPECT_EQ(run.outputPixel(100, 240 - 11), 0u);
  run.end();
  const std::vector<RLogLine> lines = parseLog(run.logText());
  ASSERT_EQ(lines.size(), 3u);
  for (const RLogLine& line : lines) expectPan(line, 3, -2);
}

// ---------------------------------------------------------------------------
// The output frame.

TEST(Pass1OutputTest, FirstFrameIsBlackWithAYellowMessage) {
  CSmoothTexture texture(7);
  CPass1Run run(320, 240);
  run.start();
  ASSERT_EQ(run.output().bitmap.h, 250);
  run.frame(0, pannedTexture(texture, 0, 0, 0));
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) ASSERT_EQ(run.outputPixel(x, y), 0u) << x << "," << y;
  }
  int yellow = 0, other = 0;
  for (int y = 240; y < 250; ++y) {
    for (int x = 0; x < 320; ++x) {
      const std::uint32_t c = run.outputPixel(x, y);
      if (c == kYellow) ++yellow;
      // Black text blended over yellow keeps red equal to green, no blue.
      if ((c >> 16 & 0xFF) != (c >> 8 & 0xFF) || (c & 0xFF) != 0) ++other;
    }
  }
  EXPECT_GT(yellow, 500);
  EXPECT_EQ(other, 0);
}

// A background panning (3, -2) per frame with a block-aligned patch of
// 2 x 2 blocks that moves the opposite way: those blocks are discarded.
constexpr int kPatchLeft = 180, kPatchTop = 60, kPatchSize = 60;

testing_support::CColourAt backgroundWithPatch(const CSmoothTexture& background,
                                               const CSmoothTexture& patch, long f) {
  return [&background, &patch, f](double x, double y) {
    const bool inPatch = x >= kPatchLeft && x < kPatchLeft + kPatchSize && y >= kPatchTop &&
                         y < kPatchTop + kPatchSize;
    return inPatch ? patch.sample(x - 3.0 * f, y + 2.0 * f)
                   : background.sample(x + 3.0 * f, y - 2.0 * f);
  };
}

TEST(Pass1OutputTest, AnalysedFrameShowsPictureVectorsAndResultLine) {
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

  const std::string png = std::string(QV_TEST_OUTPUT_DIR) + "/pass1_output.png";
  const testing_support::COwnedBitmap& out = run.output();
  EXPECT_TRUE(qvtest::writeBottomUpPng(png, out.pixels.data(), static_cast<int>(out.bitmap.w),
                                       static_cast<int>(out.bitmap.h), out.bitmap.pitch, 2));

  const int bs = run.data().blockSize;
  auto nearBlockCentre = [&](int x, int y) {
    const int cx = x / bs * bs + bs / 2, cy = y / bs * bs + bs / 2;
    return std::abs(x - cx) <= 6 && std::abs(y - cy) <= 6;
  };
  auto inPatch = [](int x, int y) {
    return x >= kPatchLeft && x < kPatchLeft + kPatchSize && y >= kPatchTop &&
           y < kPatchTop + kPatchSize;
  };

  // The picture at half brightness, the ignored square black.
  int mismatches = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      if (nearBlockCentre(x, y)) continue;
      const bool ignored = x >= 240 && x <= 269 && y >= 180 && y <= 209;
      const std::uint32_t expected = ignored ? 0u : halfBrightness(run.sourcePixel(x, y));
      mismatches += run.outputPixel(x, y) != expected;
    }
  }
  EXPECT_EQ(mismatches, 0);

  // Every block's vector: a line from its centre to a 3 x 3 square at the
  // rounded end point, white where the fit used the block, red where not.
  // Blocks next to the patch may be measured a little off, so the square
  // may lie one pixel from the true end point.
  auto squareNear = [&](int x, int y, std::uint32_t colour) {
    for (int sy = y - 1; sy <= y + 1; ++sy) {
      for (int sx = x - 1; sx <= x + 1; ++sx) {
        bool whole = true;
        for (int k = 0; k < 9; ++k)
          whole &= run.outputPixel(sx - 1 + k % 3, sy - 1 + k / 3) == colour;
        if (whole) return true;
      }
    }
    return false;
  };
  int red = 0;
  for (int row = 0; row < 240 / bs; ++row) {
    for (int column = 0; column < 320 / bs; ++column) {
      const int cx = column * bs + bs / 2, cy = row * bs + bs / 2;
      if (cx == 255 && cy == 195) continue;  // the ignored block
      const bool discarded = inPatch(cx, cy);
      const std::uint32_t colour = discarded ? kRed : kWhite;
      red += discarded;
      EXPECT_EQ(run.outputPixel(cx, cy), colour) << cx << "," << cy;
      EXPECT_TRUE(squareNear(cx + (discarded ? -3 : 3), cy + (discarded ? 2 : -2), colour))
          << cx << "," << cy;
    }
  }
  EXPECT_EQ(red, 4);
  // The ignored block has no vector: its centre shows the black area.
  EXPECT_EQ(run.outputPixel(255, 195), 0u);

  // The result line on white: black text, grey edges, white background.
  int white = 0, dark = 0, coloured = 0;
  for (int y = 240; y < 250; ++y) {
    for (int x = 0; x < 320; ++x) {
      const std::uint32_t c = run.outputPixel(x, y);
      white += c == kWhite;
      dark += isGrey(c) && (c & 0xFF) < 64;
      coloured += !isGrey(c);
    }
  }
  EXPECT_GT(white, 1000);
  EXPECT_GT(dark, 50);
  EXPECT_EQ(coloured, 0);

  run.end();
  const std::vector<RLogLine> lines = parseLog(run.logText());
  ASSERT_EQ(lines.size(), 2u);
  for (const RLogLine& line : lines) expectPan(line, 3, -2);
}

}  // namespace
