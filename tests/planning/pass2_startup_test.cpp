// A cancel request while pass 2 plans: the question, and what a confirmed
// or refused abort leaves.
#include "planning/pass2_startup.h"

#include <gtest/gtest.h>

#include <string>

#include "plugin/common/frame_plan.h"
#include "plugin/common/module_state.h"
#include "tests/support/log_files.h"
#include "tests/support/planning_fixtures.h"

namespace {

using platform::MessageBoxAnswer;
using testing_support::CPlanningRun;
using testing_support::CRecordingMessageBoxes;

TEST(Pass2AbortTest, ARefusedAbortPlansAsUsualAndAConfirmedOneLeavesNoPlan) {
  CPlanningRun run(320, 240);
  run.windows().clicksAtPoll = [](int poll) { return poll < 3 ? 1 : 0; };
  {
    CRecordingMessageBoxes boxes(MessageBoxAnswer::kNo);
    run.plan(testing_support::shakyLogText(300, 2));
    EXPECT_EQ(boxes.messages().size(), 3u);
  }
  EXPECT_EQ(run.data().plannedFrameCount, 301);

  run.windows().polls = 0;
  run.windows().clicksAtPoll = [](int poll) { return poll == 0 ? 1 : 0; };
  {
    CRecordingMessageBoxes boxes(MessageBoxAnswer::kYes);
    run.plan(testing_support::shakyLogText(300, 3));
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Really abort processing?");
  }
  EXPECT_EQ(run.data().plannedFrameCount, -1);
  EXPECT_EQ(run.data().framePlans, nullptr);
  EXPECT_EQ(run.data().logFileTime, 0u);
  EXPECT_EQ(module_state::progressDialog, nullptr);
  EXPECT_EQ(run.windows().alive, 0);

  // The log has not changed, yet the next start reads and plans it.
  run.windows().clicksAtPoll = nullptr;
  run.start();
  EXPECT_EQ(run.windows().created, 3);
  EXPECT_EQ(run.data().plannedFrameCount, 301);
}

}  // namespace
