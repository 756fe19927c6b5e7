// Pass 1 then pass 2 on generated shaky clips: the output must keep little
// of the input's high-frequency shake.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "plugin/common/module_state.h"
#include "tests/support/kernel_sets.h"
#include "tests/support/pass1_runner.h"
#include "tests/support/pass2_runner.h"
#include "tools/clipgen/command_line.h"
#include "tools/jitter/jitter_metric.h"

namespace {

struct RStabilizationCase {
  const char* variant;
  int frames;
};

class StabilizationTest : public ::testing::TestWithParam<RStabilizationCase> {};

TEST_P(StabilizationTest, OutputKeepsLittleOfTheShake) {
  const RStabilizationCase& c = GetParam();
  qvclip::RClipSettings settings;
  ASSERT_TRUE(qvclip::variantSettings(c.variant, 320, 240, c.frames, &settings));
  const qvclip::CClipGenerator generator(settings);
  const std::string log = testing_support::runPass1(generator);
  const std::vector<qvclip::RFrame> output = testing_support::runPass2(generator, log);
  ASSERT_EQ(output.size(), static_cast<std::size_t>(c.frames));
  const std::string outputLog = testing_support::runPass1OnFrames(output);

  const qvjitter::RJitter before = qvjitter::measureJitter(qvjitter::parseLog(log));
  const qvjitter::RJitter after = qvjitter::measureJitter(qvjitter::parseLog(outputLog));
  std::printf(
      "%-8s jitter before/after: pan x %.3f/%.3f px, pan y %.3f/%.3f px, rotation %.4f/%.4f deg\n",
      c.variant, before.panX, after.panX, before.panY, after.panY, before.rotation, after.rotation);
  // At most a fifth of the shake is left, above a floor that is the
  // analysis's own noise on 320 x 240 pictures (measuring the output adds
  // it); a clip without shake stays still.
  EXPECT_LE(after.panX, 0.1 + 0.2 * before.panX);
  EXPECT_LE(after.panY, 0.1 + 0.2 * before.panY);
  EXPECT_LE(after.rotation, 0.02 + 0.2 * before.rotation);
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, StabilizationTest,
                         ::testing::Values(RStabilizationCase{"shaky", 40},
                                           RStabilizationCase{"static", 24},
                                           RStabilizationCase{"patches", 40},
                                           RStabilizationCase{"rolling", 40}),
                         [](const auto& info) { return std::string(info.param.variant); });

// Pass 2 over the generated clip of every variant, with the resampling modes
// and border settings taking turns: every vector set on 1, 2 and 4 threads
// renders the plain kernels' frames byte for byte.
TEST(StabilizationKernelsTest, FramesOfEveryClipEqualThePlainKernels) {
  const int savedProcessors = module_state::processorCount;
  int turn = 0;
  for (const std::string& variant : qvclip::variantNames()) {
    qvclip::RClipSettings settings;
    ASSERT_TRUE(qvclip::variantSettings(variant, 192, 144, 8, &settings));
    const qvclip::CClipGenerator generator(settings);
    const std::string log = testing_support::runPass1(generator);
    const int resampling = turn % 3, borders = turn / 3 % 3;
    ++turn;
    auto framesOf = [&](platform::KernelSet set, int processors) {
      testing_support::CKernelSetScope scope(set);
      const auto configure = [&](InstanceData& d) {
        d.resampling = resampling;
        d.usePreviousFrames = d.useFutureFrames = d.extrapolateColors = borders > 0;
        d.previousFrames = d.futureFrames = 3;
        d.softBorders = borders == 2;
        d.edgeTransitionWidth = 4;
        // After the instance's start, which reads the count from the environment.
        module_state::processorCount = processors;
      };
      return testing_support::runPass2(generator, log, configure, 3);
    };
    const std::vector<qvclip::RFrame> plain = framesOf(platform::KernelSet::kPlain, 1);
    ASSERT_FALSE(plain.empty()) << variant;
    for (platform::KernelSet set : testing_support::vectorKernelSets()) {
      for (int processors : {1, 2, 4}) {
        const std::vector<qvclip::RFrame> fast = framesOf(set, processors);
        ASSERT_EQ(fast.size(), plain.size());
        for (std::size_t f = 0; f < plain.size(); ++f) {
          EXPECT_EQ(fast[f].pixels, plain[f].pixels)
              << variant << " frame " << f << " " << platform::kernelSetName(set) << " "
              << processors;
        }
      }
    }
  }
  module_state::processorCount = savedProcessors;
}

}  // namespace
