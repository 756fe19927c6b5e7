#include "planning/pass2_startup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "planning/end_of_processing.h"
#include "planning/frame_plan.h"
#include "platform/file_io.h"
#include "plugin/start_callback.h"
#include "tests/support/filter_instance.h"

namespace {

using testing_support::CFilterInstance;

std::string shakyLog(int frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> jitter(0.0, 2.0);
  std::string text;
  char line[200];
  for (int i = 1; i <= frames; ++i) {
    std::snprintf(line, sizeof line, "%7i\t%7.2lf\t%7.2lf\t%7.3lf\t%7.5lf\r\n", i,
                  0.5 + jitter(random), jitter(random), 0.1 * jitter(random),
                  1.0 + 0.001 * jitter(random));
    text += line;
  }
  return text;
}

void writeText(const std::string& path, const std::string& text) {
  platform::FileHandle file = platform::createFileTruncate(path.c_str());
  ASSERT_NE(file, platform::kInvalidFileHandle);
  platform::writeFile(file, text.data(), text.size());
  platform::closeFile(file);
}

TEST(Pass2StartupTest, PlansEveryEntryOfAShakyLog) {
  CFilterInstance instance;
  instance.setSourceSize(640, 480);
  InstanceData& data = instance.data();
  data.pass = 2;
  writeText(*data.logFilePath, shakyLog(300, 1));
  startProc(&instance.fa(), nullptr);
  ASSERT_EQ(data.plannedFrameCount, 301);
  ASSERT_NE(data.framePlans, nullptr);
  // Corrections stay within the limits: the transform's origin moves by at
  // most 15 % of the width from the centre mapping.
  for (int i = 0; i < data.plannedFrameCount; ++i) {
    const double c2 = data.framePlans[i].transform[2] / 67108864.0;
    EXPECT_GT(c2, 0.8);
    EXPECT_LT(c2, 1.2);
  }
  endProc(&instance.fa(), nullptr);
}

}  // namespace
