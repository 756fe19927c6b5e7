#include "planning/log_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/common/frame_plan.h"
#include "plugin/common/missing_value.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"
#include "tests/support/planning_fixtures.h"

namespace {

using testing_support::CFilterInstance;
using testing_support::CPlanningRun;
using testing_support::logLine;
using testing_support::logLineWithTopEdge;
using testing_support::setLastWriteTime;
using testing_support::shakyLogText;

// The series in one line per entry: "-" for an entry no line filled (no
// motion, no top edge, no scene start), else "panX panY rotation zoom" with
// the top-edge set after "^" ("?" for a missing value) and "*" for a scene
// start. The base frame comes first.
std::string describe(const InstanceData& data, const RMotionSeries& s) {
  std::ostringstream out;
  out << "base " << data.logBaseFrame;
  auto value = [&](double v) { v == MISSING_VALUE ? out << " ?" : out << " " << v; };
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double top[] = {s.topPanX[i], s.topPanY[i], s.topRotation[i], s.topZoom[i]};
    const bool noTop = std::all_of(top, top + 4, [](double v) { return v == MISSING_VALUE; });
    out << " |";
    if (s.panX[i] == 0 && s.panY[i] == 0 && s.rotation[i] == 0 && s.logZoom[i] == 0 && noTop &&
        !s.sceneStart[i]) {
      out << " -";
      continue;
    }
    for (double v : {s.panX[i], s.panY[i], s.rotation[i], std::exp(s.logZoom[i])}) value(v);
    if (!noTop) {
      out << " ^";
      for (double v : top) value(v);
    }
    if (s.sceneStart[i]) out << " *";
  }
  return out.str();
}

class LogParsingTest : public ::testing::Test {
 protected:
  std::string parse(const std::string& text, int rollingShutter = 0) {
    instance_.data().rollingShutter = rollingShutter;
    RMotionSeries series;
    parseLogText(instance_.data(), text.data(), text.size(), series);
    return describe(instance_.data(), series);
  }
  RMotionSeries series(const std::string& text) {
    RMotionSeries s;
    parseLogText(instance_.data(), text.data(), text.size(), s);
    return s;
  }
  CFilterInstance instance_;
};

TEST_F(LogParsingTest, LinesBecomeEntriesRelativeToTheFrameBeforeTheFirstLabel) {
  struct RCase {
    const char* what;
    std::string text;
    int rolling;
    const char* expected;
  };
  const std::string crlf = "5\t1.5\t2\t0.5\t1.01\r\n6\t-1\t0\t0\t0.99\r\n";
  const RCase cases[] = {
      {"a gap becomes an entry without motion",
       logLine(100, 1.5, -2.25, 0.125, 1.01) + logLine(101, -3.0, 4.5, -0.25, 0.98) +
           logLine(103, 0.75, 0.5, 1.0, 1.02, true),
       0, "base 99 | - | 1.5 -2.25 0.125 1.01 | -3 4.5 -0.25 0.98 | - | 0.75 0.5 1 1.02 *"},
      {"an earlier label moves the entries up",
       logLine(100, 1.0, 0, 0, 1) + logLine(101, 2.0, 0, 0, 1) + logLine(97, 7.0, 0, 0, 1.05), 0,
       "base 96 | - | 7 0 0 1.05 | - | - | 1 0 0 1 | 2 0 0 1"},
      {"the label of entry 0 moves them up by one",
       logLine(100, 1.0, 0, 0, 1) + logLine(99, 3.0, 0, 0, 1), 0,
       "base 98 | - | 3 0 0 1 | 1 0 0 1"},
      {"the later of two lines counts",
       logLine(5, 1, 1, 1, 1.01) + logLine(6, 2, 2, 2, 1.02) + logLine(5, 9, 8, 7, 0.97, true), 0,
       "base 4 | - | 9 8 7 0.97 * | 2 2 2 1.02"},
      {"including a scene start it no longer has",
       logLine(5, 1, 1, 1, 1, true) + logLine(5, 3, 3, 3, 1), 0, "base 4 | - | 3 3 3 1"},
      {"interlaced labels count fields",
       "     12A\t1\t0\t0\t1\r\n     12B\t2\t0\t0\t1\r\n     13A\t3\t0\t0\t1\r\n", 0,
       "base 23 | - | 1 0 0 1 | 2 0 0 1 | 3 0 0 1"},
      {"LF alone ends a line too", "5\t1.5\t2\t0.5\t1.01\n6\t-1\t0\t0\t0.99\n", 0,
       "base 4 | - | 1.5 2 0.5 1.01 | -1 0 0 0.99"},
      {"a last line without LF is not read", crlf + "7\t4\t4\t4\t1.04", 0,
       "base 4 | - | 1.5 2 0.5 1.01 | -1 0 0 0.99"},
      {"nor with CR alone", crlf + "7\t4\t4\t4\t1.04\r", 0,
       "base 4 | - | 1.5 2 0.5 1.01 | -1 0 0 0.99"},
      {"malformed lines are skipped",
       logLine(5, 1, 0, 0, 1) +
           "\r\n\n   \t \r\nabc\t1\t2\t3\t1.0\r\n-7\t1\t2\t3\t1.0\r\nx7\t1\t2\t3\t1.0\r\n"
           "8\t1\t2\t3\r\n9\r\n1000004\t1\t2\t3\t1.0\r\n" +
           logLine(6, 2, 0, 0, 1),
       0, "base 4 | - | 1 0 0 1 | 2 0 0 1"},
      {"new_scene counts anywhere in the line",
       "5\tnew_scene\t1\t2\t3\t1.0\r\n6\t1\t2\t3\t1.0\tnew_scene\r\n"
       "7\t1\t2new_scene\t3\t1.0\r\n8\t1\t2\t3\t1.0\tnew_scenenew_scene\r\n"
       "9\t1\t2\t3\t1.0\tnew_scen\r\n",
       0, "base 4 | - | 1 2 3 1 * | 1 2 3 1 * | 1 2 3 1 * | 1 2 3 1 * | 1 2 3 1"},
      {"values that would poison the path make the line malformed",
       logLine(5, 1, 0, 0, 1) +
           "6\t9\t0\t0\t0\r\n6\t9\t0\t0\t-1.0\r\n6\t9\t0\t0\tnan\r\n6\tinf\t0\t0\t1.0\r\n"
           "6\t0\tnan\t0\t1.0\r\n6\t0\t0\t-inf\t1.0\r\n6\t0\t0\t0\tinf\r\n" +
           logLine(7, 3, 0, 0, 1),
       0, "base 4 | - | 1 0 0 1 | - | 3 0 0 1"},
      {"top edges with rolling shutter: eight, four and six numbers",
       logLineWithTopEdge(5, 2, -1, 0.1, 1.01, 1.5, -0.5, 0.05, 1.005) + logLine(6, 1, 1, 0, 1.02) +
           "7\t1\t1\t0\t1.0\t0.25\t-0.75\r\n",
       1,
       "base 4 | - | 2 -1 0.1 1.01 ^ 1.5 -0.5 0.05 1.005 | 1 1 0 1.02 | 1 1 0 1 ^ 0.25 -0.75 ? ?"},
      {"and none without", logLineWithTopEdge(5, 2, -1, 0.1, 1.01, 1.5, -0.5, 0.05, 1.005), 0,
       "base 4 | - | 2 -1 0.1 1.01"},
      // Numbers beyond int (2^31 fields, ten digits) fix no entry 0.
      {"labels beyond the int range are skipped",
       "1073741824A\t1\t0\t0\t1.0\r\n2147483648\t1\t0\t0\t1.0\r\n9999999999\t1\t0\t0\t1.0\r\n" +
           logLine(5, 2, 0, 0, 1) + logLine(6, 3, 0, 0, 1),
       0, "base 4 | - | 2 0 0 1 | 3 0 0 1"},
      {"unusable top-edge values count as missing",
       "5\t1\t1\t0\t1.0\t0.5\t0.5\t0.1\t0\r\n6\t1\t1\t0\t1.0\tnan\t0.5\t0.1\t1.0\r\n"
       "7\t1\t1\t0\t1.0\t0.5\t0.5\tinf\t-2\r\n",
       1, "base 4 | - | 1 1 0 1 ^ 0.5 0.5 0.1 ? | 1 1 0 1 ^ ? 0.5 0.1 1 | 1 1 0 1 ^ 0.5 0.5 ? ?"},
  };
  for (const RCase& c : cases) EXPECT_EQ(parse(c.text, c.rolling), c.expected) << c.what;
  EXPECT_EQ(series("5\t1\t2\t3\t1.0").size(), 0u);
  EXPECT_EQ(series("").size(), 0u);
}

TEST_F(LogParsingTest, LabelsInAnyOrderGiveTheSeriesOfTheSortedLog) {
  // Each label below entry 0 inserts entries in front; the result must not
  // depend on how many such inserts there were or how far each reached.
  const std::vector<std::vector<int>> orders = {
      {9, 8, 7, 6, 5, 4, 3, 2, 1}, {5, 9, 4, 3, 8, 1, 2, 7, 6}, {9, 1, 8, 2, 7, 3, 6, 4, 5}};
  std::string sorted;
  for (int label = 1; label <= 9; ++label) sorted += logLine(label, label, -label, 0.1 * label, 1);
  const std::string expected = parse(sorted);
  for (const std::vector<int>& order : orders) {
    std::string text;
    for (int label : order) text += logLine(label, label, -label, 0.1 * label, 1);
    EXPECT_EQ(parse(text), expected);
  }
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

TEST_F(LogParsingTest, AFarEarlierLabelDoesNotExhaustMemory) {
  // An appended log whose second run starts two billion frames earlier asks
  // for two billion new entries at the front. Whatever the reader makes of
  // it, reading such a file must not end the host.
  // Nor may a staircase of labels, each a little less than a million before
  // the one above it: no more entries than one clip may have.
  std::string text = logLine(2000000000, 1, 0, 0, 1) + logLine(5, 2, 0, 0, 1);
  for (int step = 1; step <= 2000; ++step) text += logLine(2000000000 - step * 999990, 3, 0, 0, 1);
  EXPECT_EXIT(
      runWithLimitedMemory(std::size_t{1} << 30, [&] { return series(text).size() <= 1000000; }),
      ::testing::ExitedWithCode(0), "");
}

TEST(LogFileTest, OnlyANewFileTimeIsReadAndOnlyThreeEntriesOrMoreArePlanned) {
  CPlanningRun run(64, 48);
  run.plan(shakyLogText(10, 1), 1000000);
  ASSERT_EQ(run.data().plannedFrameCount, 11);
  ASSERT_EQ(run.windows().created, 1);
  const RFramePlan* plan = run.data().framePlans;

  // Other content with the same time stamp (and other settings) is not read.
  run.data().smoothHorizontalPanning = 0;
  run.plan(shakyLogText(30, 2, 5.0), 1000000);
  EXPECT_EQ(run.windows().created, 1);
  EXPECT_EQ(run.data().plannedFrameCount, 11);
  EXPECT_EQ(run.data().framePlans, plan);

  // A new time stamp makes the next start read and plan again.
  setLastWriteTime(run.logPath(), 1000001);
  run.start();
  EXPECT_EQ(run.windows().created, 2);
  EXPECT_EQ(run.data().plannedFrameCount, 31);

  // Two entries or fewer are not planned, and the previous plan is gone.
  run.plan(shakyLogText(1, 1), 1000002);  // entries 0 and 1
  EXPECT_EQ(run.windows().created, 2);
  EXPECT_EQ(run.data().framePlans, nullptr);
  EXPECT_EQ(run.data().plannedFrameCount, -1);

  run.plan(shakyLogText(2, 1));  // three entries are enough
  EXPECT_EQ(run.windows().created, 3);
  EXPECT_EQ(run.data().plannedFrameCount, 3);
}

}  // namespace
