#include "analysis/block_matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/analysed_image.h"
#include "plugin/common/video_image.h"
#include "tests/support/filter_instance.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::COwnedBitmap;
using testing_support::CSmoothTexture;
using testing_support::fillAnalysedImage;
using testing_support::patternColour;
using testing_support::rgb;

std::uint32_t grey(int level) { return rgb(0, level, 0); }

// Vectors throughout: where the content of the current image lies in the
// previous one minus where it lies now. A previous image "displaced by
// (dx, dy)" therefore shows at (x, y) what the current one shows at
// (x - dx, y - dy).
void textureImages(CVideoImage& current, CVideoImage& previous, int width, int height, int rgb,
                   const std::function<std::uint32_t(double, double)>& colourAt, double dx,
                   double dy) {
  fillAnalysedImage(current, width, height, rgb,
                    [&](int x, int y) { return colourAt(x + 0.5, y + 0.5); });
  fillAnalysedImage(previous, width, height, rgb,
                    [&](int x, int y) { return colourAt(x - dx + 0.5, y - dy + 0.5); });
}

// A square block at (b, b), predicted in place, searched `range` each way.
RMatchRequest square(int b, int size, int range, double mSep = 0.004) {
  RMatchRequest r;
  r.bx = r.by = r.px = r.py = b;
  r.bw = r.bh = size;
  r.rx = r.ry = range;
  r.mMin = 0.3;
  r.mSep = mSep;
  return r;
}

TEST(AnalysedImageTest, LevelZeroIsTopDownWithChannelsAndSquares) {
  COwnedBitmap bitmap;
  bitmap.allocate(3, 2, 16);  // 4 bytes of padding after every row
  auto stored = [&](int x, int rowFromBottom) -> Pixel32& {
    return reinterpret_cast<Pixel32*>(reinterpret_cast<unsigned char*>(bitmap.bitmap.data) +
                                      16 * rowFromBottom)[x];
  };
  stored(0, 0) = 0xFF0A141E;  // bottom row; the top byte must be ignored
  stored(2, 0) = 0x00FFFFFF;
  stored(0, 1) = 0x00C86432;  // top row: R 200, G 100, B 50
  stored(1, 1) = 0x00010203;

  CVideoImage rgb;
  rgb.create(3, 2, 1);
  loadAnalysedImage(rgb, bitmap.bitmap);
  // Top-down: the last stored row first; each channel and its square.
  auto channels = [](const RGBPixel& p) {
    return std::vector<int>{p.r, p.g, p.b, p.rr, p.gg, p.bb};
  };
  EXPECT_EQ(channels(rgb.at(0, 0)), (std::vector<int>{200, 100, 50, 40000, 10000, 2500}));
  EXPECT_EQ(channels(rgb.at(1, 0)), (std::vector<int>{1, 2, 3, 1, 4, 9}));
  EXPECT_EQ(channels(rgb.at(0, 1)), (std::vector<int>{10, 20, 30, 100, 400, 900}));

  CVideoImage gray;
  gray.create(3, 2, 0);
  loadAnalysedImage(gray, bitmap.bitmap);
  // (150 G + 77 R + 29 B) >> 8
  EXPECT_EQ(gray.at(0, 0).g, 124);
  EXPECT_EQ(gray.at(0, 0).gg, 124 * 124);
  EXPECT_EQ(gray.at(0, 1).g, 18);
  EXPECT_EQ(gray.at(2, 1).g, 255);
  EXPECT_EQ(gray.at(2, 0).g, 0);
}

TEST(MatchValueTest, OffsetsWithFewerThan36SamplesScoreMinusOne) {
  auto colour = [](int x, int y) { return patternColour(1, x, y); };
  for (int rgb = 0; rgb <= 1; ++rgb) {
    // Blocks of 10 columns; the previous image holds their content starting
    // at column 10 but is only 16 columns wide, so offset 0 keeps 6 columns
    // and offset 1 keeps 5. RGB: 2 rows (12 pixels = 36 samples); grey: 6 rows.
    const int rows = rgb ? 2 : 6;
    CVideoImage current, right, left;
    fillAnalysedImage(current, 40, 10, rgb, colour);
    fillAnalysedImage(right, 16, 10, rgb, [&](int x, int y) { return colour(x - 10, y); });
    const RMatchRequest atRight{.bw = 10, .bh = rows, .px = 10};
    // What remains matches exactly, so it is judged a perfect match.
    EXPECT_DOUBLE_EQ(matchValue(current, right, atRight, 0, 0), 1.0) << rgb;
    EXPECT_EQ(matchValue(current, right, atRight, 1, 0), -1.0) << rgb;
    EXPECT_EQ(matchValue(current, right, atRight, 0, 10 - rows + 1), -1.0) << rgb;

    // The same through the left edge: the block starts 4 columns outside.
    fillAnalysedImage(left, 16, 10, rgb, [&](int x, int y) { return colour(x + 4, y); });
    const RMatchRequest atLeft{.bw = 10, .bh = rows, .px = -4};
    EXPECT_DOUBLE_EQ(matchValue(current, left, atLeft, 0, 0), 1.0) << rgb;
    EXPECT_EQ(matchValue(current, left, atLeft, -1, 0), -1.0) << rgb;
  }
}

// Grey levels that repeat every second column and every second row: every
// even offset matches perfectly.
std::uint32_t checker(int x, int y) {
  static const int levels[2][2] = {{60, 140}, {200, 90}};
  return grey(levels[y & 1][x & 1]);
}

TEST(MatchBlockTest, SecondPeakTwoOffsetsAwayFailsWhenWithinTheMargin) {
  CVideoImage image;
  fillAnalysedImage(image, 40, 40, 0, checker);
  RMatchRequest r = square(10, 12, 3);
  double ox = 0, oy = 0;
  EXPECT_FALSE(matchBlock(image, image, r, &ox, &oy));

  // Nearly periodic: offset 0 is best, the peaks two columns away slightly
  // lower. The margin decides.
  CVideoImage almost;
  fillAnalysedImage(almost, 40, 40, 0, [](int x, int y) {
    return grey(static_cast<int>(checker(x, y) >> 8 & 0xFF) + patternColour(9, x, y) % 9);
  });
  r.ry = 0;
  r.rx = 2;
  const double best = matchValue(almost, almost, r, 0, 0);
  const double second =
      std::max(matchValue(almost, almost, r, -2, 0), matchValue(almost, almost, r, 2, 0));
  ASSERT_DOUBLE_EQ(best, 1.0);
  ASSERT_LT(second, best);
  ASSERT_GT(second, 0.9);
  r.mSep = 2 * (best - second);
  EXPECT_FALSE(matchBlock(almost, almost, r, &ox, &oy));
  r.mSep = 0.5 * (best - second);
  ASSERT_TRUE(matchBlock(almost, almost, r, &ox, &oy));
  EXPECT_NEAR(ox, 0.0, 0.5);
  EXPECT_EQ(oy, 0.0);
}

TEST(MatchBlockTest, FractionalDisplacementOfASmoothTextureIsRefined) {
  const CSmoothTexture texture(21, 7.0);
  const auto colourAt = [&](double x, double y) { return texture.sample(x, y); };
  const double shifts[][2] = {{0.25, -0.5}, {1.5, 0.75}, {-2.3, 1.2}, {0.9, -3.6}};
  for (int rgb = 0; rgb <= 1; ++rgb) {
    for (const auto& shift : shifts) {
      CVideoImage current, previous;
      textureImages(current, previous, 64, 64, rgb, colourAt, shift[0], shift[1]);
      const RMatchRequest r = square(20, 24, 5);
      double ox = 0, oy = 0;
      ASSERT_TRUE(matchBlock(current, previous, r, &ox, &oy)) << shift[0] << "," << shift[1];
      EXPECT_NEAR(ox, shift[0], 0.15) << rgb;
      EXPECT_NEAR(oy, shift[1], 0.15) << rgb;
    }
  }
}

class BlockJobTest : public ::testing::Test {
 protected:
  BlockJobTest() : data_(instance_.data()) {}
  testing_support::CFilterInstance instance_;
  InstanceData& data_;
};

TEST_F(BlockJobTest, CoarsestLevelSearchesWidelyAndCountsDarkPixels) {
  // A dark picture (every r + g + b far below the 15 % limit) displaced by
  // more than the refined levels could reach.
  CSmoothTexture texture(5, 5.0);
  auto dark = [&](double x, double y) {
    const std::uint32_t c = texture.sample(x, y);
    return rgb((c >> 16 & 0xFF) / 8, (c >> 8 & 0xFF) / 8, (c & 0xFF) / 8);
  };
  CVideoImage current, previous;
  textureImages(current, previous, 70, 50, 1, dark, 12, -8);
  ASSERT_EQ(data_.ignoreDarker, 1);
  ASSERT_EQ(data_.initialSearchRange, 40);  // 28 columns and 20 rows each way here
  double dx = 0, dy = 0;
  matchCoarsestLevel(current, previous, nullptr, data_, &dx, &dy);
  EXPECT_NEAR(dx, 12.0, 0.2);
  EXPECT_NEAR(dy, -8.0, 0.2);

  // Nothing to compare at all: no vector.
  current.green.assign(current.green.size(), kIgnoredPixel);
  matchCoarsestLevel(current, previous, nullptr, data_, &dx, &dy);
  EXPECT_EQ(dx, MISSING_VALUE);
  EXPECT_EQ(dy, MISSING_VALUE);
}

TEST_F(BlockJobTest, PredictionRoundsTheDoubledCoarseVectorHalfUp) {
  // With no search range the result is the prediction itself.
  CSmoothTexture texture(6, 12.0);
  CVideoImage image;
  fillAnalysedImage(image, 120, 90, 1,
                    [&](int x, int y) { return texture.sample(x + 0.5, y + 0.5); });
  data_.scale = 0;
  data_.differentialSearchRange = 0;
  struct RCase {
    double coarse;
    double expected;
  };
  const RCase cases[] = {{0.25, 1.0},   {-0.25, 0.0}, {0.2499, 0.0}, {-0.75, -1.0},
                         {-0.76, -2.0}, {0.75, 2.0},  {-1.25, -2.0}, {0.0, 0.0}};
  for (const RCase& c : cases) {
    const double coarseDx[1] = {c.coarse};
    const double coarseDy[1] = {-c.coarse};
    double dx[12], dy[12];
    const RLevelJob job{&data_, &image, &image, 0, 4, 3, 1, 1, dx, dy, coarseDx, coarseDy};
    runBlockJob(job, 5);  // row 1, column 1: away from the borders
    EXPECT_EQ(dx[5], c.expected) << c.coarse;
    EXPECT_EQ(dy[5], std::floor(-2 * c.coarse + 0.5)) << c.coarse;
  }
}

}  // namespace
