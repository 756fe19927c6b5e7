// Per-row maps of rolling-shutter video and the integer application of the
// maps between neighbouring frames.
#include "render/row_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "planning/correction_planner.h"
#include "plugin/common/fixed_point.h"
#include "plugin/common/frame_geometry.h"
#include "tests/support/render_fixtures.h"

namespace {

constexpr std::int64_t kOne = std::int64_t{1} << 26;
constexpr double kToPixels = 1.0 / 67108864.0;

std::int64_t dropLowBits(std::int64_t v) { return (v >> 8) * 256; }

// A table whose every item maps a row onto itself and moves x by (item index)
// pixels, so that a result tells which item was used.
std::vector<RRowTableItem> markedIdentityTable(int h) {
  std::vector<RRowTableItem> table(static_cast<std::size_t>(3 * h));
  for (int r = -h; r < 2 * h; ++r) {
    table[static_cast<std::size_t>(r + h)] = {{(r + h) * kOne, r * kOne, kOne, 0, 0, kOne}};
  }
  return table;
}

TEST(RowTablesTest, PositionsBeyondTheTableUseItsOuterRowsMeasuredFromThoseRows) {
  const int h = 4;
  const std::vector<RRowTableItem> table = markedIdentityTable(h);
  struct RCase {
    std::int64_t Y;
    int item;
  };
  const RCase cases[] = {
      {kOne + kOne / 3, h + 1},                 // inside: row 1
      {(2 * h - 1) * kOne + 12345, 3 * h - 1},  // the top row of the table
      {2 * h * kOne, 3 * h - 1},                // one row past it
      {100 * kOne + 98765, 3 * h - 1},          // far above the frame
      {-h * kOne, 0},                           // the bottom row of the table
      {-h * kOne - 1, 0},                       // just below it
      {-100 * kOne - 777, 0},                   // far below the frame
  };
  const std::int64_t X = 3 * kOne + 4321;
  for (const RCase& c : cases) {
    std::int64_t outX = 0, outY = 0;
    applyRowTable(table.data(), h, X, c.Y, &outX, &outY);
    // The per-row change carries the position within (or beyond) the row:
    // an identity in y proves that f was measured from the item's own row.
    EXPECT_EQ(outY, dropLowBits(c.Y)) << c.Y;
    EXPECT_EQ(outX, dropLowBits(X) + c.item * kOne) << c.Y;
  }
}

struct RMotion {
  double panX, panY, rotation, zoom;
};

RPoint mapPoint(bool inverse, int w, int h, const RMotion& m, double aspect, int interlaced,
                int field, double x, double y) {
  const RGeometry g{w,      h,   w,      h,      m.rotation, m.zoom,     m.panX,
                    m.panY, 1.0, aspect, aspect, interlaced, interlaced, field};
  return (inverse ? mapSourceToDest : mapDestToSource)(g, x, y);
}

std::vector<RRowTableItem> buildTable(bool inverse, int w, int h, const RMotion& top,
                                      const RMotion& bottom, double aspect, int interlaced,
                                      int field) {
  std::vector<RRowTableItem> table(static_cast<std::size_t>(3 * h));
  const REdgeSet a{top.panX, top.panY, top.rotation, top.zoom};
  const REdgeSet b{bottom.panX, bottom.panY, bottom.rotation, bottom.zoom};
  (inverse ? buildRowTableInverse : buildRowTable)(w, h, a, b, aspect, interlaced, field,
                                                   table.data());
  return table;
}

struct RTableCase {
  bool inverse;
  double aspect;
  int interlaced;
  int field;
};

class RowTableGeometryTest : public ::testing::TestWithParam<RTableCase> {};

TEST_P(RowTableGeometryTest, IdenticalEdgeSetsGiveTheAffineMapOfThatMotion) {
  const RTableCase& c = GetParam();
  const int w = 64, h = 48;
  const RMotion motion{2.5, -1.75, 0.8, 1.03};
  const std::vector<RRowTableItem> table =
      buildTable(c.inverse, w, h, motion, motion, c.aspect, c.interlaced, c.field);

  // Stored row 0 maps the same three points as the frame mapping with
  // integer centres, so its item is that map, digit for digit.
  RAffineMap map;
  const RGeometry g{
      w,           h,   w,        h,        motion.rotation, motion.zoom,  motion.panX,
      motion.panY, 1.0, c.aspect, c.aspect, c.interlaced,    c.interlaced, c.field};
  buildFrameMapping(c.inverse ? MappingDirection::kInverse : MappingDirection::kForward, g,
                    MappedPoints::kPixelIndices, 2, map);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(table[static_cast<std::size_t>(h)].t[i], map[i]) << i;

  // Every other row continues the same map, inside the frame and far beyond.
  for (double y : {-60.0, -48.0, -20.25, -0.5, 0.0, 0.3, 13.7, 47.99, 60.5, 95.0, 140.0}) {
    for (double x : {-30.0, 0.0, 17.25, 63.5, 100.0}) {
      std::int64_t X = 0, Y = 0;
      applyRowTable(table.data(), h, toFixedPoint(x), toFixedPoint(y), &X, &Y);
      const RPoint expected =
          mapPoint(c.inverse, w, h, motion, c.aspect, c.interlaced, c.field, x, y);
      // The integer application drops 8 of 26 fraction bits of both factors.
      EXPECT_NEAR(X * kToPixels, expected.x, 2e-3) << x << "," << y;
      EXPECT_NEAR(Y * kToPixels, expected.y, 2e-3) << x << "," << y;
    }
  }
}

TEST_P(RowTableGeometryTest, RowsInterpolateFromTheBottomSetToTheTopSet) {
  const RTableCase& c = GetParam();
  const int w = 40, h = 9;  // stored row 4 lies half way
  const RMotion top{4.0, -2.0, 0.5, 1.02}, bottom{-1.0, 1.0, -0.3, 0.99};
  const std::vector<RRowTableItem> table =
      buildTable(c.inverse, w, h, top, bottom, c.aspect, c.interlaced, c.field);

  // Each row's item maps its own origin and its steps with the motion that
  // belongs to the row: the bottom set at stored row 0, the top set at row
  // h - 1, the mean (zoom geometric) half way, extrapolated outside.
  const auto motionAt = [&](double t) {
    return RMotion{
        bottom.panX + (top.panX - bottom.panX) * t, bottom.panY + (top.panY - bottom.panY) * t,
        bottom.rotation + (top.rotation - bottom.rotation) * t,
        std::exp(std::log(bottom.zoom) + (std::log(top.zoom) - std::log(bottom.zoom)) * t)};
  };
  for (int r : {-h, -1, 0, 4, h - 1, h, 2 * h - 1}) {
    const RMotion m = motionAt(r / static_cast<double>(h - 1));
    const RPoint p0 = mapPoint(c.inverse, w, h, m, c.aspect, c.interlaced, c.field, 0, r);
    const RPoint p1 = mapPoint(c.inverse, w, h, m, c.aspect, c.interlaced, c.field, 1, r);
    const RPoint p2 = mapPoint(c.inverse, w, h, m, c.aspect, c.interlaced, c.field, 0, r + 1);
    const double expected[6] = {p0.x, p0.y, p1.x - p0.x, p1.y - p0.y, p2.x - p0.x, p2.y - p0.y};
    const RRowTableItem& item = table[static_cast<std::size_t>(r + h)];
    for (int i = 0; i < 6; ++i)
      EXPECT_NEAR(item.t[i] * kToPixels, expected[i], 1e-7) << r << "/" << i;
  }
  // The ends are the edge sets themselves.
  const RPoint bottomOrigin =
      mapPoint(c.inverse, w, h, bottom, c.aspect, c.interlaced, c.field, 0, 0);
  const RPoint topOrigin =
      mapPoint(c.inverse, w, h, top, c.aspect, c.interlaced, c.field, 0, h - 1);
  EXPECT_EQ(table[static_cast<std::size_t>(h)].t[0], toFixedPoint(bottomOrigin.x));
  EXPECT_EQ(table[static_cast<std::size_t>(h)].t[1], toFixedPoint(bottomOrigin.y));
  EXPECT_NEAR(table[static_cast<std::size_t>(2 * h - 1)].t[0] * kToPixels, topOrigin.x, 1e-7);
  EXPECT_NEAR(table[static_cast<std::size_t>(2 * h - 1)].t[1] * kToPixels, topOrigin.y, 1e-7);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RowTableGeometryTest,
    ::testing::Values(RTableCase{false, 1.0, 0, 0}, RTableCase{true, 1.0, 0, 0},
                      RTableCase{false, 1.0926, 0, 1}, RTableCase{false, 0.9, 1, 0},
                      RTableCase{false, 0.9, 1, 1}, RTableCase{true, 1.0926, 1, 1}));

}  // namespace
