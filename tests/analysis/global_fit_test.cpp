#include "analysis/global_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "analysis/block_matching.h"
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

  // Vectors in image pixels (y down) of a motion given geometrically.
  void setVector(int block, const CPreviousPosition& previousOf) {
    const auto [h, v] = offsets(block);
    const auto [ph, pv] = previousOf(h, v);
    dx_[static_cast<std::size_t>(block)] = ph - h;
    dy_[static_cast<std::size_t>(block)] = -(pv - v) * data_.sourcePixelAspect;
  }

  RFrameMotion fit(int fieldLineOffset = 0) {
    return fitFrameMotion(data_, RFitGrid{columns_, rows_, width_, height_, fieldLineOffset},
                          dx_.data(), dy_.data(), okFlags_);
  }

  int flagged() const {
    return static_cast<int>(okFlags_.size()) - std::count(okFlags_.begin(), okFlags_.end(), 0);
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

void expectMotion(const RGlobalMotionInfo& m, const RGlobalMotionInfo& expected) {
  EXPECT_NEAR(m.panX, expected.panX, 1e-9);
  EXPECT_NEAR(m.panY, expected.panY, 1e-9);
  EXPECT_NEAR(m.rotation, expected.rotation, 1e-9);
  EXPECT_NEAR(m.zoom, expected.zoom, 1e-9);
}

// Pure motions of the model, with square and wide pixels: pan y in
// horizontal pixels, clockwise rotation positive. One block moved far off
// is discarded and not readmitted.
TEST_F(GlobalFitTest, PureMotionsComeOutExactly) {
  struct RCase {
    double aspect, f, degrees, panX, panY;
    bool outlier = false;
  };
  const RCase cases[] = {{1.0, 1.0, 0.0, 2.5, 1.5},      {1.5, 1.0, 0.0, 2.5, 1.5},
                         {1.0, 1.02, 0.0, 0, 0},         {1.0, 0.97, 0.0, 0, 0},
                         {1.25, 1.0, 2.0, 0, 0},         {1.25, 1.0, -1.5, 0, 0},
                         {1.0, 1.0, 0.0, 1.5, 0.5, true}};
  for (const RCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "aspect " << c.aspect << " zoom " << c.f << " rotation "
                                    << c.degrees << " outlier " << c.outlier);
    data_.sourcePixelAspect = c.aspect;
    prepare(240, 180);
    for (int i = 0; i < count(); ++i) setVector(i, similarity(c.f, c.degrees, c.panX, c.panY));
    if (c.outlier) dx_[13] += 10.0;
    const RFrameMotion m = fit();
    const int ok = count() - (c.outlier ? 1 : 0);
    expectMotion(m.whole, {c.panX, c.panY, c.degrees, c.f});
    EXPECT_EQ(m.newScene, 0);
    EXPECT_EQ(m.okCount, ok);
    EXPECT_DOUBLE_EQ(m.okPercent, ok * 100.0 / count());
    EXPECT_FALSE(m.deepAnalysisRan);
    EXPECT_EQ(flagged(), ok);
    EXPECT_EQ(okFlags_[13], c.outlier ? 0 : 1);
  }
}

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
  expectMotion(m.top, convertCoefficients(top));
  expectMotion(m.bottom, convertCoefficients(bottom));
  expectMotion(m.whole, convertCoefficients({0.5, 0.25, 0.001, 0.002}));
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
  expectMotion(m.whole, {3.0, -2.0, 0.5, 1.01});
  EXPECT_EQ(m.okCount, static_cast<int>(agreeing.size()) - 1);
  for (int i : agreeing) EXPECT_EQ(okFlags_[static_cast<std::size_t>(i)], 1) << i;
  EXPECT_EQ(flagged(), static_cast<int>(agreeing.size()));

  data_.deepAnalysisPercent = 0;
  fit();
  EXPECT_EQ(okFlags_[static_cast<std::size_t>(remembered)], 0);
}

}  // namespace
