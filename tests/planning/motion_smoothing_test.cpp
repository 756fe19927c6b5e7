#include "planning/motion_smoothing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "plugin/common/module_state.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/planning_fixtures.h"
#include "ui/progress_dialog.h"

namespace {

using platform::MessageBoxAnswer;
using platform::MessageBoxButtons;
using testing_support::CFilterInstance;
using testing_support::CRecordingMessageBoxes;
using testing_support::CRecordingProgressWindows;
using testing_support::CScratchFolder;
using testing_support::logLine;
using testing_support::writeTextFile;

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

// ---------------------------------------------------------------------------
// The smoothed path

TEST(MotionSmoothingTest, NegativeSmoothnessHoldsThePathAtItsOrigin) {
  const std::vector<double> t = jitteryPath(40, 1);
  std::vector<double> x;
  for (int pin : {0, 1}) {
    for (double limit : {0.001, 1e9}) {
      ASSERT_EQ(smooth(t, x, smoothnessWeight(-1), limit, 0.01, pin), 1);
      for (double value : x) EXPECT_EQ(value, 0.0);
    }
  }
}

TEST(MotionSmoothingTest, SmoothnessZeroLeavesThePath) {
  const std::vector<double> t = jitteryPath(40, 2);
  std::vector<double> x;
  for (int pin : {0, 1}) {
    ASSERT_EQ(smooth(t, x, smoothnessWeight(0), 0.001, 0.01, pin), 1);
    EXPECT_EQ(x, t);
  }
}

TEST(MotionSmoothingTest, AStraightPathIsItsOwnSolution) {
  std::vector<double> t(60);
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = -7.5 + 0.7 * static_cast<double>(i);
  std::vector<double> x;
  for (int pin : {0, 1}) {
    SCOPED_TRACE("pin " + std::to_string(pin));
    // The solver stops when a sweep changes the path by less than the
    // tolerance in total; the path then lies within a few tolerances.
    ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 1e9, 1e-9, pin), 1);
    EXPECT_LT(largestDeviation(t, x), 1e-6);
    ASSERT_EQ(smooth(t, x, smoothnessWeight(400), 1e9, 0.01, pin), 1);
    EXPECT_LT(largestDeviation(t, x), 0.1);
  }
}

TEST(MotionSmoothingTest, AnEntryExactlyAtTheLimitKeepsItsWeight) {
  // Three entries, both ends pinned, weight 2: x1 = (2 * 1 + 0 + 0) / 4 =
  // 0.5 exactly, so entry 1 is corrected by exactly 0.5.
  const std::vector<double> t = {0.0, 1.0, 0.0};
  std::vector<double> x;
  ASSERT_EQ(smooth(t, x, smoothnessWeight(5), 0.5, 1e-12, 1), 1);
  EXPECT_EQ(x[1], 0.5);

  // Just below, the entry is beyond the limit and its weight grows until it
  // no longer is.
  ASSERT_EQ(smooth(t, x, smoothnessWeight(5), 0.49, 1e-12, 1), 1);
  EXPECT_GT(x[1], 0.5);
  EXPECT_LE(1.0 - x[1], 0.49);
}

TEST(MotionSmoothingTest, ReweightingKeepsEveryCorrectionWithinTheLimit) {
  const std::vector<double> t = jitteryPath(200, 3);
  std::vector<double> x;
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
  EXPECT_EXIT(
      {
        alarm(2);
        CRecordingMessageBoxes boxes(MessageBoxAnswer::kNo);
        std::vector<double> x;
        smooth(t, x, smoothnessWeight(400), -1.0, 0.01, 1);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// Cancel and the abort question

// Sweeps that solveSmoothPath makes on this problem (constant weights, no
// scene starts, ends pinned), counted the way the method works: in place,
// increasing order, until one sweep changes less than the tolerance.
long sweepsToConverge(const std::vector<double>& t, double weight, double tolerance) {
  std::vector<double> x(t.size(), 0.0);
  const std::size_t n = t.size();
  for (long sweeps = 1;; ++sweeps) {
    double change = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double v =
          (i == 0 || i == n - 1) ? t[i] : (weight * t[i] + x[i - 1] + x[i + 1]) / (weight + 2.0);
      change += std::fabs(v - x[i]);
      x[i] = v;
    }
    if (change < tolerance) return sweeps;
  }
}

class SmoothingAbortTest : public ::testing::Test {
 protected:
  SmoothingAbortTest() : dialog_(0), t_(jitteryPath(120, 7)) {
    dialog_.create(nullptr);
    module_state::progressDialog = &dialog_;
  }
  ~SmoothingAbortTest() override { module_state::progressDialog = nullptr; }

  int solve(std::vector<double>& x) {
    x.assign(t_.size(), 0.0);
    const std::vector<double> w(t_.size(), smoothnessWeight(400));
    return solveSmoothPath(static_cast<int>(t_.size()), t_.data(), x.data(), w.data(), 1e-6, 1,
                           nullptr);
  }

  CRecordingProgressWindows windows_;
  CDlgProgress dialog_;
  std::vector<double> t_;
};

TEST_F(SmoothingAbortTest, TheCancelRequestIsPolledEveryHundredSweeps) {
  const long sweeps = sweepsToConverge(t_, smoothnessWeight(400), 1e-6);
  ASSERT_GT(sweeps, 350);
  std::vector<double> x;
  ASSERT_EQ(solve(x), 1);
  // Polls after sweeps 1, 101, 201, ... but not after the converged one.
  EXPECT_EQ(windows_.state().polls, (sweeps - 2) / 100 + 1);
}

TEST_F(SmoothingAbortTest, CancelAnsweredYesAbortsAtOnce) {
  windows_.state().clicksAtPoll = [](int poll) { return poll == 1 ? 1 : 0; };
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kYes);
  std::vector<double> x;
  EXPECT_EQ(solve(x), 0);
  EXPECT_EQ(windows_.state().polls, 2);
  ASSERT_EQ(boxes.messages().size(), 1u);
  EXPECT_EQ(boxes.messages()[0].text, "Really abort processing?");
  EXPECT_EQ(boxes.messages()[0].buttons, MessageBoxButtons::kYesNo);
}

TEST_F(SmoothingAbortTest, CancelAnsweredNoCarriesOn) {
  std::vector<double> undisturbed;
  ASSERT_EQ(solve(undisturbed), 1);

  windows_.state().polls = 0;
  windows_.state().clicksAtPoll = [](int poll) { return poll == 0 || poll == 2 ? 1 : 0; };
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kNo);
  std::vector<double> x;
  EXPECT_EQ(solve(x), 1);
  EXPECT_EQ(boxes.messages().size(), 2u);  // asked at every request
  EXPECT_EQ(x, undisturbed);
}

TEST_F(SmoothingAbortTest, AnAbortInsideTheLimitLoopEndsTheSmoothing) {
  windows_.state().clicksAtPoll = [](int poll) { return poll == 0 ? 1 : 0; };
  CRecordingMessageBoxes boxes(MessageBoxAnswer::kYes);
  std::vector<double> x;
  EXPECT_EQ(smooth(t_, x, smoothnessWeight(400), 2.0, 0.01, 1), 0);
  EXPECT_EQ(boxes.messages().size(), 1u);
}

// ---------------------------------------------------------------------------
// The progress dialog

TEST(ProgressDialogTest, ACancelClickIsReportedOnceByTheNextCheck) {
  CRecordingProgressWindows windows;
  windows.state().clicksAtPoll = [](int poll) {
    switch (poll) {
      case 1:
        return 1;
      case 3:
        return 3;  // several clicks between two checks
      default:
        return 0;
    }
  };
  CDlgProgress dialog(0);
  ASSERT_EQ(dialog.create(nullptr), 1);
  EXPECT_EQ(windows.state().caption, "Quiventa");
  EXPECT_EQ(dialog.checkCancelButton(), 0);
  EXPECT_EQ(dialog.checkCancelButton(), 1);
  EXPECT_EQ(dialog.checkCancelButton(), 0);
  EXPECT_EQ(dialog.checkCancelButton(), 1);
  EXPECT_EQ(dialog.checkCancelButton(), 0);
  EXPECT_EQ(windows.state().polls, 5);  // every check dispatches

  dialog.onCancel();
  dialog.onCancel();
  EXPECT_EQ(dialog.checkCancelButton(), 1);
  EXPECT_EQ(dialog.checkCancelButton(), 0);

  dialog.setStatusText("Quiventing...");
  EXPECT_EQ(windows.state().status, "Quiventing...");
  EXPECT_EQ(windows.state().alive, 1);
}

TEST(ProgressDialogTest, ShownWithCaptionAndStatusWhilePlanning) {
  CScratchFolder folder;
  CFilterInstance instance;
  instance.setSourceSize(64, 48);
  InstanceData& data = instance.data();
  data.pass = 2;
  *data.logFilePath = folder.path("run.log");
  std::string log;
  for (int i = 1; i <= 40; ++i) log += logLine(i, i % 2 ? 3.0 : -2.0, 1.0, 0.1, 1.0);
  writeTextFile(*data.logFilePath, log);

  CRecordingProgressWindows windows;
  bool seen = false;
  windows.state().onPoll = [&] {
    CDlgProgress* dialog = module_state::progressDialog;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->caption(), "Quiventa");
    EXPECT_EQ(dialog->statusText(), "Quiventing...");
    seen = true;
  };
  startProc(&instance.fa(), nullptr);
  EXPECT_TRUE(seen);
  EXPECT_EQ(windows.state().caption, "Quiventa");
  EXPECT_EQ(windows.state().status, "Quiventing...");
  // Gone again once the plan is made.
  EXPECT_EQ(module_state::progressDialog, nullptr);
  EXPECT_EQ(windows.state().created, 1);
  EXPECT_EQ(windows.state().alive, 0);
  EXPECT_EQ(data.plannedFrameCount, 41);
  endProc(&instance.fa(), nullptr);
}

}  // namespace
