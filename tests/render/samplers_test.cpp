// The three samplers and the bicubic weight table: exact results on small
// hand-made frames, black outside, no read outside the frame's pixels, and
// fast paths that give the plain kernels' bytes.
#include "render/samplers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/render_fixtures.h"

namespace {

using testing_support::CGuardedBitmap;
using testing_support::patternColour;
using testing_support::rgb;

constexpr std::int64_t kOne = std::int64_t{1} << 26;  // one pixel, 26-bit format
constexpr std::int64_t kOne10 = 1024;                 // one pixel, 22.10 format

// A frame over exactly w x h pixels (no padding, no guard rows), so that a
// read outside them is a heap overflow under AddressSanitizer.
struct RTightFrame {
  RTightFrame(int width, int height, const testing_support::PixelFunction& colour)
      : bitmap(width, height, 0, 0) {
    bitmap.fill(colour);
  }
  CGuardedBitmap bitmap;
  const RFrameView view = RFrameView::of(bitmap.bitmap());
};

// The shared table with a = -0.6, as pass 2 builds it, for every test here;
// tests that rebuild it with another parameter put this one back.
class SamplersTest : public ::testing::Test {
 protected:
  void SetUp() override { buildBicubicWeights(-0.6); }
  void TearDown() override { buildBicubicWeights(-0.6); }
  const RBicubicTable& weights() const { return *bicubicWeights(); }
};

TEST_F(SamplersTest, BilinearWeightsAndRoundingOnAHandComputedExample) {
  // Stored row 0: (10,20,30) (50,60,70); stored row 1: (100,0,255) (0,255,1).
  const std::uint32_t pixels[2][2] = {{rgb(10, 20, 30), rgb(50, 60, 70)},
                                      {rgb(100, 0, 255), rgb(0, 255, 1)}};
  const RTightFrame frame(2, 2, [&](int x, int row) { return pixels[row][x]; });
  // fx = 1/4, fy = 3/4: weights 3/16, 1/16, 9/16, 3/16 of (p00, p10, p01, p11);
  // exact means 61.25, 55.3125, 153.625.
  EXPECT_EQ(sampleBilinear(frame.view, 256, 768), rgb(61, 55, 154));
  // Half way to the right pixel, which lies outside: half the colour.
  EXPECT_EQ(sampleBilinear(frame.view, kOne10 + 512, 0), rgb(25, 30, 35));

  // Exact halves round up.
  const RTightFrame halves(2, 1,
                           [](int x, int) { return x == 0 ? rgb(10, 0, 254) : rgb(11, 1, 255); });
  EXPECT_EQ(sampleBilinear(halves.view, 512, 0), rgb(11, 1, 255));
  EXPECT_EQ(sampleBilinear(halves.view, kOne10 + 512, 0), rgb(6, 1, 128));  // 5.5, 0.5, 127.5
}

TEST_F(SamplersTest, BicubicOvershootIsClampedPerChannel) {
  // Red steps up from 0 to 255 between columns 3 and 4, blue steps down,
  // green is flat: the kernel's negative lobes overshoot on both sides.
  const RTightFrame frame(8, 6,
                          [](int x, int) { return x < 4 ? rgb(0, 100, 255) : rgb(255, 100, 0); });
  // At column 4 + 1/4 the unclamped red is 276.5 and blue -21.5.
  EXPECT_EQ(sampleBicubic(frame.view, weights(), 4 * kOne10 + 256, 2 * kOne10), rgb(255, 100, 0));
  // At column 2 + 3/4 red is -21.5 and blue 276.5.
  EXPECT_EQ(sampleBicubic(frame.view, weights(), 2 * kOne10 + 768, 2 * kOne10), rgb(0, 100, 255));
}

TEST_F(SamplersTest, WeightTableRows) {
  const RBicubicTable table = computeBicubicWeights(-0.6);
  ASSERT_EQ(table.size(), 1024u);
  EXPECT_EQ(table[0], (RBicubicRow{0, 0, 16384, 0}));
  EXPECT_EQ(table[512], (RBicubicRow{-1229, 9421, 9421, -1229}));
  EXPECT_EQ(table[256], (RBicubicRow{-461, 3942, 14285, -1382}));
  for (std::size_t i = 0; i < table.size(); ++i) {
    const int sum = table[i][0] + table[i][1] + table[i][2] + table[i][3];
    EXPECT_GE(sum, 16383) << i;
    EXPECT_LE(sum, 16386) << i;
  }
  EXPECT_EQ(weights(), table);

  // Building replaces the shared table.
  buildBicubicWeights(-0.5);
  EXPECT_EQ((*bicubicWeights())[512], (RBicubicRow{-1024, 9216, 9216, -1024}));
}

// Every sampler at random positions over the frame and a margin around it,
// on frames that reach the kernels' extremes: noise with the alpha byte, a
// black and white checkerboard (the largest overshoot), bright lines. The
// fast paths give the plain kernels' bytes, a frame inside guard pixels
// (right of each row, above and below) gives what a buffer of exactly its
// pixels gives, and AddressSanitizer sees any read past the tight buffer.
TEST(SamplerFastPathTest, EveryPathEqualsThePlainKernelAndReadsOnlyTheFrame) {
  const testing_support::PixelFunction kinds[] = {
      [](int x, int row) { return patternColour(11, x, row) ^ patternColour(12, x, row) << 8; },
      [](int x, int row) { return (x + row) % 2 ? 0xFFFFFFFFu : 0u; },
      [](int x, int) { return x % 5 == 0 ? 0x00FFFFFFu : 0u; }};
  std::mt19937 random(11);
  for (const auto& [w, h] : {std::pair{37, 23}, {13, 9}, {4, 4}, {2, 3}, {1, 1}}) {
    for (const testing_support::PixelFunction& colour : kinds) {
      CGuardedBitmap guarded(w, h);
      guarded.fill(colour);
      const RFrameView inGuards = RFrameView::of(guarded.bitmap());
      const RTightFrame tight(w, h, colour);
      std::uniform_int_distribution<std::int64_t> xs(-5 * kOne, (w + 5) * kOne);
      std::uniform_int_distribution<std::int64_t> ys(-5 * kOne, (h + 5) * kOne);
      for (double a : {-0.6, -0.5, -0.75, -1.0}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << ", a " << a);
        const RBicubicTable weights = computeBicubicWeights(a);
        for (int i = 0; i < 4000; ++i) {
          const std::int64_t X = xs(random), Y = ys(random), x = X >> 16, y = Y >> 16;
          const bool inside = X >= 0 && Y >= 0 && X < w * kOne && Y < h * kOne;
          const std::uint32_t nearest = sampleNearest(tight.view, X, Y);
          const std::uint32_t bilinear = sampleBilinearPlain(tight.view, x, y);
          const std::uint32_t bicubic = sampleBicubicPlain(tight.view, weights, x, y);
          ASSERT_TRUE(sampleNearest(inGuards, X, Y) == nearest &&
                      nearest == (inside ? colour(X >> 26, Y >> 26) : 0u) &&
                      sampleBilinear(tight.view, x, y) == bilinear &&
                      sampleBilinear(inGuards, x, y) == bilinear &&
                      sampleBicubic(tight.view, weights, x, y) == bicubic &&
                      sampleBicubic(inGuards, weights, x, y) == bicubic)
              << "at " << X << "," << Y;
        }
      }
    }
  }
}

}  // namespace
