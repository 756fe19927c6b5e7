// Colours for the pixels that no frame covered: the inverse-squared-distance
// mean of the rim around them.
#include "render/border_extrapolation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "tests/support/render_fixtures.h"

namespace {

using testing_support::CBorderTableScope;
using testing_support::patternColour;
using testing_support::rgb;

// A destination of w x h pixels with the border pixel table for it.
struct RBorderScene {
  RBorderScene(int w, int h) : target(1, 1, w, h), borders(w, h) {
    job.activation = &target.activation;
    target.destination.fill([](int x, int row) { return patternColour(9, x, row); });
  }
  std::uint32_t& at(int x, int row) { return target.destination.at(x, row); }
  void extrapolate(const std::vector<std::pair<int, int>>& border) {
    for (const auto& [x, row] : border) registerBorderPixel(job, x, row);
    extrapolateBorder(job);
  }
  testing_support::RRenderTarget target;
  CBorderTableScope borders;
  RenderJob job;
};

TEST(BorderExtrapolationTest, SinglePixelGetsTheMeanOfItsFourNeighbours) {
  RBorderScene scene(5, 5);
  scene.at(2, 2) = 0xFF123456;
  scene.at(2, 1) = rgb(10, 0, 255);
  scene.at(2, 3) = rgb(11, 0, 255);
  scene.at(1, 2) = rgb(10, 1, 254);
  scene.at(3, 2) = rgb(11, 1, 254);
  std::vector<std::uint32_t> expected = scene.target.destination.pixels();
  expected[2 * 5 + 2] = rgb(11, 1, 255);  // 10.5, 0.5, 254.5 rounded half up, top byte 0
  scene.extrapolate({{2, 2}});
  EXPECT_EQ(scene.target.destination.pixels(), expected);
}

TEST(BorderExtrapolationTest, RimPixelsWeighByInverseSquaredDistance) {
  RBorderScene scene(4, 1);
  scene.at(0, 0) = rgb(100, 0, 50);
  scene.at(3, 0) = rgb(0, 100, 50);
  scene.extrapolate({{1, 0}, {2, 0}});
  // Distances 1 and 2: weights 1 and 1/4.
  EXPECT_EQ(scene.at(1, 0), rgb(80, 20, 50));
  EXPECT_EQ(scene.at(2, 0), rgb(20, 80, 50));
}

TEST(BorderExtrapolationTest, NeighboursNeverWrapAcrossRowsOrOutOfTheFrame) {
  const int w = 4, h = 3;
  const std::pair<int, int> positions[] = {{0, 1}, {3, 1}, {1, 0}, {2, 2},
                                           {0, 0}, {3, 2}, {3, 0}, {0, 2}};
  for (const auto& [bx, brow] : positions) {
    RBorderScene scene(w, h);
    // Everything white except the true neighbours, which are black: any other
    // pixel in the rim would lighten the result.
    scene.target.destination.fill([&](int x, int row) {
      const int d = (x > bx ? x - bx : bx - x) + (row > brow ? row - brow : brow - row);
      return d == 1 ? 0u : rgb(255, 255, 255);
    });
    scene.extrapolate({{bx, brow}});
    EXPECT_EQ(scene.at(bx, brow), 0u) << bx << "," << brow;
  }
}

}  // namespace
