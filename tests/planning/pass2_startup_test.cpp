#include "planning/pass2_startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "platform/file_io.h"
#include "plugin/common/frame_plan.h"
#include "plugin/common/module_state.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"
#include "tests/support/planning_fixtures.h"

namespace {

using platform::MessageBoxAnswer;
using testing_support::CFilterInstance;
using testing_support::CRecordingMessageBoxes;
using testing_support::CRecordingProgressWindows;

std::string shakyLog(int frames, unsigned seed) {
  return testing_support::shakyLogText(frames, seed);
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

class Pass2AbortTest : public ::testing::Test {
 protected:
  Pass2AbortTest() {
    instance_.setSourceSize(320, 240);
    data().pass = 2;
    writeText(*data().logFilePath, shakyLog(300, 2));
  }
  ~Pass2AbortTest() override { endProc(&instance_.fa(), nullptr); }

  InstanceData& data() { return instance_.data(); }
  void start() {
    endProc(&instance_.fa(), nullptr);
    startProc(&instance_.fa(), nullptr);
  }

  CFilterInstance instance_;
  CRecordingProgressWindows windows_;
};

TEST_F(Pass2AbortTest, AbortLeavesNoPlanAndTheNextStartPlansAgain) {
  windows_.state().clicksAtPoll = [](int poll) { return poll == 0 ? 1 : 0; };
  {
    CRecordingMessageBoxes boxes(MessageBoxAnswer::kYes);
    start();
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Really abort processing?");
  }
  EXPECT_EQ(data().plannedFrameCount, -1);
  EXPECT_EQ(data().framePlans, nullptr);
  EXPECT_EQ(data().logFileTime, 0u);
  EXPECT_EQ(module_state::progressDialog, nullptr);
  EXPECT_EQ(windows_.state().alive, 0);

  // The log has not changed, yet the next start reads and plans it.
  windows_.state().clicksAtPoll = nullptr;
  start();
  EXPECT_EQ(windows_.state().created, 2);
  EXPECT_EQ(data().plannedFrameCount, 301);
  EXPECT_NE(data().framePlans, nullptr);
  EXPECT_NE(data().logFileTime, 0u);
}

TEST_F(Pass2AbortTest, AbortInTheLastSmoothingAlsoLeavesNoPlan) {
  // Count the polls of an undisturbed planning, then cancel at the last one,
  // which lies in the smoothing of the adaptive zoom target.
  data().edgeCompensation = 1;
  start();
  ASSERT_EQ(data().plannedFrameCount, 301);
  const int polls = windows_.state().polls;
  ASSERT_GT(polls, 4);

  windows_.state().polls = 0;
  windows_.state().clicksAtPoll = [polls](int poll) { return poll == polls - 1 ? 1 : 0; };
  data().logFileTime = 0;
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kYes);
  start();
  EXPECT_EQ(boxes.messages().size(), 1u);
  EXPECT_EQ(data().plannedFrameCount, -1);
  EXPECT_EQ(data().framePlans, nullptr);
  EXPECT_EQ(data().logFileTime, 0u);
}

TEST_F(Pass2AbortTest, CancelAnsweredNoPlansAsUsual) {
  windows_.state().clicksAtPoll = [](int poll) { return poll < 3 ? 1 : 0; };
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kNo);
  start();
  EXPECT_EQ(boxes.messages().size(), 3u);
  EXPECT_EQ(data().plannedFrameCount, 301);
  EXPECT_NE(data().framePlans, nullptr);
  EXPECT_NE(data().logFileTime, 0u);
}

TEST(Pass2StartupTest, PlansATenThousandEntryLog) {
  CFilterInstance instance;
  instance.setSourceSize(640, 480);
  InstanceData& data = instance.data();
  data.pass = 2;
  writeText(*data.logFilePath, shakyLog(10000, 3));
  const auto begin = std::chrono::steady_clock::now();
  const std::clock_t cpuBegin = std::clock();
  startProc(&instance.fa(), nullptr);
  const double cpuSeconds = static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  // Timing belongs to the benchmarks; it is only reported here.
  RecordProperty("start_seconds", std::to_string(seconds));
  std::printf("10,000-entry pass-2 start: %.3f s (processor time %.3f s)\n", seconds, cpuSeconds);
  EXPECT_EQ(data.plannedFrameCount, 10001);
  EXPECT_NE(data.framePlans, nullptr);
  endProc(&instance.fa(), nullptr);
}

}  // namespace
