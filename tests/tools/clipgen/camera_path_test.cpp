#include "tools/clipgen/camera_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tools/clipgen/seeded_random.h"

namespace {

using qvclip::RMotion;
using qvclip::RPose;

constexpr double kDegree = std::numbers::pi / 180.0;

// Where the content at pixel-edge position (x, y) of `current` lay in `previous`.
void previousPosition(const RPose& previous, const RPose& current, int width, int height, double x,
                      double y, double* px, double* py) {
  double planeX, planeY;
  qvclip::frameToPlane(current, width, height, x, y, &planeX, &planeY);
  qvclip::planeToFrame(previous, width, height, planeX, planeY, px, py);
}

TEST(CameraPathTest, MotionBetweenPosesIsTheExactDisplacementOfEveryPoint) {
  qvclip::CSeededRandom random(42);
  const int width = 640, height = 480;
  for (int trial = 0; trial < 200; ++trial) {
    RPose previous{random.uniform(-1000, 1000), random.uniform(-1000, 1000),
                   random.uniform(-3.0, 3.0), random.uniform(0.5, 2.0)};
    RPose current{
        previous.centreX + random.uniform(-20, 20), previous.centreY + random.uniform(-20, 20),
        previous.angle + random.uniform(-0.2, 0.2), previous.scale * random.uniform(0.9, 1.1)};
    const RMotion m = qvclip::motionBetween(previous, current);
    EXPECT_NEAR(m.r, m.zoom * std::sin(m.rotation * kDegree), 1e-12);
    EXPECT_NEAR(1.0 + m.z, m.zoom * std::cos(m.rotation * kDegree), 1e-12);
    for (int point = 0; point < 10; ++point) {
      const double x = random.uniform(-100, width + 100), y = random.uniform(-100, height + 100);
      const double h = x - width / 2.0, v = height / 2.0 - y;
      double px, py;
      previousPosition(previous, current, width, height, x, y, &px, &py);
      EXPECT_NEAR(px - x, m.panX + m.r * v + m.z * h, 1e-8);
      EXPECT_NEAR(py - y, m.panY + m.r * h - m.z * v, 1e-8);
    }
  }
}

}  // namespace
