#include "analysis/analysis_threads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "plugin/common/instance_data.h"
#include "plugin/common/module_state.h"
#include "plugin/common/video_image.h"
#include "tests/support/filter_instance.h"
#include "tests/support/pass1_runner.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CSmoothTexture;
using testing_support::fillAnalysedImage;

class AnalysisThreadsTest : public ::testing::Test {
 protected:
  AnalysisThreadsTest() : data_(instance_.data()) {}
  testing_support::CFilterInstance instance_;
  InstanceData& data_;
};

TEST_F(AnalysisThreadsTest, MatchedLevelIsBitIdenticalForOneAndFourThreads) {
  CSmoothTexture texture(12, 6.0);
  CVideoImage current, previous;
  fillAnalysedImage(current, 160, 120, 1,
                    [&](int x, int y) { return texture.sample(x + 0.5, y + 0.5); });
  fillAnalysedImage(previous, 160, 120, 1,
                    [&](int x, int y) { return texture.sample(x - 2.3 + 0.5, y + 1.4 + 0.5); });
  data_.scale = 0;
  const std::vector<double> coarseDx = {1.1, 1.2, 1.0, 1.15, 1.1, 1.2};
  const std::vector<double> coarseDy = {-0.7, -0.6, -0.75, -0.7, -0.65, -0.7};
  auto run = [&](int threads) {
    std::vector<double> dx(20, 0.0), dy(20, 0.0);
    RAnalysisJob job;
    job.level = RLevelJob{&data_,    &current,        &previous,      0, 5, 4, 3, 2, dx.data(),
                          dy.data(), coarseDx.data(), coarseDy.data()};
    runAnalysisLevel(job, threads);
    std::vector<double> both = dx;
    both.insert(both.end(), dy.begin(), dy.end());
    return both;
  };
  const std::vector<double> one = run(1);
  const std::vector<double> four = run(4);
  ASSERT_EQ(one.size(), four.size());
  EXPECT_EQ(std::memcmp(one.data(), four.data(), one.size() * sizeof(double)), 0);
  int found = 0;
  for (std::size_t i = 0; i < 20; ++i) {
    if (one[i] == MISSING_VALUE) continue;
    ++found;
    EXPECT_NEAR(one[i], 2.3, 0.2);
    EXPECT_NEAR(one[i + 20], -1.4, 0.2);
  }
  EXPECT_GE(found, 16);
}

TEST(AnalysisThreadsRunTest, WholeRunLogsTheSameWithOneOrFourProcessors) {
  const int saved = module_state::processorCount;
  CSmoothTexture texture(2);
  auto runWith = [&](int processors) {
    testing_support::CPass1Run run(160, 120);
    run.start();
    module_state::processorCount = processors;
    for (long f = 0; f < 4; ++f) {
      run.frame(f, [&](double x, double y) {
        const double t = f * 0.03;  // turning and drifting
        return texture.sample(x * std::cos(t) + y * std::sin(t) + 1.7 * f,
                              -x * std::sin(t) + y * std::cos(t) - 0.6 * f);
      });
    }
    run.end();
    return run.logText();
  };
  const std::string one = runWith(1);
  const std::string four = runWith(4);
  module_state::processorCount = saved;
  EXPECT_EQ(testing_support::parseLoggedLines(one).size(), 3u);
  EXPECT_EQ(one, four);
}

}  // namespace
