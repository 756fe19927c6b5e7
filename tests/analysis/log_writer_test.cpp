#include "analysis/log_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"
#include "tests/support/log_files.h"
#include "tests/support/planning_fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CRecordingMessageBoxes;
using testing_support::CScratchFolder;
using testing_support::writeTextFile;

// The exact text of a line: widths, decimals, field letters, the top-edge
// set and the scene mark, ended by CR LF.
TEST(LogLineTest, FormatsEveryKindOfLine) {
  struct RCase {
    int interlaced, rolling;
    long frame;
    RGlobalMotionInfo whole, top;
    int newScene;
    const char* expected;
  };
  const RGlobalMotionInfo none{0, 0, 0, 1};
  // clang-format off
  const RCase cases[] = {
      {0, 0, 5, {1.234, -0.5, 0.1234, 1.000123}, none, 0,
       "      5\t   1.23\t  -0.50\t  0.123\t1.00012\r\n"},
      {0, 0, 1234567, {-123.456, 45.678, -12.3456, 0.98765432}, none, 0,
       "1234567\t-123.46\t  45.68\t-12.346\t0.98765\r\n"},
      // Wider numbers widen the line; nothing is cut.
      {0, 0, 12345678, {12345.5, 0, 0, 1}, none, 0,
       "12345678\t12345.50\t   0.00\t  0.000\t1.00000\r\n"},
      {1, 0, 24, {0.25, 0.13, 0, 1}, none, 0, "    12A\t   0.25\t   0.13\t  0.000\t1.00000\r\n"},
      {1, 0, 25, {0.25, 0.13, 0, 1}, none, 0, "    12B\t   0.25\t   0.13\t  0.000\t1.00000\r\n"},
      {0, 1, 7, {1.5, -2.25, 0.5, 1.001}, {3.0, -4.5, 1.25, 1.002}, 0,
       "      7\t   1.50\t  -2.25\t  0.500\t1.00100\t   3.00\t  -4.50\t  1.250\t1.00200\r\n"},
      {0, 0, 3, none, none, 1, "      3\t   0.00\t   0.00\t  0.000\t1.00000\tnew_scene\r\n"},
      {0, 1, 3, none, none, 1,
       "      3\t   0.00\t   0.00\t  0.000\t1.00000\t   0.00\t   0.00\t  0.000\t1.00000"
       "\tnew_scene\r\n"},
  };
  // clang-format on
  testing_support::CFilterInstance instance;
  for (const RCase& c : cases) {
    instance.data().interlaced = c.interlaced;
    instance.data().rollingShutter = c.rolling;
    RFrameMotion m;
    m.whole = c.whole;
    m.top = c.top;
    m.bottom = RGlobalMotionInfo{99, 99, 99, 99};  // never written
    m.newScene = c.newScene;
    EXPECT_EQ(formatLogLine(instance.data(), c.frame, m), c.expected);
  }
}

std::string readAll(const std::string& path) {
  std::string content;
  platform::readWholeFile(path, &content);
  return content;
}

// One run after the other on one instance, as a host makes them: how the
// first line treats the file, and what happens to lines that find no file.
TEST(LogWriterTest, RunsTruncateAppendHoldAndRetry) {
  CScratchFolder folder;
  CRecordingMessageBoxes boxes(platform::MessageBoxAnswer::kOk);
  testing_support::CFilterInstance instance;
  InstanceData& data = instance.data();
  data.videoOutput = 0;
  const std::string log = folder.path("pass1.log");
  *data.logFilePath = log;
  // Each start closes the log the run before left open.
  auto run = [&](const std::vector<std::string>& lines) {
    startPass1(data, 160, 120);
    for (const std::string& line : lines) writeLogLine(data, line);
  };

  // A run without lines (of one frame) leaves an older log as it was.
  writeTextFile(log, "an older run\r\n");
  run({});
  EXPECT_EQ(readAll(log), "an older run\r\n");
  run({"1\r\n", "2\r\n"});
  EXPECT_EQ(readAll(log), "1\r\n2\r\n");

  // Appended runs are separated by an empty line, on a new file too.
  data.appendToLogFile = 1;
  run({"3\r\n"});
  EXPECT_EQ(readAll(log), "1\r\n2\r\n\r\n3\r\n");
  fs::remove(log);
  run({"4\r\n"});
  EXPECT_EQ(readAll(log), "\r\n4\r\n");
  data.appendToLogFile = 0;

  // An interlaced run holds its first line (the lone field B) and opens the
  // file only with the second; a new run drops a line still held.
  data.interlaced = 1;
  startPass1(data, 160, 120);
  writeLogLine(data, "held\r\n");
  EXPECT_EQ(data.logFileHandle, platform::kInvalidFileHandle);
  EXPECT_EQ(readAll(log), "\r\n4\r\n");
  run({"0B\r\n", "1A\r\n", "1B\r\n"});
  EXPECT_EQ(readAll(log), "0B\r\n1A\r\n1B\r\n");
  data.interlaced = 0;
  EXPECT_TRUE(boxes.messages().empty());

  // A path that cannot be written is reported once per run; every line
  // retries, and once the file can be made the latest held line comes first.
  const fs::path later = folder.folder() / "later";
  *data.logFilePath = (later / "pass1.log").string();
  startPass1(data, 160, 120);
  for (const char* line : {"5\r\n", "6\r\n", "7\r\n"}) writeLogLine(data, line);
  ASSERT_EQ(boxes.messages().size(), 1u);
  EXPECT_EQ(boxes.messages()[0].text, "Cannot write to log file!");
  fs::create_directory(later);
  writeLogLine(data, "8\r\n");
  platform::closeFile(data.logFileHandle);
  data.logFileHandle = platform::kInvalidFileHandle;
  EXPECT_EQ(readAll((later / "pass1.log").string()), "7\r\n8\r\n");
  fs::remove_all(later);
  run({"9\r\n", "10\r\n"});
  EXPECT_EQ(boxes.messages().size(), 2u);
  endProc(&instance.fa(), nullptr);
}

}  // namespace
