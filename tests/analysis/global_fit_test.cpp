#include "analysis/global_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "analysis/block_matching.h"
#include "plugin/common/instance_data.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Where the content of a current block centre lay in the previous frame, both
// relative to the frame centre: h to the right, v upwards, v in units of
// horizontal pixels.
using CPreviousPosition = std::function<std::pair<double, double>(double h, double v)>;

class GlobalFitTest : public ::testing::Test {
 protected:
  GlobalFitTest() : data_(instance_.data()) { data_.videoOutput = 0; }
  ~GlobalFitTest() override { endProc(&instance_.fa(), nullptr); }

  // Block tables as the pass-1 start makes them, for a progressive frame.
  void prepare(int width, int height) {
    width_ = width;
    height_ = height;
    columns_ = width / data_.blockSize;
    rows_ = height / data_.blockSize;
    startPass1(data_, width, height);
    dx_.assign(static_cast<std::size_t>(count()), MISSING_VALUE);
    dy_.assign(static_cast<std::size_t>(count()), MISSING_VALUE);
  }

  int count() const { return columns_ * rows_; }

  // Block centre relative to the frame centre, in the fit's units.
  std::pair<double, double> offsets(int block) const {
    const int bs = data_.blockSize;
    const double x = (block % columns_) * bs + bs * 0.5;
    const double y = (block / columns_) * bs + bs * 0.5;
    return {x - width_ * 0.5, (height_ * 0.5 - y) / data_.sourcePixelAspect};
  }

  // The start callback goes through polar form, which leaves rounding in
  // the offsets; fits that must come out exact get the exact values.
  void useExactOffsets() {
    for (int i = 0; i < count(); ++i) {
      (*data_.blockOffsetHorizontal)[static_cast<std::size_t>(i)] = offsets(i).first;
      (*data_.blockOffsetVertical)[static_cast<std::size_t>(i)] = offsets(i).second;
    }
  }

  // Vectors in image pixels (y down) of a motion given geometrically.
  void setVector(int block, const CPreviousPosition& previousOf) {
    const auto [h, v] = offsets(block);
    const auto [ph, pv] = previousOf(h, v);
    dx_[static_cast<std::size_t>(block)] = ph - h;
    dy_[static_cast<std::size_t>(block)] = -(pv - v) * data_.sourcePixelAspect;
  }
  void setField(const CPreviousPosition& previousOf) {
    for (int i = 0; i < count(); ++i) setVector(i, previousOf);
  }
  void setPan(int block, double panX, double panY) {
    dx_[static_cast<std::size_t>(block)] = panX;
    dy_[static_cast<std::size_t>(block)] = panY * data_.sourcePixelAspect;
  }

  RFrameMotion fit(int fieldLineOffset = 0) {
    return fitFrameMotion(data_, RFitGrid{columns_, rows_, width_, height_, fieldLineOffset},
                          dx_.data(), dy_.data(), okFlags_);
  }

  int flagged() const {
    int n = 0;
    for (int flag : okFlags_) n += flag != 0;
    return n;
  }

  testing_support::CFilterInstance instance_;
  InstanceData& data_;
  int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
  std::vector<double> dx_, dy_;
  std::vector<int> okFlags_;
};

// Pan (px, py), then scale f and a clockwise turn by `degrees` (v upwards):
// the motion of the model with r = f sin θ and z = f cos θ - 1.
CPreviousPosition similarity(double f, double degrees, double px, double py) {
  const double t = degrees * kPi / 180;
  return [=](double h, double v) {
    return std::pair{f * (h * std::cos(t) + v * std::sin(t)) + px,
                     f * (-h * std::sin(t) + v * std::cos(t)) - py};
  };
}

void expectMotion(const RGlobalMotionInfo& m, double panX, double panY, double rotation,
                  double zoom, double tolerance = 1e-9) {
  EXPECT_NEAR(m.panX, panX, tolerance);
  EXPECT_NEAR(m.panY, panY, tolerance);
  EXPECT_NEAR(m.rotation, rotation, tolerance);
  EXPECT_NEAR(m.zoom, zoom, tolerance);
}

// ---------------------------------------------------------------------------
// The model.

TEST_F(GlobalFitTest, PurePanHasNoRotationAndUnitZoom) {
  for (double aspect : {1.0, 1.5}) {
    data_.sourcePixelAspect = aspect;
    prepare(240, 180);
    // 2.5 pixels right, 1.5 pixel rows up: pan y is in horizontal pixels.
    for (int i = 0; i < count(); ++i) {
      dx_[static_cast<std::size_t>(i)] = 2.5;
      dy_[static_cast<std::size_t>(i)] = -1.5;
    }
    const RFrameMotion m = fit();
    expectMotion(m.whole, 2.5, -1.5 / aspect, 0.0, 1.0);
    EXPECT_EQ(m.newScene, 0);
    EXPECT_EQ(m.okCount, count());
    EXPECT_DOUBLE_EQ(m.okPercent, 100.0);
    EXPECT_FALSE(m.deepAnalysisRan);
    EXPECT_EQ(flagged(), count());
  }
}

TEST_F(GlobalFitTest, PureZoomGivesItsFactorWithoutRotation) {
  prepare(240, 180);
  for (double f : {1.02, 0.97}) {
    setField([f](double h, double v) { return std::pair{f * h, f * v}; });
    const RFrameMotion m = fit();
    expectMotion(m.whole, 0.0, 0.0, 0.0, f);
  }
}

TEST_F(GlobalFitTest, PureClockwiseRotationIsPositive) {
  data_.sourcePixelAspect = 1.25;
  prepare(240, 180);
  for (double degrees : {2.0, -1.5}) {
    setField(similarity(1.0, degrees, 0.0, 0.0));
    const RFrameMotion m = fit();
    expectMotion(m.whole, 0.0, 0.0, degrees, 1.0);
  }
}

TEST_F(GlobalFitTest, LowerFieldUsesTheSecondHalfOfTheOffsets) {
  // Fields of a 240 x 360 frame; the lower field's block centres lie half a
  // frame line below the upper field's ones.
  data_.interlaced = 1;
  prepare(240, 180);
  ASSERT_EQ(data_.blockOffsetVertical->size(), 2u * count());
  const double f = 1.03;
  for (int i = 0; i < count(); ++i) {
    const int bs = data_.blockSize;
    const double h = (i % columns_) * bs + bs * 0.5 - 120;
    const double frameLine = ((i / columns_) * bs + bs * 0.5) * 2 + 0.5;
    const double v = 180 - frameLine;
    dx_[static_cast<std::size_t>(i)] = (f - 1) * h;
    dy_[static_cast<std::size_t>(i)] = -(f - 1) * v;  // frame lines
  }
  expectMotion(fit(count()).whole, 0.0, 0.0, 0.0, f);
}

// ---------------------------------------------------------------------------
// Discarding and re-admission.

TEST_F(GlobalFitTest, OneOutlierIsDiscardedAndNotReadmitted) {
  prepare(240, 180);
  setField(similarity(1.0, 0.0, 1.5, 0.5));
  dx_[13] += 10.0;
  const RFrameMotion m = fit();
  expectMotion(m.whole, 1.5, 0.5, 0.0, 1.0);
  EXPECT_EQ(okFlags_[13], 0);
  EXPECT_EQ(flagged(), count() - 1);
  EXPECT_EQ(m.okCount, count() - 1);
  EXPECT_DOUBLE_EQ(m.okPercent, (count() - 1) * 100.0 / count());
}

TEST_F(GlobalFitTest, ResidualOfExactlyTheToleranceIsDiscarded) {
  // 8 x 8 blocks placed symmetrically about the centre, pan (1, 2), and four
  // blocks around the centre off by 5 pixels in a pattern the least squares
  // cannot absorb: the first fit is exact, so each of them has a squared
  // residual of exactly 25. The first in block order is discarded; the refit
  // lets the other three fit within 5 again, and the discarded one stays out.
  data_.discardWrongDirection = 5.0;
  prepare(240, 240);
  useExactOffsets();
  auto run = [&] {
    for (int i = 0; i < count(); ++i) setPan(i, 1.0, 2.0);
    dy_[27] += 5;  // (-15, 15)
    dy_[36] -= 5;  // (15, -15)
    dx_[35] -= 5;  // (-15, -15)
    dx_[28] += 5;  // (15, 15)
    return fit();
  };
  run();
  EXPECT_EQ(okFlags_[27], 0);
  EXPECT_EQ(flagged(), count() - 1);

  // A hair more tolerance and nothing is discarded.
  data_.discardWrongDirection = std::nextafter(5.0, 6.0);
  run();
  EXPECT_EQ(flagged(), count());
}

TEST_F(GlobalFitTest, BlocksBeyondTheAbsoluteLimitAreNoCandidates) {
  prepare(240, 180);
  for (int i = 0; i < count(); ++i) setPan(i, 3.0, 4.0);
  data_.discardAbsoluteMotion = 5.0;
  RFrameMotion m = fit();
  EXPECT_EQ(m.newScene, 0);
  EXPECT_EQ(flagged(), count());
  expectMotion(m.whole, 3.0, 4.0, 0.0, 1.0);

  data_.discardAbsoluteMotion = 4.999;
  m = fit();
  EXPECT_EQ(m.newScene, 1);
  EXPECT_EQ(m.okCount, 0);
  EXPECT_EQ(flagged(), 0);
}

// ---------------------------------------------------------------------------
// Remembered areas and new scenes.

TEST_F(GlobalFitTest, FewRememberedBlocksLiftTheMemoryForTheNextFrame) {
  prepare(240, 240);  // 64 blocks
  setField(similarity(1.0, 0.0, 1.0, -1.0));
  dx_[60] = dy_[60] = MISSING_VALUE;
  auto usableOnly = [&](std::initializer_list<int> blocks) {
    std::fill(data_.blockUsable->begin(), data_.blockUsable->end(), 0);
    for (int i : blocks) (*data_.blockUsable)[static_cast<std::size_t>(i)] = 1;
  };

  // Three candidates: every block with a vector gets its flag back, whatever
  // skipFramePercent says; the fit itself still uses only the three.
  data_.skipFramePercent = 0;
  usableOnly({0, 9, 18});
  RFrameMotion m = fit();
  EXPECT_EQ(m.okCount, 3);
  EXPECT_EQ(m.newScene, 0);
  expectMotion(m.whole, 1.0, -1.0, 0.0, 1.0);
  EXPECT_EQ(flagged(), count() - 1);
  EXPECT_EQ(okFlags_[60], 0);

  // Four are enough to keep the memory.
  usableOnly({0, 9, 18, 27});
  m = fit();
  EXPECT_EQ(m.okCount, 4);
  EXPECT_EQ(flagged(), 4);

  // Unless skipFramePercent counts them as too few: 10 % of 64 is 6.
  data_.skipFramePercent = 10;
  usableOnly({0, 9, 18, 27, 36, 45});
  m = fit();
  EXPECT_EQ(m.newScene, 1);
  EXPECT_EQ(flagged(), count() - 1);
  usableOnly({0, 9, 18, 27, 36, 45, 54});
  m = fit();
  EXPECT_EQ(m.newScene, 0);
  EXPECT_EQ(flagged(), 7);
}

TEST_F(GlobalFitTest, NewSceneReportsNeutralMotionButKeepsItsFlags) {
  prepare(240, 240);  // 64 blocks; the default 5 % makes 3 blocks too few
  ASSERT_EQ(data_.skipFramePercent, 5);

  RFrameMotion m = fit();  // no vector at all
  EXPECT_EQ(m.newScene, 1);
  EXPECT_EQ(m.okCount, 0);
  EXPECT_EQ(m.okPercent, 0.0);
  EXPECT_FALSE(m.deepAnalysisRan);
  EXPECT_EQ(flagged(), 0);
  expectMotion(m.whole, 0.0, 0.0, 0.0, 1.0, 0.0);

  for (int i : {3, 20, 41}) setPan(i, 4.0, -3.0);
  m = fit();
  EXPECT_EQ(m.newScene, 1);
  EXPECT_EQ(m.okCount, 3);
  expectMotion(m.whole, 0.0, 0.0, 0.0, 1.0, 0.0);
  EXPECT_EQ(flagged(), 3);
  EXPECT_EQ(okFlags_[20], 1);

  setPan(50, 4.0, -3.0);
  m = fit();
  EXPECT_EQ(m.newScene, 0);
  EXPECT_DOUBLE_EQ(m.okPercent, 6.25);
  expectMotion(m.whole, 4.0, -3.0, 0.0, 1.0);

  // Both edge sets are neutral with a rolling shutter.
  data_.rollingShutter = 1;
  dx_[50] = dy_[50] = MISSING_VALUE;
  m = fit();
  EXPECT_EQ(m.newScene, 1);
  expectMotion(m.whole, 0.0, 0.0, 0.0, 1.0, 0.0);
  expectMotion(m.top, 0.0, 0.0, 0.0, 1.0, 0.0);
  expectMotion(m.bottom, 0.0, 0.0, 0.0, 1.0, 0.0);
}

// ---------------------------------------------------------------------------
// Rolling shutter.

TEST_F(GlobalFitTest, RollingShutterRecoversTheTopAndBottomEdgeSets) {
  data_.rollingShutter = 1;
  data_.deepAnalysisPercent = 100;  // would run on every frame without rolling shutter
  data_.sourcePixelAspect = 1.2;
  prepare(300, 240);
  // Coefficients (px, py, r, z) at the top and the bottom edge; each block
  // row moves with the blend at its centre line.
  const RGlobalMotionInfo top{2.0, -1.0, 0.004, 0.003};
  const RGlobalMotionInfo bottom{-1.0, 1.5, -0.002, 0.001};
  for (int i = 0; i < count(); ++i) {
    const double w = 1 - ((i / columns_ + 0.5) * data_.blockSize) / height_;
    const double px = w * top.panX + (1 - w) * bottom.panX;
    const double py = w * top.panY + (1 - w) * bottom.panY;
    const double r = w * top.rotation + (1 - w) * bottom.rotation;
    const double z = w * top.zoom + (1 - w) * bottom.zoom;
    const auto [h, v] = offsets(i);
    dx_[static_cast<std::size_t>(i)] = px + r * v + z * h;
    dy_[static_cast<std::size_t>(i)] = (py + r * h - z * v) * data_.sourcePixelAspect;
  }
  const RFrameMotion m = fit();
  EXPECT_FALSE(m.deepAnalysisRan);
  EXPECT_EQ(m.okCount, count());
  const RGlobalMotionInfo expectedTop = convertCoefficients(top);
  const RGlobalMotionInfo expectedBottom = convertCoefficients(bottom);
  const RGlobalMotionInfo expectedWhole = convertCoefficients({0.5, 0.25, 0.001, 0.002});
  expectMotion(m.top, expectedTop.panX, expectedTop.panY, expectedTop.rotation, expectedTop.zoom);
  expectMotion(m.bottom, expectedBottom.panX, expectedBottom.panY, expectedBottom.rotation,
               expectedBottom.zoom);
  expectMotion(m.whole, expectedWhole.panX, expectedWhole.panY, expectedWhole.rotation,
               expectedWhole.zoom);
  EXPECT_GT(m.top.rotation, 0.2);
  EXPECT_LT(m.bottom.rotation, -0.1);
}

// ---------------------------------------------------------------------------
// Deep analysis.

TEST_F(GlobalFitTest, DeepAnalysisRunsWhenTheOkShareIsAtMostThePercentage) {
  prepare(240, 240);  // 64 candidates
  setField(similarity(1.0, 0.0, 2.0, 1.0));
  // Four far-off blocks, each discarded: 60 stay.
  dx_[0] += 30;
  dy_[9] -= 25;
  dx_[54] -= 20;
  dy_[63] += 35;
  RFrameMotion m = fit();
  ASSERT_EQ(m.okCount, 60);
  EXPECT_FALSE(m.deepAnalysisRan);  // default 0 %

  data_.deepAnalysisPercent = 93;  // 93 * 64 / 100 = 59
  EXPECT_FALSE(fit().deepAnalysisRan);
  data_.deepAnalysisPercent = 94;  // 94 * 64 / 100 = 60
  m = fit();
  EXPECT_TRUE(m.deepAnalysisRan);
  EXPECT_EQ(m.okCount, 60);
  expectMotion(m.whole, 2.0, 1.0, 0.0, 1.0);

  data_.rollingShutter = 1;
  data_.deepAnalysisPercent = 100;
  EXPECT_FALSE(fit().deepAnalysisRan);
}

TEST_F(GlobalFitTest, DeepAnalysisFindsTheMotionMostBlocksAgreeOn) {
  data_.deepAnalysisPercent = 100;
  prepare(240, 240);
  // Half the blocks follow one motion, the others scatter at least 12
  // pixels away from it.
  const CPreviousPosition motion = similarity(1.01, 0.5, 3.0, -2.0);
  std::mt19937 random(3);
  std::uniform_real_distribution<double> uniform(-25.0, 25.0);
  std::vector<int> agreeing;
  for (int i = 0; i < count(); ++i) {
    setVector(i, motion);
    if ((i / columns_ + i % columns_) % 2 == 0) {
      agreeing.push_back(i);
      continue;
    }
    double ex = 0, ey = 0;
    while (ex * ex + ey * ey < 144) {
      ex = uniform(random);
      ey = uniform(random);
    }
    dx_[static_cast<std::size_t>(i)] += ex;
    dy_[static_cast<std::size_t>(i)] += ey;
  }
  // One agreeing block was discarded in the last frame, so it is no
  // candidate; the deep analysis sets the flags of all blocks, and only the
  // candidates' ones are refitted.
  const int remembered = agreeing.front();
  (*data_.blockUsable)[static_cast<std::size_t>(remembered)] = 0;
  const RFrameMotion m = fit();
  EXPECT_TRUE(m.deepAnalysisRan);
  EXPECT_EQ(m.newScene, 0);
  expectMotion(m.whole, 3.0, -2.0, 0.5, 1.01);
  EXPECT_EQ(m.okCount, static_cast<int>(agreeing.size()) - 1);
  for (int i : agreeing) EXPECT_EQ(okFlags_[static_cast<std::size_t>(i)], 1) << i;
  EXPECT_EQ(flagged(), static_cast<int>(agreeing.size()));

  data_.deepAnalysisPercent = 0;
  fit();
  EXPECT_EQ(okFlags_[static_cast<std::size_t>(remembered)], 0);
}

// ---------------------------------------------------------------------------
// Conversion.

TEST(ConvertCoefficientsTest, ZoomAndRotationFromTheModelCoefficients) {
  expectMotion(convertCoefficients({0, 0, 0, 0}), 0, 0, 0, 1, 0.0);
  expectMotion(convertCoefficients({1.5, -2.5, 0, 0.05}), 1.5, -2.5, 0, 1.05);
  expectMotion(convertCoefficients({0, 0, 0, -0.5}), 0, 0, 0, 0.5);
  for (double degrees : {3.0, -3.0, 30.0, -120.0}) {
    const double t = degrees * kPi / 180;
    expectMotion(convertCoefficients({0, 0, std::sin(t), std::cos(t) - 1}), 0, 0, degrees, 1);
    expectMotion(convertCoefficients({0, 0, 1.2 * std::sin(t), 1.2 * std::cos(t) - 1}), 0, 0,
                 degrees, 1.2);
  }
  // Rounding can push the cosine a hair above 1: no rotation, not NaN.
  const RGlobalMotionInfo tiny = convertCoefficients({0, 0, 1e-12, 0.3});
  EXPECT_FALSE(std::isnan(tiny.rotation));
  EXPECT_NEAR(tiny.rotation, 0.0, 1e-5);
}

}  // namespace
