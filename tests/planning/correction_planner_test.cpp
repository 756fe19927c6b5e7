#include "planning/correction_planner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "planning/motion_smoothing.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/video_image.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CFilterInstance;
using testing_support::CRecordingMessageBoxes;
using testing_support::CRecordingProgressWindows;
using testing_support::CScratchFolder;
using testing_support::logLine;
using testing_support::logLineWithTopEdge;
using testing_support::setLastWriteTime;
using testing_support::writeTextFile;

constexpr double kOne = 67108864.0;  // 1.0 in the maps' fixed point (2^26)

struct RMap {
  std::int64_t c[6];
};

RMap mapping(MappingDirection direction, double rotation, double zoom, double panX, double panY,
             int integerCentre, int resampling, int width = 640, int height = 480) {
  RMap m{};
  const RGeometry g{.sourceWidth = width,
                    .sourceHeight = height,
                    .destWidth = width,
                    .destHeight = height,
                    .rotation = rotation,
                    .zoom = zoom,
                    .panX = panX,
                    .panY = panY};
  buildFrameMapping(direction, g,
                    integerCentre ? MappedPoints::kPixelIndices : MappedPoints::kPixelCentres,
                    resampling, m.c);
  return m;
}

void expectMap(const std::int64_t* actual, const RMap& expected, std::int64_t slack = 0) {
  for (int k = 0; k < 6; ++k) {
    EXPECT_NEAR(static_cast<double>(actual[k]), static_cast<double>(expected.c[k]),
                static_cast<double>(slack))
        << "coefficient c" << k;
  }
}

// ---------------------------------------------------------------------------
// Fixed-point maps

TEST(FrameMappingTest, TheIdentityMapsPixelCentres) {
  // Interpolating samplers: the pixel centre (0.5, 0.5) maps to itself and
  // the half-pixel shift makes integer coordinates pixel centres.
  expectMap(mapping(MappingDirection::kForward, 0, 1, 0, 0, 0, 2).c,
            {0, 0, 1 << 26, 0, 0, 1 << 26});
  expectMap(mapping(MappingDirection::kForward, 0, 1, 0, 0, 0, 1).c,
            {0, 0, 1 << 26, 0, 0, 1 << 26});
  // Nearest neighbour keeps the centre at 0.5.
  expectMap(mapping(MappingDirection::kForward, 0, 1, 0, 0, 0, 0).c,
            {1 << 25, 1 << 25, 1 << 26, 0, 0, 1 << 26});
  // Integer centres map pixel indices, for any resampling.
  for (int resampling : {0, 1, 2}) {
    expectMap(mapping(MappingDirection::kForward, 0, 1, 0, 0, 1, resampling).c,
              {0, 0, 1 << 26, 0, 0, 1 << 26});
    expectMap(mapping(MappingDirection::kInverse, 0, 1, 0, 0, 1, resampling).c,
              {0, 0, 1 << 26, 0, 0, 1 << 26});
  }
}

TEST(FrameMappingTest, PanAndRotationFollowTheGeometry) {
  // Rows count upwards, and pan y moves the source position down.
  expectMap(mapping(MappingDirection::kForward, 0, 1, 3, -2, 1, 2).c,
            {3 << 26, 2 << 26, 1 << 26, 0, 0, 1 << 26});
  expectMap(mapping(MappingDirection::kInverse, 0, 1, 3, -2, 1, 2).c,
            {-(3LL << 26), -(2LL << 26), 1 << 26, 0, 0, 1 << 26});
  // A quarter turn: a step right in the destination is a step down in the
  // source, a step up is a step right.
  const RMap quarter = mapping(MappingDirection::kForward, 90, 1, 0, 0, 1, 2);
  EXPECT_EQ(quarter.c[2], 0);
  EXPECT_EQ(quarter.c[3], -(1LL << 26));
  EXPECT_EQ(quarter.c[4], 1LL << 26);
  EXPECT_EQ(quarter.c[5], 0);
  // Zoom 2 about the centre, 640 x 480: pixel 0 lies 320 to the left of
  // it, so in the source it is at 320 - 640 = -320.
  const RMap zoomed = mapping(MappingDirection::kForward, 0, 2, 0, 0, 1, 2);
  EXPECT_EQ(zoomed.c[0], -320LL << 26);
  EXPECT_EQ(zoomed.c[1], -240LL << 26);
  EXPECT_EQ(zoomed.c[2], 2LL << 26);
  EXPECT_EQ(zoomed.c[5], 2LL << 26);
}

// ---------------------------------------------------------------------------
// Coverage zoom

class CoverageZoomTest : public ::testing::Test {
 protected:
  double coverage(double rotation, double panX, double panY, double scale) {
    return coverageZoom({.sourceWidth = 640,
                         .sourceHeight = 480,
                         .destWidth = 640,
                         .destHeight = 480,
                         .rotation = rotation,
                         .panX = panX,
                         .panY = panY,
                         .scale = scale});
  }
};

TEST_F(CoverageZoomTest, TheSmallestCornerZoomShrunkByOnePixel) {
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

// ---------------------------------------------------------------------------
// Planning through the pass-2 start

// What a log line gives: pan x, pan y, rotation, zoom factor, scene start.
struct RLogMotion {
  double panX = 0, panY = 0, rotation = 0, zoom = 1;
  bool newScene = false;
};

class PlannerTest : public ::testing::Test {
 protected:
  PlannerTest() {
    instance_.setSourceSize(640, 480);
    data().pass = 2;
    *data().logFilePath = folder_.path("run.log");
    // Pan x is not smoothed at all, so that its correction is minus the
    // cumulative pan, known exactly; rotation and pan y stay zero.
    data().smoothHorizontalPanning = -1;
    data().resampling = 2;
  }
  ~PlannerTest() override { endProc(&instance_.fa(), nullptr); }

  InstanceData& data() { return instance_.data(); }

  // Plans the lines (labels 1 ..) as a new log; entry i is line i.
  void plan(const std::vector<RLogMotion>& lines) {
    std::string text;
    int label = 1;
    for (const RLogMotion& m : lines) {
      text += logLine(label++, m.panX, m.panY, m.rotation, m.zoom, m.newScene);
    }
    planText(text);
  }
  void planText(const std::string& text) {
    endProc(&instance_.fa(), nullptr);
    writeTextFile(*data().logFilePath, text);
    setLastWriteTime(*data().logFilePath, ++stamp_);
    startProc(&instance_.fa(), nullptr);
  }

  // The zoom factor of entry i when its rotation correction is zero: the
  // scale of the transform times fitScale and extraZoom.
  double zoomOf(int i) {
    return data().framePlans[i].transform[2] / kOne * data().fitScale * data().extraZoom;
  }

  double coverageForPan(double panCorrection) {
    return coverageZoom({.sourceWidth = data().sourceImage->width,
                         .sourceHeight = data().sourceImage->height,
                         .destWidth = data().destImage->width,
                         .destHeight = data().destImage->height,
                         .panX = panCorrection,
                         .scale = data().fitScale});
  }

  // The zoom factors the edge compensation should give, step by step as
  // the plan is described: camera zoom D, smoothed zoom Z, coverage L, the
  // adaptive target and the fixed offset per scene. Pan x corrections are
  // minus the cumulative pan (see the constructor).
  std::vector<double> expectedZooms(const std::vector<RLogMotion>& lines) {
    const int n = static_cast<int>(lines.size()) + 1;
    std::vector<double> D(n, 0.0), panCorrection(n, 0.0), L(n), Z(n, 0.0);
    std::vector<int> scenes(n, 0);
    double pan = 0.0;
    for (int i = 1; i < n; ++i) {
      D[i] = D[i - 1] + std::log(lines[i - 1].zoom);
      pan += lines[i - 1].panX;
      panCorrection[i] = 0.0 - pan;
      scenes[i] = lines[i - 1].newScene ? 1 : 0;
    }
    const int mode = data().edgeCompensation;
    const double weight = smoothnessWeight(data().smoothZoom);
    const double limit = std::log(1.0 + data().maxCorrectionZoom / 100.0);
    if (mode != 2 && mode != 5) {
      EXPECT_EQ(smoothWithLimit(n, D.data(), Z.data(), weight, limit, 0.00001, mode == 0 ? 1 : 0,
                                scenes.data()),
                1);
    }
    for (int i = 0; i < n; ++i) L[i] = std::log(coverageForPan(panCorrection[i]));
    if (mode == 1 || mode == 2 || mode == 4 || mode == 5) {
      std::vector<double> target(n);
      for (int i = 0; i < n; ++i) {
        target[i] = (mode == 2 || mode == 5) ? L[i] : D[i] + std::min(Z[i] - D[i], L[i]);
      }
      EXPECT_EQ(smoothWithLimit(n, target.data(), Z.data(), weight, limit, 0.00001, 0, nullptr), 1);
    }
    if (mode >= 3) {
      for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && scenes[end] == 0) ++end;
        double M = 0.0;
        for (int i = start; i < end; ++i) {
          M = std::min(M, mode == 5 ? L[i] - Z[i] : L[i] - (Z[i] - D[i]));
        }
        for (int i = start; i < end; ++i) Z[i] += M;
        start = end;
      }
    }
    std::vector<double> zooms(n);
    for (int i = 0; i < n; ++i) {
      zooms[i] = (mode == 2 || mode == 5) ? std::exp(Z[i]) : std::exp(Z[i] - D[i]);
    }
    return zooms;
  }

  CScratchFolder folder_;
  CFilterInstance instance_;
  CRecordingProgressWindows windows_;
  std::int64_t stamp_ = 1000000;
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

TEST_F(PlannerTest, EveryEdgeCompensationGivesItsZoom) {
  const std::vector<RLogMotion> lines = shakyClip();
  for (int mode = 0; mode <= 5; ++mode) {
    SCOPED_TRACE("edge compensation " + std::to_string(mode));
    data().edgeCompensation = mode;
    plan(lines);
    ASSERT_EQ(data().plannedFrameCount, 21);
    const std::vector<double> expected = expectedZooms(lines);
    for (int i = 0; i < 21; ++i) EXPECT_NEAR(zoomOf(i), expected[i], 1e-7) << "entry " << i;
    // The modes that promise no borders never zoom out beyond the coverage.
    if (mode >= 3) {
      double pan = 0.0;
      for (int i = 1; i < 21; ++i) {
        pan += lines[i - 1].panX;
        EXPECT_LE(zoomOf(i), coverageForPan(-pan) + 1e-7) << "entry " << i;
      }
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
    EXPECT_EQ(data().framePlans[i].transform[2], 1LL << 26) << "entry " << i;
    EXPECT_EQ(data().framePlans[i].transform[5], 1LL << 26) << "entry " << i;
    // The border is left uncovered: the origin moves by the correction.
    EXPECT_EQ(data().framePlans[i].transform[0], static_cast<std::int64_t>(-pan * kOne));
    EXPECT_EQ(data().framePlans[i].transform[1], 0);
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

  const double first = coverageForPan(-32);
  EXPECT_NEAR(first, 0.9 * 479 / 480, 0.0015);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(zoomOf(i), first, 1e-7) << "entry " << i;
  const double second = coverageForPan(0);
  EXPECT_GT(second, 0.99);
  for (int i = 12; i < 21; ++i) EXPECT_NEAR(zoomOf(i), second, 1e-7) << "entry " << i;
}

TEST_F(PlannerTest, AdaptiveZoomOnlyLeavesTheCameraZoomAlone) {
  std::vector<RLogMotion> lines(16);
  for (int i = 0; i < 16; ++i) lines[i].zoom = i % 2 ? 1.03 : 0.97;

  // Only the coverage counts: no correction, so every entry gets the
  // coverage of an uncorrected frame, whatever the camera's zoom did.
  data().edgeCompensation = 2;
  plan(lines);
  const double uncorrected = coverageForPan(0);
  for (int i = 0; i < 17; ++i) EXPECT_NEAR(zoomOf(i), uncorrected, 5e-4) << "entry " << i;

  // The plain adaptive zoom also smooths the camera's zoom wobble.
  data().edgeCompensation = 1;
  plan(lines);
  EXPECT_GT(std::fabs(zoomOf(8) / zoomOf(9) - 1.0), 0.02);
}

TEST_F(PlannerTest, ExtraZoomMagnifiesEveryFrame) {
  const std::vector<RLogMotion> lines = shakyClip();
  for (int mode : {0, 1, 3}) {
    SCOPED_TRACE("edge compensation " + std::to_string(mode));
    data().edgeCompensation = mode;
    data().extraZoom = 1.0;
    plan(lines);
    std::vector<RMap> plain(21);
    for (int i = 0; i < 21; ++i) std::copy_n(data().framePlans[i].transform, 6, plain[i].c);

    data().extraZoom = 2.0;
    plan(lines);
    for (int i = 0; i < 21; ++i) {
      for (int k = 2; k < 6; ++k) {
        EXPECT_NEAR(data().framePlans[i].transform[k], plain[i].c[k] / 2.0, 1.0)
            << "entry " << i << " c" << k;
      }
    }
  }
}

TEST_F(PlannerTest, NeighbourMapsLinkEachEntryToItsNeighbours) {
  data().usePreviousFrames = 1;
  data().useFutureFrames = 1;
  const std::vector<RLogMotion> lines = {{3, -2, 0, 1}, {-1.5, 0.5, 2.5, 1.04}, {0, 0, 0, 1}};
  plan(lines);
  ASSERT_EQ(data().plannedFrameCount, 4);
  const RFramePlan* p = data().framePlans;

  // Entry 0 has no motion; entry 1 is a pure pan.
  expectMap(p[0].toPrevious, {0, 0, 1 << 26, 0, 0, 1 << 26});
  expectMap(p[1].toPrevious, {3 << 26, 2 << 26, 1 << 26, 0, 0, 1 << 26});
  expectMap(p[0].toNext, {-(3LL << 26), -(2LL << 26), 1 << 26, 0, 0, 1 << 26});
  // Entry 2 with the map of its own logged motion, not the cumulative one.
  const RLogMotion& m = lines[1];
  const double zoom = std::exp(std::log(m.zoom));
  expectMap(p[2].toPrevious, mapping(MappingDirection::kForward, m.rotation, zoom, m.panX, m.panY,
                                     1, data().resampling));
  expectMap(p[1].toNext, mapping(MappingDirection::kInverse, m.rotation, zoom, m.panX, m.panY, 1,
                                 data().resampling));
  // No edge sets without top-edge values.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p[i].previousTopEdge, nullptr);
    EXPECT_EQ(p[i].previousBottomEdge, nullptr);
    EXPECT_EQ(p[i].nextTopEdge, nullptr);
    EXPECT_EQ(p[i].nextBottomEdge, nullptr);
    EXPECT_EQ(p[i].ownSkewPlus, nullptr);
    EXPECT_EQ(p[i].ownSkewMinus, nullptr);
    EXPECT_EQ(p[i].frameBitmap, nullptr);
    EXPECT_EQ(p[i].currentRowTable, nullptr);
  }
}

void expectEdgeSet(const REdgeSet* set, double panX, double panY, double rotation, double zoom) {
  ASSERT_NE(set, nullptr);
  EXPECT_NEAR(set->panX, panX, 1e-12);
  EXPECT_NEAR(set->panY, panY, 1e-12);
  EXPECT_NEAR(set->rotation, rotation, 1e-12);
  EXPECT_NEAR(set->zoom, zoom, 1e-12);
}

class RollingShutterPlanTest : public PlannerTest {
 protected:
  RollingShutterPlanTest() {
    data().rollingShutter = 1;
    data().rollingShutterAmount = 88.0;
  }
  // Line 1 and 3 with top-edge sets, line 2 with only part of one.
  void planLog() {
    planText(logLineWithTopEdge(1, 2.0, -1.0, 0.1, 1.01, 1.5, -0.5, 0.05, 1.005) +
             "      2\t   1.00\t   1.00\t  0.000\t1.00000\t   0.50\t   0.50\r\n" +
             logLineWithTopEdge(3, -4.0, 2.0, -0.2, 0.99, -3.0, 1.25, -0.125, 0.995));
    ASSERT_EQ(data().plannedFrameCount, 4);
  }
};

TEST_F(RollingShutterPlanTest, EdgeSetsComeFromTheTopEdgeAndItsMirror) {
  data().usePreviousFrames = 1;
  data().useFutureFrames = 1;
  planLog();
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
  // Entries without a complete top edge fall back to the affine maps.
  EXPECT_EQ(p[0].previousTopEdge, nullptr);
  EXPECT_EQ(p[2].previousTopEdge, nullptr);
  EXPECT_EQ(p[2].previousBottomEdge, nullptr);
  EXPECT_EQ(p[1].nextTopEdge, nullptr);
  EXPECT_EQ(p[1].nextBottomEdge, nullptr);
  expectMap(p[2].toPrevious, {1 << 26, -(1LL << 26), 1 << 26, 0, 0, 1 << 26});
  expectMap(p[1].toNext, {-(1LL << 26), 1 << 26, 1 << 26, 0, 0, 1 << 26});
  // Nothing follows the last entry.
  EXPECT_EQ(p[3].nextTopEdge, nullptr);
  EXPECT_EQ(p[3].nextBottomEdge, nullptr);
}

TEST_F(RollingShutterPlanTest, EachEntryGetsTheSkewOfTheNextTopEdge) {
  planLog();
  const RFramePlan* p = data().framePlans;
  const double a = 88.0;
  expectEdgeSet(p[0].ownSkewPlus, 1.5 * a / 200, -0.5 * a / 200, 0.05 * a / 200,
                std::exp(std::log(1.005) * a / 200));
  expectEdgeSet(p[0].ownSkewMinus, -1.5 * a / 200, 0.5 * a / 200, -0.05 * a / 200,
                std::exp(-std::log(1.005) * a / 200));
  expectEdgeSet(p[2].ownSkewPlus, -3.0 * a / 200, 1.25 * a / 200, -0.125 * a / 200,
                std::exp(std::log(0.995) * a / 200));
  EXPECT_EQ(p[1].ownSkewPlus, nullptr);  // line 2's top edge is incomplete
  EXPECT_EQ(p[1].ownSkewMinus, nullptr);
  EXPECT_EQ(p[3].ownSkewPlus, nullptr);
  EXPECT_EQ(p[3].ownSkewMinus, nullptr);
  // Without previous and future frames there are no neighbour sets.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p[i].previousTopEdge, nullptr);
    EXPECT_EQ(p[i].previousBottomEdge, nullptr);
    EXPECT_EQ(p[i].nextTopEdge, nullptr);
    EXPECT_EQ(p[i].nextBottomEdge, nullptr);
  }
}

TEST_F(PlannerTest, InterlacedLogsArePlannedPerField) {
  data().interlaced = 1;
  data().edgeCompensation = 0;
  std::string log;
  for (int frame = 1; frame <= 3; ++frame) {
    for (char field : {'A', 'B'}) {
      char line[80];
      std::snprintf(line, sizeof line, "%6i%c\t   0.00\t   0.00\t  0.000\t1.00000\r\n", frame,
                    field);
      log += line;
    }
  }
  // Field output: a destination field row is a source field row.
  paramProc(&instance_.fa(), nullptr);
  planText(log);
  ASSERT_EQ(data().plannedFrameCount, 7);
  EXPECT_EQ(data().logBaseFrame, 1);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(data().framePlans[i].transform[1], 0) << "entry " << i;
    EXPECT_EQ(data().framePlans[i].transform[5], 1LL << 26) << "entry " << i;
  }

  // Progressive output: a destination row is one frame line, half a field
  // row, and the odd field's lines lie one frame line higher.
  data().interlacedProgressive = 1;
  instance_.setSourceSize(640, 480);
  paramProc(&instance_.fa(), nullptr);
  planText(log);
  ASSERT_EQ(data().plannedFrameCount, 7);
  for (int i = 0; i < 7; ++i) {
    const std::int64_t field = i % 2;  // upperFieldFirst is 0
    EXPECT_EQ(data().framePlans[i].transform[5], 1LL << 25) << "entry " << i;
    EXPECT_EQ(data().framePlans[i].transform[1], -(1LL << 24) - field * (1LL << 25))
        << "entry " << i;
  }
}

TEST(DegenerateFrameTest, AOnePixelHighFrameDoesNotStallPlanning) {
  // The coverage of a destination one pixel high is 0, whose logarithm no
  // smoothing can settle. The start callback must still come back soon.
  CScratchFolder folder;
  std::string log;
  for (int i = 1; i <= 200; ++i) log += logLine(i, i % 2 ? 1.0 : -1.0, 0.0, 0.0, 1.0);
  EXPECT_EXIT(
      {
        alarm(2);
        CRecordingMessageBoxes boxes(platform::MessageBoxAnswer::kNo);
        CFilterInstance instance;
        instance.setSourceSize(64, 1);
        instance.data().pass = 2;
        *instance.data().logFilePath = folder.path("run.log");
        writeTextFile(*instance.data().logFilePath, log);
        startProc(&instance.fa(), nullptr);
        endProc(&instance.fa(), nullptr);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
