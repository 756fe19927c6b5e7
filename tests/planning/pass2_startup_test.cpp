#include "planning/pass2_startup.h"

#include <gtest/gtest.h>

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

TEST_F(Pass2AbortTest, CancelAnsweredNoPlansAsUsual) {
  windows_.state().clicksAtPoll = [](int poll) { return poll < 3 ? 1 : 0; };
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kNo);
  start();
  EXPECT_EQ(boxes.messages().size(), 3u);
  EXPECT_EQ(data().plannedFrameCount, 301);
  EXPECT_NE(data().framePlans, nullptr);
  EXPECT_NE(data().logFileTime, 0u);
}

}  // namespace
