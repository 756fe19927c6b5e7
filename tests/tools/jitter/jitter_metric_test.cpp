#include "tools/jitter/jitter_metric.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/planning_fixtures.h"

namespace {

std::string logOf(const std::vector<double>& panX, int newSceneAt = -1) {
  std::string text;
  for (int i = 0; i < static_cast<int>(panX.size()); ++i) {
    text += testing_support::logLine(i + 1, panX[i], 0, 0, 1, i == newSceneAt);
  }
  return text;
}

TEST(JitterMetricTest, SteadyAccelerationIsNotShake) {
  // A pan that speeds up by 0.05 px per frame: the path is a parabola.
  std::vector<double> motion;
  for (int i = 0; i < 80; ++i) motion.push_back(3.0 + 0.05 * i);
  const auto entries = qvjitter::parseLog(logOf(motion));
  ASSERT_EQ(entries.size(), 80u);
  EXPECT_LT(qvjitter::measureJitter(entries).panX, 1e-3);
  // The plain average lags by a[m(m+1)/3] = 0.025 * 10 px on the parabola.
  EXPECT_NEAR(qvjitter::measureJitter(entries, 5, qvjitter::Average::kPlain).panX, 0.25, 0.01);
}

TEST(JitterMetricTest, AlternatingShakeIsMeasuredAndScenesAreSeparate) {
  // +2, -2, +2, ...: the path zig-zags between 0 and 2 around its mean of 1.
  std::vector<double> motion;
  for (int i = 0; i < 60; ++i) motion.push_back(i % 2 ? -2.0 : 2.0);
  const qvjitter::RJitter shaky = qvjitter::measureJitter(qvjitter::parseLog(logOf(motion)));
  EXPECT_NEAR(shaky.panX, 1.0, 0.15);
  EXPECT_EQ(shaky.rotation, 0.0);
  // A scene start begins a new path: the frames near it take no part.
  const qvjitter::RJitter split = qvjitter::measureJitter(qvjitter::parseLog(logOf(motion, 30)));
  EXPECT_EQ(split.frames, shaky.frames - 10);
}

}  // namespace
