#include "plugin/common/frame_geometry.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Equal frames of the given size, no motion.
RGeometry still(int width, int height) {
  return {.sourceWidth = width, .sourceHeight = height, .destWidth = width, .destHeight = height};
}

TEST(FrameGeometryTest, NeutralArgumentsKeepThePoint) {
  for (PointMapping map : {mapDestToSource, mapSourceToDest}) {
    const RPoint p = map(still(640, 480), 123.5, 77.25);
    EXPECT_EQ(p.x, 123.5);
    EXPECT_EQ(p.y, 77.25);
  }
}

TEST(FrameGeometryTest, QuarterTurnMapsAndReturns) {
  RGeometry g = still(640, 480);
  g.rotation = 90.0;
  const RPoint p = mapDestToSource(g, 420.0, 240.0);
  EXPECT_NEAR(p.x, 320.0, 1e-12);
  EXPECT_NEAR(p.y, 140.0, 1e-12);
  const RPoint back = mapSourceToDest(g, p.x, p.y);
  EXPECT_NEAR(back.x, 420.0, 1e-9);
  EXPECT_NEAR(back.y, 240.0, 1e-9);
}

TEST(FrameGeometryTest, SourceAspectStretchesRows) {
  RGeometry g = still(640, 480);
  g.sourceAspect = 1.094017094017094;
  const RPoint p = mapDestToSource(g, 320.0, 250.0);
  EXPECT_EQ(p.x, 320.0);
  EXPECT_EQ(p.y, 250.94017094017093);
}

TEST(FrameGeometryTest, InterlacedFieldRowsRoundTripThroughFrameLines) {
  RGeometry g = still(720, 288);
  g.sourceInterlaced = g.destInterlaced = 1;
  for (g.field = 0; g.field <= 1; ++g.field) {
    EXPECT_EQ(mapDestToSource(g, 10.0, 100.0).y, 100.0) << "field " << g.field;
  }
  // Progressive destination, interlaced source: frame row 201 of a 576-line
  // frame is field-1 row 100.
  g.destHeight = 576;
  g.destInterlaced = 0;
  g.field = 1;
  EXPECT_EQ(mapDestToSource(g, 10.0, 201.0).y, 100.0);
}

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

TEST(FrameGeometryTest, CornerZoomSearchResults) {
  RGeometry g = still(640, 480);
  EXPECT_EQ(findCornerZoom(g, 0, 0), 0.9997253417968749);
  EXPECT_EQ(findCornerZoom(g, 639, 479), 1.0015380859374998);
  g.scale = 0.8;
  EXPECT_EQ(findCornerZoom(g, 0, 0), 0.7997192382812501);
  // A corner that even the smallest zoom cannot bring inside.
  g.scale = 1.0;
  g.panX = 5000.0;
  EXPECT_EQ(findCornerZoom(g, 0, 0), 0.1);
}

}  // namespace
