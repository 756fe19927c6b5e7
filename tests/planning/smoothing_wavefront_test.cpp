// The overlapped sweeps must give the plain sweeps' smoothed path bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "planning/motion_smoothing.h"

namespace {

std::vector<double> smooth(const std::vector<double>& t, const std::vector<int>& scenes,
                           double weight, double limit, double tolerance, int pin, bool plain) {
  setPlainSweeps(plain);
  std::vector<double> x(t.size());
  EXPECT_EQ(smoothWithLimit(static_cast<int>(t.size()), t.data(), x.data(), weight, limit,
                            tolerance, pin, scenes.data()),
            1);
  setPlainSweeps(false);
  return x;
}

TEST(SmoothingWavefrontTest, OverlappedSweepsEqualThePlainOnes) {
  std::mt19937 random(17);
  std::normal_distribution<double> step(0.3, 2.0);
  std::bernoulli_distribution cut(0.01);
  for (int trial = 0; trial < 24; ++trial) {
    // Lengths around the group size and well beyond; paths with and without
    // scene starts; tolerances that stop at different points of a group.
    const int n = trial < 6 ? 3 + trial : 50 + trial * 37;
    std::vector<double> t(static_cast<std::size_t>(n));
    std::vector<int> scenes(t.size(), 0);
    double position = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
      position += step(random);
      t[i] = position;
      scenes[i] = i > 0 && cut(random);
    }
    const double weight = smoothnessWeight(trial % 3 == 0 ? 40 : 400);
    const double limit = trial % 2 ? 3.0 : 1000.0;
    const double tolerance = trial % 4 == 0 ? 0.00001 : 0.01;
    const int pin = trial % 5 == 0 ? 0 : 1;
    const std::vector<double> plain = smooth(t, scenes, weight, limit, tolerance, pin, true);
    const std::vector<double> fast = smooth(t, scenes, weight, limit, tolerance, pin, false);
    ASSERT_EQ(std::memcmp(plain.data(), fast.data(), plain.size() * sizeof(double)), 0)
        << "trial " << trial << " n " << n;
  }
}

}  // namespace
