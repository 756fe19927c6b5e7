#include "planning/log_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/block_matching.h"
#include "plugin/common/frame_plan.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/filter_callbacks.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CFilterInstance;
using testing_support::CRecordingProgressWindows;
using testing_support::CScratchFolder;
using testing_support::CScriptedSettingsDialog;
using testing_support::logLine;
using testing_support::logLineWithTopEdge;
using testing_support::setLastWriteTime;
using testing_support::writeTextFile;

// ---------------------------------------------------------------------------
// Parsing

class LogParsingTest : public ::testing::Test {
 protected:
  RMotionSeries parse(const std::string& text) {
    RMotionSeries series;
    parseLogText(instance_.data(), text.data(), text.size(), series);
    return series;
  }
  InstanceData& data() { return instance_.data(); }

  // An entry no line filled: no motion, no top edge, no scene start.
  static void expectEmptyEntry(const RMotionSeries& s, std::size_t i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(s.panX[i], 0.0);
    EXPECT_EQ(s.panY[i], 0.0);
    EXPECT_EQ(s.rotation[i], 0.0);
    EXPECT_EQ(s.logZoom[i], 0.0);
    EXPECT_EQ(s.topPanX[i], MISSING_VALUE);
    EXPECT_EQ(s.topPanY[i], MISSING_VALUE);
    EXPECT_EQ(s.topRotation[i], MISSING_VALUE);
    EXPECT_EQ(s.topZoom[i], MISSING_VALUE);
    EXPECT_EQ(s.sceneStart[i], 0);
  }

  static void expectMotion(const RMotionSeries& s, std::size_t i, double panX, double panY,
                           double rotation, double zoom) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_DOUBLE_EQ(s.panX[i], panX);
    EXPECT_DOUBLE_EQ(s.panY[i], panY);
    EXPECT_DOUBLE_EQ(s.rotation[i], rotation);
    EXPECT_DOUBLE_EQ(s.logZoom[i], std::log(zoom));
  }

  static void expectAllSeriesOfLength(const RMotionSeries& s, std::size_t n) {
    EXPECT_EQ(s.panX.size(), n);
    EXPECT_EQ(s.panY.size(), n);
    EXPECT_EQ(s.rotation.size(), n);
    EXPECT_EQ(s.logZoom.size(), n);
    EXPECT_EQ(s.topPanX.size(), n);
    EXPECT_EQ(s.topPanY.size(), n);
    EXPECT_EQ(s.topRotation.size(), n);
    EXPECT_EQ(s.topZoom.size(), n);
    EXPECT_EQ(s.sceneStart.size(), n);
  }

  CFilterInstance instance_;
};

TEST_F(LogParsingTest, AGapBetweenLabelsBecomesAnEntryWithoutMotion) {
  const RMotionSeries s =
      parse(logLine(100, 1.5, -2.25, 0.125, 1.01) + logLine(101, -3.0, 4.5, -0.25, 0.98) +
            logLine(103, 0.75, 0.5, 1.0, 1.02, true));
  EXPECT_EQ(data().logBaseFrame, 99);
  expectAllSeriesOfLength(s, 5);
  expectEmptyEntry(s, 0);  // label 99, the reference
  expectMotion(s, 1, 1.5, -2.25, 0.125, 1.01);
  expectMotion(s, 2, -3.0, 4.5, -0.25, 0.98);
  expectEmptyEntry(s, 3);  // label 102
  expectMotion(s, 4, 0.75, 0.5, 1.0, 1.02);
  EXPECT_EQ(s.sceneStart[1], 0);
  EXPECT_EQ(s.sceneStart[4], 1);
  // Without rolling shutter no top-edge value is read.
  EXPECT_EQ(s.topPanX[1], MISSING_VALUE);
  EXPECT_EQ(s.topZoom[4], MISSING_VALUE);
}

TEST_F(LogParsingTest, ALabelBeforeTheFirstOneMovesTheEarlierEntriesUp) {
  const RMotionSeries s =
      parse(logLine(100, 1.0, 0, 0, 1) + logLine(101, 2.0, 0, 0, 1) + logLine(97, 7.0, 0, 0, 1.05));
  EXPECT_EQ(data().logBaseFrame, 96);
  expectAllSeriesOfLength(s, 6);
  expectEmptyEntry(s, 0);  // 96
  expectMotion(s, 1, 7.0, 0, 0, 1.05);
  expectEmptyEntry(s, 2);  // 98
  expectEmptyEntry(s, 3);  // 99, the old entry 0
  expectMotion(s, 4, 1.0, 0, 0, 1);
  expectMotion(s, 5, 2.0, 0, 0, 1);

  // The label of entry 0 itself also moves everything up by one.
  const RMotionSeries t = parse(logLine(100, 1.0, 0, 0, 1) + logLine(99, 3.0, 0, 0, 1));
  EXPECT_EQ(data().logBaseFrame, 98);
  expectAllSeriesOfLength(t, 3);
  expectEmptyEntry(t, 0);
  expectMotion(t, 1, 3.0, 0, 0, 1);
  expectMotion(t, 2, 1.0, 0, 0, 1);
}

TEST_F(LogParsingTest, LabelsInAnyOrderGiveTheSeriesOfTheSortedLog) {
  // Each label below entry 0 inserts entries in front; the result must not
  // depend on how many such inserts there were or how far each reached.
  const std::vector<std::vector<int>> orders = {
      {9, 8, 7, 6, 5, 4, 3, 2, 1}, {5, 9, 4, 3, 8, 1, 2, 7, 6}, {9, 1, 8, 2, 7, 3, 6, 4, 5}};
  std::string sorted;
  for (int label = 1; label <= 9; ++label) sorted += logLine(label, label, -label, 0.1 * label, 1);
  const RMotionSeries expected = parse(sorted);
  for (const std::vector<int>& order : orders) {
    std::string text;
    for (int label : order) text += logLine(label, label, -label, 0.1 * label, 1);
    const RMotionSeries s = parse(text);
    EXPECT_EQ(data().logBaseFrame, 0);
    EXPECT_EQ(s.panX, expected.panX);
    EXPECT_EQ(s.panY, expected.panY);
    EXPECT_EQ(s.rotation, expected.rotation);
    EXPECT_EQ(s.logZoom, expected.logZoom);
    EXPECT_EQ(s.topPanX, expected.topPanX);
    EXPECT_EQ(s.sceneStart, expected.sceneStart);
  }
}

TEST_F(LogParsingTest, TheLaterOfTwoLinesWithTheSameLabelCounts) {
  RMotionSeries s = parse(logLine(5, 1, 1, 1, 1.01) + logLine(6, 2, 2, 2, 1.02) +
                          logLine(5, 9, 8, 7, 0.97, true));
  expectAllSeriesOfLength(s, 3);
  expectMotion(s, 1, 9, 8, 7, 0.97);
  EXPECT_EQ(s.sceneStart[1], 1);
  expectMotion(s, 2, 2, 2, 2, 1.02);

  // ... including a scene start that the later line no longer has.
  s = parse(logLine(5, 1, 1, 1, 1, true) + logLine(5, 3, 3, 3, 1));
  EXPECT_EQ(s.sceneStart[1], 0);
  expectMotion(s, 1, 3, 3, 3, 1);
}

TEST_F(LogParsingTest, InterlacedLabelsCountFields) {
  const RMotionSeries s = parse(
      "     12A\t   1.00\t   0.00\t  0.000\t1.00000\r\n"
      "     12B\t   2.00\t   0.00\t  0.000\t1.00000\r\n"
      "     13A\t   3.00\t   0.00\t  0.000\t1.00000\r\n");
  EXPECT_EQ(data().logBaseFrame, 23);  // entries 1, 2, 3 are the fields 24, 25, 26
  expectAllSeriesOfLength(s, 4);
  expectEmptyEntry(s, 0);
  EXPECT_EQ(s.panX[1], 1.0);
  EXPECT_EQ(s.panX[2], 2.0);
  EXPECT_EQ(s.panX[3], 3.0);
}

TEST_F(LogParsingTest, LineEndingsAndAFinalLineWithoutLineFeed) {
  const std::string lf = "5\t1.5\t2\t0.5\t1.01\n6\t-1\t0\t0\t0.99\n";
  const std::string crlf = "5\t1.5\t2\t0.5\t1.01\r\n6\t-1\t0\t0\t0.99\r\n";
  const RMotionSeries a = parse(lf);
  const RMotionSeries b = parse(crlf);
  expectAllSeriesOfLength(a, 3);
  expectAllSeriesOfLength(b, 3);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(a.panX[i], b.panX[i]);
    EXPECT_EQ(a.logZoom[i], b.logZoom[i]);
  }
  expectMotion(b, 2, -1, 0, 0, 0.99);

  // The last line has no LF: it is not read, complete or not.
  const RMotionSeries c = parse(crlf + "7\t4\t4\t4\t1.04");
  expectAllSeriesOfLength(c, 3);
  const RMotionSeries d = parse(crlf + "7\t4\t4\t4\t1.04\r");
  expectAllSeriesOfLength(d, 3);
  EXPECT_EQ(parse("5\t1\t2\t3\t1.0").size(), 0u);
  EXPECT_EQ(parse("").size(), 0u);
}

TEST_F(LogParsingTest, MalformedLinesAreSkipped) {
  const RMotionSeries s = parse(logLine(5, 1, 0, 0, 1) +
                                "\r\n"                       // the empty line between appended runs
                                "\n"                         // LF alone
                                "   \t \r\n"                 // blanks only
                                "abc\t1\t2\t3\t1.0\r\n"      // no leading digit
                                "-7\t1\t2\t3\t1.0\r\n"       // a sign is not a digit
                                "x7\t1\t2\t3\t1.0\r\n"       // a letter first
                                "8\t1\t2\t3\r\n"             // three numbers
                                "9\r\n"                      // label alone
                                "1000004\t1\t2\t3\t1.0\r\n"  // one million entries beyond entry 0
                                + logLine(6, 2, 0, 0, 1));
  EXPECT_EQ(data().logBaseFrame, 4);
  expectAllSeriesOfLength(s, 3);
  EXPECT_EQ(s.panX[1], 1.0);
  EXPECT_EQ(s.panX[2], 2.0);
}

TEST_F(LogParsingTest, NewSceneCountsAnywhereInTheLine) {
  const RMotionSeries s = parse(
      "5\tnew_scene\t1\t2\t3\t1.0\r\n"           // before the numbers
      "6\t1\t2\t3\t1.0\tnew_scene\r\n"           // where pass 1 writes it
      "7\t1\t2new_scene\t3\t1.0\r\n"             // glued to a number
      "8\t1\t2\t3\t1.0\tnew_scenenew_scene\r\n"  // twice
      "9\t1\t2\t3\t1.0\tnew_scen\r\n");          // not the mark
  expectAllSeriesOfLength(s, 6);
  EXPECT_EQ(s.sceneStart[1], 1);
  EXPECT_EQ(s.sceneStart[2], 1);
  EXPECT_EQ(s.sceneStart[3], 1);
  expectMotion(s, 3, 1, 2, 3, 1.0);
  EXPECT_EQ(s.sceneStart[4], 1);
  EXPECT_EQ(s.sceneStart[5], 0);
}

TEST_F(LogParsingTest, TopEdgeValuesAreReadOnlyWithRollingShutter) {
  const std::string eight = logLineWithTopEdge(5, 2, -1, 0.1, 1.01, 1.5, -0.5, 0.05, 1.005);
  const std::string four = logLine(6, 1, 1, 0, 1.02);
  const std::string six = "7\t1\t1\t0\t1.0\t0.25\t-0.75\r\n";

  data().rollingShutter = 1;
  RMotionSeries s = parse(eight + four + six);
  expectAllSeriesOfLength(s, 4);
  expectMotion(s, 1, 2, -1, 0.1, 1.01);  // the whole-frame zoom as its logarithm
  EXPECT_DOUBLE_EQ(s.topPanX[1], 1.5);
  EXPECT_DOUBLE_EQ(s.topPanY[1], -0.5);
  EXPECT_DOUBLE_EQ(s.topRotation[1], 0.05);
  EXPECT_DOUBLE_EQ(s.topZoom[1], 1.005);  // the top zoom as a factor
  // Four numbers only: all four top-edge values are missing.
  EXPECT_EQ(s.topPanX[2], MISSING_VALUE);
  EXPECT_EQ(s.topPanY[2], MISSING_VALUE);
  EXPECT_EQ(s.topRotation[2], MISSING_VALUE);
  EXPECT_EQ(s.topZoom[2], MISSING_VALUE);
  // Six numbers: what is there is read, the rest is missing.
  EXPECT_DOUBLE_EQ(s.topPanX[3], 0.25);
  EXPECT_DOUBLE_EQ(s.topPanY[3], -0.75);
  EXPECT_EQ(s.topRotation[3], MISSING_VALUE);
  EXPECT_EQ(s.topZoom[3], MISSING_VALUE);

  data().rollingShutter = 0;
  s = parse(eight);
  expectMotion(s, 1, 2, -1, 0.1, 1.01);
  EXPECT_EQ(s.topPanX[1], MISSING_VALUE);
  EXPECT_EQ(s.topZoom[1], MISSING_VALUE);
}

TEST_F(LogParsingTest, ValuesThatWouldPoisonThePathMakeTheLineMalformed) {
  const RMotionSeries s = parse(logLine(5, 1, 0, 0, 1) +
                                "6\t9\t0\t0\t0\r\n"       // zoom 0
                                "6\t9\t0\t0\t-1.0\r\n"    // negative zoom
                                "6\t9\t0\t0\tnan\r\n"     // zoom not a number
                                "6\tinf\t0\t0\t1.0\r\n"   // a pan that is not finite
                                "6\t0\tnan\t0\t1.0\r\n"   // pan y not a number
                                "6\t0\t0\t-inf\t1.0\r\n"  // rotation not finite
                                "6\t0\t0\t0\tinf\r\n"     // zoom not finite
                                + logLine(7, 3, 0, 0, 1));
  expectAllSeriesOfLength(s, 4);
  expectEmptyEntry(s, 2);  // every line for label 6 was dropped
  EXPECT_EQ(s.panX[3], 3.0);
}

TEST_F(LogParsingTest, UnusableTopEdgeValuesCountAsMissing) {
  data().rollingShutter = 1;
  const RMotionSeries s = parse(
      "5\t1\t1\t0\t1.0\t0.5\t0.5\t0.1\t0\r\n"    // top zoom 0
      "6\t1\t1\t0\t1.0\tnan\t0.5\t0.1\t1.0\r\n"  // top pan x not a number
      "7\t1\t1\t0\t1.0\t0.5\t0.5\tinf\t-2\r\n");
  expectAllSeriesOfLength(s, 4);
  EXPECT_DOUBLE_EQ(s.topPanX[1], 0.5);
  EXPECT_EQ(s.topZoom[1], MISSING_VALUE);
  EXPECT_EQ(s.topPanX[2], MISSING_VALUE);
  EXPECT_DOUBLE_EQ(s.topPanY[2], 0.5);
  EXPECT_DOUBLE_EQ(s.topZoom[2], 1.0);
  EXPECT_EQ(s.topRotation[3], MISSING_VALUE);
  EXPECT_EQ(s.topZoom[3], MISSING_VALUE);
  // The whole-frame motion of these lines is kept.
  expectMotion(s, 3, 1, 1, 0, 1.0);
}

// Runs `body` in a child process whose address space is limited to what it
// uses now plus `extraBytes`, so that a runaway allocation fails there
// instead of taking the machine's memory. The child exits with body's result.
template <typename Body>
void runWithLimitedMemory(std::size_t extraBytes, Body body) {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (statm != nullptr) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                       static_cast<rlim_t>(extraBytes);
  const rlimit bound{limit, limit};
  setrlimit(RLIMIT_AS, &bound);
  std::_Exit(body() ? 0 : 1);
}

TEST_F(LogParsingTest, LabelsBeyondTheIntRangeAreSkipped) {
  // The interlaced label's number 2^31 and a progressive label of ten digits
  // both lie beyond int; neither may fix entry 0 for the labels that follow.
  const std::string text =
      "1073741824A\t1\t0\t0\t1.0\r\n"
      "2147483648\t1\t0\t0\t1.0\r\n"
      "9999999999\t1\t0\t0\t1.0\r\n" +
      logLine(5, 2, 0, 0, 1) + logLine(6, 3, 0, 0, 1);
  EXPECT_EXIT(runWithLimitedMemory(std::size_t{1} << 30,
                                   [&] {
                                     const RMotionSeries s = parse(text);
                                     return data().logBaseFrame == 4 && s.size() == 3 &&
                                            s.panX[1] == 2.0 && s.panX[2] == 3.0;
                                   }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(LogParsingTest, AFarEarlierLabelDoesNotExhaustMemory) {
  // An appended log whose second run starts two billion frames earlier asks
  // for two billion new entries at the front. Whatever the reader makes of
  // it, reading such a file must not end the host.
  // Nor may a staircase of labels, each a little less than a million before
  // the one above it: no more entries than one clip may have.
  std::string text = logLine(2000000000, 1, 0, 0, 1) + logLine(5, 2, 0, 0, 1);
  for (int step = 1; step <= 2000; ++step) text += logLine(2000000000 - step * 999990, 3, 0, 0, 1);
  EXPECT_EXIT(runWithLimitedMemory(std::size_t{1} << 30,
                                   [&] {
                                     return parse(text).size() <= 1000000;
                                   }),
              ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// The file and its last-write time

class LogFileTest : public ::testing::Test {
 protected:
  LogFileTest() : logPath_(folder_.path("run.log")) {
    instance_.setSourceSize(64, 48);
    data().pass = 2;
    *data().logFilePath = logPath_;
  }

  InstanceData& data() { return instance_.data(); }

  // Writes `frames` lines (labels 1 ..) stamped with `seconds`.
  void writeLog(int frames, std::int64_t seconds, double pan = 1.0) {
    std::string text;
    for (int i = 1; i <= frames; ++i) text += logLine(i, i % 2 ? pan : -pan, 0.5, 0.0, 1.0);
    writeTextFile(logPath_, text);
    setLastWriteTime(logPath_, seconds);
  }

  // One pass-2 run start and end; the plan stays in the record.
  void startAndEnd() {
    startProc(&instance_.fa(), nullptr);
    endProc(&instance_.fa(), nullptr);
  }

  CScratchFolder folder_;
  std::string logPath_;
  CFilterInstance instance_;
  CRecordingProgressWindows windows_;  // one window per planning run
};

TEST_F(LogFileTest, AMissingLogIsNotRead) {
  *data().logFilePath = folder_.path("absent.log");
  data().logFileTime = 77;
  RMotionSeries series;
  EXPECT_EQ(readLog(data(), series), LogReadResult::kNotRead);
  EXPECT_EQ(series.size(), 0u);
  EXPECT_EQ(data().logFileHandle, platform::kInvalidFileHandle);

  // A folder in place of the log is no more readable.
  *data().logFilePath = folder_.path("");
  EXPECT_EQ(readLog(data(), series), LogReadResult::kNotRead);
  EXPECT_EQ(data().logFileHandle, platform::kInvalidFileHandle);
}

TEST_F(LogFileTest, AnUnchangedFileTimeKeepsThePlanAndPlansNothing) {
  writeLog(10, 1000000);
  startAndEnd();
  ASSERT_EQ(data().plannedFrameCount, 11);
  ASSERT_EQ(windows_.state().created, 1);
  const RFramePlan* plan = data().framePlans;
  const std::int64_t firstOrigin = plan[1].transform[0];

  // Other content with the same time stamp (and other settings) is not read.
  writeLog(30, 1000000, 5.0);
  data().smoothHorizontalPanning = 0;
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 1);
  EXPECT_EQ(data().plannedFrameCount, 11);
  EXPECT_EQ(data().framePlans, plan);
  EXPECT_EQ(data().framePlans[1].transform[0], firstOrigin);

  // A new time stamp makes the next start read and plan again.
  setLastWriteTime(logPath_, 1000001);
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 2);
  EXPECT_EQ(data().plannedFrameCount, 31);
  ASSERT_NE(data().framePlans, nullptr);
}

TEST_F(LogFileTest, AConfirmedSettingsDialogForcesANewRead) {
  writeLog(10, 1000000);
  startAndEnd();
  ASSERT_EQ(windows_.state().created, 1);

  {
    CScriptedSettingsDialog cancelled(false);
    EXPECT_EQ(configProc(&instance_.fa(), nullptr, nullptr), 1);
  }
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 1);

  {
    CScriptedSettingsDialog confirmed(true);
    EXPECT_EQ(configProc(&instance_.fa(), nullptr, nullptr), 0);
  }
  EXPECT_EQ(data().logFileTime, 0u);
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 2);
  EXPECT_EQ(data().plannedFrameCount, 11);
  EXPECT_NE(data().logFileTime, 0u);
}

TEST_F(LogFileTest, TwoEntriesOrFewerAreNotPlannedAndThePreviousPlanIsGone) {
  writeLog(10, 1000000);
  startAndEnd();
  ASSERT_EQ(data().plannedFrameCount, 11);

  writeLog(1, 1000001);  // entries 0 and 1
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 1);
  EXPECT_EQ(data().framePlans, nullptr);
  EXPECT_EQ(data().plannedFrameCount, -1);

  writeLog(2, 1000002);  // three entries are enough
  startAndEnd();
  EXPECT_EQ(windows_.state().created, 2);
  EXPECT_EQ(data().plannedFrameCount, 3);
  EXPECT_NE(data().framePlans, nullptr);
}

TEST_F(LogFileTest, ALogThatComesBackUnchangedIsPlannedAgain) {
  // The log goes away for one start (moved aside) and comes back with its
  // old time stamp. Had the plan been kept, the unchanged log would keep it;
  // as it was dropped, the cache must not claim that it is still there.
  writeLog(10, 1000000);
  startAndEnd();
  ASSERT_EQ(data().plannedFrameCount, 11);

  const std::string aside = folder_.path("aside.log");
  std::filesystem::rename(logPath_, aside);
  startAndEnd();
  std::filesystem::rename(aside, logPath_);
  setLastWriteTime(logPath_, 1000000);
  startAndEnd();
  EXPECT_EQ(data().plannedFrameCount, 11);
  EXPECT_NE(data().framePlans, nullptr);
}

}  // namespace
