#include "analysis/analysis_threads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plugin/common/module_state.h"
#include "tests/support/pass1_runner.h"
#include "tests/support/synthetic_frames.h"

namespace {

using testing_support::CSmoothTexture;

// Pass 1 on several threads logs what it logs on one, byte for byte.
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
    return run.logText();
  };
  const std::string one = runWith(1);
  const std::string four = runWith(4);
  module_state::processorCount = saved;
  EXPECT_EQ(testing_support::parseLoggedLines(one).size(), 3u);
  EXPECT_EQ(one, four);
}

}  // namespace
