#include "planning/correction_planner.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "plugin/common/frame_plan.h"
#include "plugin/filter/filter_callbacks.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CPlanningRun;
using testing_support::logLine;
using testing_support::logLineWithTopEdge;

constexpr double kOne = 67108864.0;  // 1.0 in the maps' fixed point (2^26)

struct RMap {
  std::int64_t c[6];
};

// 640 x 480 pixels throughout.
RGeometry geometry(double rotation, double zoom, double panX, double panY, double scale = 1.0) {
  return {640, 480, 640, 480, rotation, zoom, panX, panY, scale};
}

constexpr std::int64_t kAny = INT64_MIN;  // a coefficient expectMap does not check

void expectMap(const std::int64_t* actual, const RMap& expected) {
  for (int k = 0; k < 6; ++k) {
    if (expected.c[k] != kAny) {
      EXPECT_EQ(actual[k], expected.c[k]) << "coefficient c" << k;
    }
  }
}

TEST(FrameMappingTest, MapsFollowTheGeometryInFixedPoint) {
  constexpr std::int64_t k1 = 1LL << 26;
  using D = MappingDirection;
  struct RCase {
    D direction;
    double rotation, zoom, panX, panY;
    int integerCentre, resampling;
    RMap expected;
  };
  const RCase cases[] = {
      // Interpolating samplers: the centre (0.5, 0.5) maps to itself and the
      // half-pixel shift makes integer coordinates pixel centres; nearest
      // neighbour keeps the centre at 0.5; integer centres map indices.
      {D::kForward, 0, 1, 0, 0, 0, 2, {0, 0, k1, 0, 0, k1}},
      {D::kForward, 0, 1, 0, 0, 0, 1, {0, 0, k1, 0, 0, k1}},
      {D::kForward, 0, 1, 0, 0, 0, 0, {k1 / 2, k1 / 2, k1, 0, 0, k1}},
      {D::kForward, 0, 1, 0, 0, 1, 0, {0, 0, k1, 0, 0, k1}},
      {D::kInverse, 0, 1, 0, 0, 1, 2, {0, 0, k1, 0, 0, k1}},
      // Rows count upwards, and pan y moves the source position down.
      {D::kForward, 0, 1, 3, -2, 1, 2, {3 * k1, 2 * k1, k1, 0, 0, k1}},
      {D::kInverse, 0, 1, 3, -2, 1, 2, {-3 * k1, -2 * k1, k1, 0, 0, k1}},
      // Fractions of the fixed point round to the nearest: 0.7 * 2^26 is
      // 46976204.8.
      {D::kForward, 0, 1, 0.7, 0, 1, 2, {46976205, 0, k1, 0, 0, k1}},
      // A quarter turn: a step right is a step down in the source, a step up
      // a step right.
      {D::kForward, 90, 1, 0, 0, 1, 2, {kAny, kAny, 0, -k1, k1, 0}},
      // Zoom 2 about the centre of 640 x 480: pixel 0 lies 320 left of it.
      {D::kForward, 0, 2, 0, 0, 1, 2, {-320 * k1, -240 * k1, 2 * k1, 0, 0, 2 * k1}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "rotation " << c.rotation << " zoom " << c.zoom << " pan "
                                    << c.panX << "," << c.panY << " resampling " << c.resampling);
    std::int64_t map[6];
    buildFrameMapping(c.direction, geometry(c.rotation, c.zoom, c.panX, c.panY),
                      c.integerCentre ? MappedPoints::kPixelIndices : MappedPoints::kPixelCentres,
                      c.resampling, map);
    expectMap(map, c.expected);
  }
}

double coverage(double rotation, double panX, double panY, double scale) {
  return coverageZoom(geometry(rotation, 1.0, panX, panY, scale));
}

TEST(CoverageZoomTest, TheSmallestCornerZoomShrunkByOnePixel) {
  // Without motion the corner (0, 0) limits the zoom to 0.9997253417968749
  // (the corner (639, 479) would allow more); (m - 1) / m with m = 480.
  EXPECT_DOUBLE_EQ(coverage(0, 0, 0, 1.0), 0.9997253417968749 * 479.0 / 480.0);
  EXPECT_DOUBLE_EQ(coverage(0, 0, 0, 0.8), 0.7997192382812501 * 479.0 / 480.0);
  // A correction of 32 pixels to the left needs a zoom of 0.9 to keep the
  // left edge covered; to the right, the right edge needs the same.
  EXPECT_NEAR(coverage(0, -32, 0, 1.0), 0.9 * 479.0 / 480.0, 0.0015);
  EXPECT_NEAR(coverage(0, 32, 0, 1.0), (288.0 / 319.0) * 479.0 / 480.0, 0.0015);
  // A rotation needs zooming in as well.
  EXPECT_LT(coverage(5, 0, 0, 1.0), 0.95);
}

// What a log line gives: pan x, pan y, rotation, zoom factor, scene start.
struct RLogMotion {
  double panX = 0, panY = 0, rotation = 0, zoom = 1;
  bool newScene = false;
};

class PlannerTest : public ::testing::Test {
 protected:
  PlannerTest() {
    // Pan x is not smoothed at all, so that its correction is minus the
    // cumulative pan, known exactly; rotation and pan y stay zero.
    data().smoothHorizontalPanning = -1;
    data().resampling = 2;
  }

  InstanceData& data() { return run_.data(); }

  // Plans the lines (labels 1 ..) as a new log; entry i is line i.
  void plan(const std::vector<RLogMotion>& lines) {
    std::string text;
    int label = 1;
    for (const RLogMotion& m : lines) {
      text += logLine(label++, m.panX, m.panY, m.rotation, m.zoom, m.newScene);
    }
    run_.plan(text);
  }

  // The zoom factor of entry i when its rotation correction is zero: the
  // scale of the transform times fitScale and extraZoom.
  double zoomOf(int i) {
    return data().framePlans[i].transform[2] / kOne * data().fitScale * data().extraZoom;
  }

  CPlanningRun run_{640, 480};
};

// Twenty lines: a shaky pan with a zoom wobble, a new scene at line 12.
std::vector<RLogMotion> shakyClip() {
  std::vector<RLogMotion> lines(20);
  for (int i = 0; i < 20; ++i) {
    lines[i].panX = 1.5 + ((i * 7) % 5 - 2) * 2.25;
    lines[i].zoom = i % 2 ? 1.02 : 0.98;
  }
  lines[11] = RLogMotion{0, 0, 0, 1, true};
  return lines;
}

// The modes that promise no borders never zoom out beyond the coverage of
// the frame's correction, in either scene; the others still plan every entry.
TEST_F(PlannerTest, BorderlessModesStayWithinTheCoverage) {
  const std::vector<RLogMotion> lines = shakyClip();
  for (int mode = 0; mode <= 5; ++mode) {
    SCOPED_TRACE("edge compensation " + std::to_string(mode));
    data().edgeCompensation = mode;
    plan(lines);
    ASSERT_EQ(data().plannedFrameCount, 21);
    double pan = 0.0;
    for (int i = 1; i < 21 && mode >= 3; ++i) {
      pan += lines[i - 1].panX;
      EXPECT_LE(zoomOf(i), coverage(0, -pan, 0, data().fitScale) + 1e-7) << "entry " << i;
    }
  }
}

TEST_F(PlannerTest, WithoutEdgeCompensationOnlyTheZoomMotionIsCorrected) {
  std::vector<RLogMotion> lines(12);
  for (int i = 0; i < 12; ++i) lines[i].panX = i < 6 ? 8.0 : -8.0;  // up to 48 pixels
  data().edgeCompensation = 0;
  plan(lines);
  ASSERT_EQ(data().plannedFrameCount, 13);
  double pan = 0.0;
  for (int i = 0; i < 13; ++i) {
    if (i > 0) pan += lines[i - 1].panX;
    SCOPED_TRACE(i);
    // The border is left uncovered: the origin moves by the correction.
    expectMap(data().framePlans[i].transform,
              {static_cast<std::int64_t>(-pan * kOne), 0, 1LL << 26, kAny, kAny, 1LL << 26});
  }

  // The adaptive zoom meets the same corrections by zooming in.
  data().edgeCompensation = 1;
  plan(lines);
  EXPECT_LT(zoomOf(6), 0.98);
}

TEST_F(PlannerTest, FixedZoomUsesTheSmallestCoverageOfEachScene) {
  // Entry 5 is corrected by 32 pixels, which needs a zoom of 0.9; a second
  // scene starts at entry 12 and has no correction.
  std::vector<RLogMotion> lines(20);
  lines[4].panX = 32;
  lines[5].panX = -32;
  lines[11].newScene = true;
  data().edgeCompensation = 3;
  plan(lines);
  ASSERT_EQ(data().plannedFrameCount, 21);

  const double first = coverage(0, -32, 0, data().fitScale);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(zoomOf(i), first, 1e-7) << "entry " << i;
  const double second = coverage(0, 0, 0, data().fitScale);
  for (int i = 12; i < 21; ++i) EXPECT_NEAR(zoomOf(i), second, 1e-7) << "entry " << i;
}

void expectEdgeSet(const REdgeSet* set, double panX, double panY, double rotation, double zoom) {
  ASSERT_NE(set, nullptr);
  EXPECT_NEAR(set->panX, panX, 1e-12);
  EXPECT_NEAR(set->panY, panY, 1e-12);
  EXPECT_NEAR(set->rotation, rotation, 1e-12);
  EXPECT_NEAR(set->zoom, zoom, 1e-12);
}

TEST_F(PlannerTest, RollingShutterEdgeSetsComeFromTheTopEdgeAndItsMirror) {
  data().rollingShutter = 1;
  data().rollingShutterAmount = 88.0;
  data().usePreviousFrames = 1;
  data().useFutureFrames = 1;
  // Line 1 and 3 with top-edge sets, line 2 with only part of one.
  run_.plan(logLineWithTopEdge(1, 2.0, -1.0, 0.1, 1.01, 1.5, -0.5, 0.05, 1.005) +
            "      2\t   1.00\t   1.00\t  0.000\t1.00000\t   0.50\t   0.50\r\n" +
            logLineWithTopEdge(3, -4.0, 2.0, -0.2, 0.99, -3.0, 1.25, -0.125, 0.995));
  ASSERT_EQ(data().plannedFrameCount, 4);
  const RFramePlan* p = data().framePlans;

  // The bottom edge mirrors the top edge about the whole-frame motion; its
  // zoom is the whole zoom squared over the top zoom.
  expectEdgeSet(p[1].previousTopEdge, 1.5, -0.5, 0.05, 1.005);
  expectEdgeSet(p[1].previousBottomEdge, 2.5, -1.5, 0.15, 1.01 * 1.01 / 1.005);
  expectEdgeSet(p[3].previousTopEdge, -3.0, 1.25, -0.125, 0.995);
  expectEdgeSet(p[3].previousBottomEdge, -5.0, 2.75, -0.275, 0.99 * 0.99 / 0.995);
  // Entry i fills the next-frame sets of entry i - 1.
  expectEdgeSet(p[0].nextTopEdge, 1.5, -0.5, 0.05, 1.005);
  expectEdgeSet(p[0].nextBottomEdge, 2.5, -1.5, 0.15, 1.01 * 1.01 / 1.005);
  expectEdgeSet(p[2].nextTopEdge, -3.0, 1.25, -0.125, 0.995);
  // Entries without a complete top edge fall back to the affine maps, and
  // nothing follows the last entry.
  for (const REdgeSet* none :
       {p[0].previousTopEdge, p[2].previousTopEdge, p[2].previousBottomEdge, p[1].nextTopEdge,
        p[1].nextBottomEdge, p[3].nextTopEdge, p[3].nextBottomEdge}) {
    EXPECT_EQ(none, nullptr);
  }
  expectMap(p[2].toPrevious, {1 << 26, -(1LL << 26), 1 << 26, 0, 0, 1 << 26});
  expectMap(p[1].toNext, {-(1LL << 26), 1 << 26, 1 << 26, 0, 0, 1 << 26});
}

TEST_F(PlannerTest, InterlacedLogsArePlannedPerField) {
  data().interlaced = 1;
  data().edgeCompensation = 0;
  const std::string log = testing_support::stillLog(6, true, 2);  // 1A to 3B
  // Field output: a destination field row is a source field row.
  paramProc(&run_.instance().fa(), nullptr);
  run_.plan(log);
  ASSERT_EQ(data().plannedFrameCount, 7);
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    expectMap(data().framePlans[i].transform, {kAny, 0, kAny, kAny, kAny, 1LL << 26});
  }

  // Progressive output: a destination row is one frame line, half a field
  // row, and the odd field's lines lie one frame line higher.
  data().interlacedProgressive = 1;
  run_.instance().setSourceSize(640, 480);
  paramProc(&run_.instance().fa(), nullptr);
  run_.plan(log);
  ASSERT_EQ(data().plannedFrameCount, 7);
  for (int i = 0; i < 7; ++i) {
    const std::int64_t field = i % 2;  // upperFieldFirst is 0
    SCOPED_TRACE(i);
    expectMap(data().framePlans[i].transform,
              {kAny, -(1LL << 24) - field * (1LL << 25), kAny, kAny, kAny, 1LL << 25});
  }
}

TEST(DegenerateFrameTest, AOnePixelHighFrameDoesNotStallPlanning) {
  // The coverage of a destination one pixel high is 0, whose logarithm no
  // smoothing can settle. The start callback must still come back soon.
  std::string log;
  for (int i = 1; i <= 200; ++i) log += logLine(i, i % 2 ? 1.0 : -1.0, 0.0, 0.0, 1.0);
  testing_support::expectReturnsWithinTwoSeconds([&] { CPlanningRun(64, 1).plan(log); });
}

}  // namespace
