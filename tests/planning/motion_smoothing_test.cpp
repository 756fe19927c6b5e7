#include "planning/motion_smoothing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "tests/support/planning_fixtures.h"

namespace {

std::vector<double> jitteryPath(int n, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> jitter(0.0, 3.0);
  std::vector<double> t(static_cast<std::size_t>(n));
  double position = 0.0;
  for (double& value : t) {
    position += 0.8 + jitter(random);
    value = position;
  }
  return t;
}

double largestDeviation(const std::vector<double>& t, const std::vector<double>& x) {
  double largest = 0.0;
  for (std::size_t i = 0; i < t.size(); ++i) largest = std::max(largest, std::fabs(t[i] - x[i]));
  return largest;
}

int smooth(const std::vector<double>& t, std::vector<double>& x, double weight, double limit,
           double tolerance, int pin, const std::vector<int>* scenes = nullptr) {
  x.assign(t.size(), 12345.0);  // the solver starts from zero whatever x held
  return smoothWithLimit(static_cast<int>(t.size()), t.data(), x.data(), weight, limit, tolerance,
                         pin, scenes != nullptr ? scenes->data() : nullptr);
}

// A negative smoothness holds the path at its origin, zero leaves it as it
// is, whatever the limit and the pinning.
TEST(MotionSmoothingTest, SmoothnessBelowOneHoldsOrLeavesThePath) {
  const std::vector<double> t = jitteryPath(40, 1);
  std::vector<double> x;
  for (int pin : {0, 1}) {
    for (double limit : {0.001, 1e9}) {
      ASSERT_EQ(smooth(t, x, smoothnessWeight(-1), limit, 0.01, pin), 1);
      EXPECT_EQ(x, std::vector<double>(t.size(), 0.0));
      ASSERT_EQ(smooth(t, x, smoothnessWeight(0), limit, 0.01, pin), 1);
      EXPECT_EQ(x, t);
    }
  }
}

TEST(MotionSmoothingTest, ReweightingKeepsEveryCorrectionWithinTheLimit) {
  // Three entries, both ends pinned, weight 2: x1 = (2 * 1 + 0 + 0) / 4 =
  // 0.5 exactly, so entry 1 is corrected by exactly 0.5, which is no excess.
  std::vector<double> x;
  ASSERT_EQ(smooth({0.0, 1.0, 0.0}, x, smoothnessWeight(5), 0.5, 1e-12, 1), 1);
  EXPECT_EQ(x[1], 0.5);
  // Just below, the entry is beyond the limit and its weight grows until it
  // no longer is.
  ASSERT_EQ(smooth({0.0, 1.0, 0.0}, x, smoothnessWeight(5), 0.49, 1e-12, 1), 1);
  EXPECT_GT(x[1], 0.5);
  EXPECT_LE(1.0 - x[1], 0.49);

  const std::vector<double> t = jitteryPath(200, 3);
  ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 1e9, 0.01, 1), 1);
  ASSERT_GT(largestDeviation(t, x), 3.0);  // unlimited, corrections are large

  ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 3.0, 0.01, 1), 1);
  EXPECT_LE(largestDeviation(t, x), 3.0);
  EXPECT_EQ(x.front(), t.front());
  EXPECT_EQ(x.back(), t.back());
}

TEST(MotionSmoothingTest, ASceneStartPinsThePathOnBothSides) {
  std::vector<double> t = jitteryPath(60, 5);
  for (std::size_t i = 30; i < t.size(); ++i) t[i] += 100.0;  // the cut
  std::vector<int> scenes(t.size(), 0);
  scenes[30] = 1;

  std::vector<double> x;
  ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 1e9, 0.01, 1, &scenes), 1);
  EXPECT_EQ(x[29], t[29]);
  EXPECT_EQ(x[30], t[30]);
  EXPECT_EQ(x.front(), t.front());
  EXPECT_EQ(x.back(), t.back());
  EXPECT_NE(x[28], t[28]);
  EXPECT_NE(x[31], t[31]);

  // Without pinning the scene starts are not used.
  ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 1e9, 0.01, 0, &scenes), 1);
  EXPECT_GT(std::fabs(x[29] - t[29]), 1.0);
  EXPECT_GT(std::fabs(x[30] - t[30]), 1.0);
}

TEST(MotionSmoothingTest, ANegativeLimitDoesNotStallTheSolver) {
  // A limit below zero (a maximum correction typed into a settings string
  // outside the dialog's range) is exceeded by every entry forever. The
  // host's thread must come back within bounded time, with whatever result.
  const std::vector<double> t = jitteryPath(500, 6);
  testing_support::expectReturnsWithinTwoSeconds([&] {
    std::vector<double> x;
    smooth(t, x, smoothnessWeight(400), -1.0, 0.01, 1);
  });
}

// The overlapped sweeps give the plain sweeps' smoothed path bit for bit:
// lengths around the group size and well beyond, paths with and without
// scene starts, tolerances that stop at different points of a group.
TEST(SmoothingWavefrontTest, OverlappedSweepsEqualThePlainOnes) {
  std::mt19937 random(17);
  std::bernoulli_distribution cut(0.01);
  for (int trial = 0; trial < 24; ++trial) {
    const int n = trial < 6 ? 3 + trial : 50 + trial * 37;
    const std::vector<double> t = jitteryPath(n, static_cast<unsigned>(trial));
    std::vector<int> scenes(t.size(), 0);
    for (std::size_t i = 1; i < t.size(); ++i) scenes[i] = cut(random);
    const double weight = smoothnessWeight(trial % 3 == 0 ? 40 : 400);
    const double limit = trial % 2 ? 3.0 : 1000.0;
    const double tolerance = trial % 4 == 0 ? 0.00001 : 0.01;
    const int pin = trial % 5 == 0 ? 0 : 1;
    std::vector<double> plain, fast;
    setPlainSweeps(true);
    EXPECT_EQ(smooth(t, plain, weight, limit, tolerance, pin, &scenes), 1);
    setPlainSweeps(false);
    EXPECT_EQ(smooth(t, fast, weight, limit, tolerance, pin, &scenes), 1);
    ASSERT_EQ(std::memcmp(plain.data(), fast.data(), plain.size() * sizeof(double)), 0)
        << "trial " << trial << " n " << n;
  }
}

}  // namespace
