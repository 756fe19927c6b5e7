#include "plugin/common/frame_geometry.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(FrameGeometryTest, InverseUndoesForwardForRandomArguments) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 2000; ++trial) {
    const int sw = 100 + trial % 700, sh = 80 + trial % 500;
    const int dw = 120 + trial % 600, dh = 90 + trial % 400;
    const double rotation = unit(random) * 720 - 360, zoom = 0.2 + unit(random) * 4;
    const double panX = unit(random) * 200 - 100, panY = unit(random) * 200 - 100;
    const double scale = 0.3 + unit(random) * 3;
    const double sa = 0.5 + unit(random) * 1.5, da = 0.5 + unit(random) * 1.5;
    const int si = trial & 1, di = (trial >> 1) & 1, field = (trial >> 2) & 1;
    const double x = unit(random) * dw, y = unit(random) * dh;
    const RGeometry g{sw, sh, dw, dh, rotation, zoom, panX, panY, scale, sa, da, si, di, field};
    const RPoint s = mapDestToSource(g, x, y);
    const RPoint d = mapSourceToDest(g, s.x, s.y);
    ASSERT_NEAR(d.x, x, 1e-8) << trial;
    ASSERT_NEAR(d.y, y, 1e-8) << trial;
  }
}

// The top-down variant is the bottom-up mapping with both row axes flipped.
TEST(FrameGeometryTest, TopDownEqualsFlippedBottomUp) {
  for (int interlaced = 0; interlaced <= 1; ++interlaced) {
    const RGeometry g{700,  500, 640, 480, 3.5,        1.1,       4.0,
                      -6.0, 0.9, 1.2, 0.8, interlaced, interlaced};
    const RPoint top = mapDestToSourceTopDown(g, 100.0, 60.0);
    const RPoint bottom = mapDestToSource(g, 100.0, g.destHeight - 60.0);
    EXPECT_NEAR(top.x, bottom.x, 1e-9);
    EXPECT_NEAR(top.y, g.sourceHeight - bottom.y, 1e-9);
  }
}

}  // namespace
