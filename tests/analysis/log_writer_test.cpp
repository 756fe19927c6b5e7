#include "analysis/log_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/message_box.h"
#include "plugin/common/instance_data.h"
#include "plugin/filter/end_callback.h"
#include "plugin/filter/start_callback.h"
#include "tests/support/filter_instance.h"

namespace {

namespace fs = std::filesystem;

RFrameMotion motion(double panX, double panY, double rotation, double zoom) {
  RFrameMotion m;
  m.whole = RGlobalMotionInfo{panX, panY, rotation, zoom};
  return m;
}

// ---------------------------------------------------------------------------
// Line format.

class LogLineTest : public ::testing::Test {
 protected:
  LogLineTest() : data_(instance_.data()) {}
  testing_support::CFilterInstance instance_;
  InstanceData& data_;
};

TEST_F(LogLineTest, ProgressiveLine) {
  EXPECT_EQ(formatLogLine(data_, 5, motion(1.234, -0.5, 0.1234, 1.000123)),
            "      5\t   1.23\t  -0.50\t  0.123\t1.00012\r\n");
  EXPECT_EQ(formatLogLine(data_, 1234567, motion(-123.456, 45.678, -12.3456, 0.98765432)),
            "1234567\t-123.46\t  45.68\t-12.346\t0.98765\r\n");
  // Wider numbers widen the line; nothing is cut.
  EXPECT_EQ(formatLogLine(data_, 12345678, motion(12345.5, 0, 0, 1)),
            "12345678\t12345.50\t   0.00\t  0.000\t1.00000\r\n");
}

TEST_F(LogLineTest, InterlacedLabelsCarryTheFrameAndTheFieldLetter) {
  data_.interlaced = 1;
  const RFrameMotion m = motion(0.25, 0.13, 0, 1);
  EXPECT_EQ(formatLogLine(data_, 24, m), "    12A\t   0.25\t   0.13\t  0.000\t1.00000\r\n");
  EXPECT_EQ(formatLogLine(data_, 25, m), "    12B\t   0.25\t   0.13\t  0.000\t1.00000\r\n");
  EXPECT_EQ(formatLogLine(data_, 1, m).substr(0, 8), "     0B\t");
}

TEST_F(LogLineTest, RollingShutterAddsTheTopEdgeSet) {
  data_.rollingShutter = 1;
  RFrameMotion m = motion(1.5, -2.25, 0.5, 1.001);
  m.top = RGlobalMotionInfo{3.0, -4.5, 1.25, 1.002};
  m.bottom = RGlobalMotionInfo{99, 99, 99, 99};  // not written
  EXPECT_EQ(formatLogLine(data_, 7, m),
            "      7\t   1.50\t  -2.25\t  0.500\t1.00100\t   3.00\t  -4.50\t  1.250\t1.00200\r\n");
}

TEST_F(LogLineTest, NewSceneSuffixFollowsTheNeutralValues) {
  RFrameMotion m = motion(0, 0, 0, 1);
  m.newScene = 1;
  EXPECT_EQ(formatLogLine(data_, 3, m),
            "      3\t   0.00\t   0.00\t  0.000\t1.00000\tnew_scene\r\n");
  data_.rollingShutter = 1;
  m.top = RGlobalMotionInfo{0, 0, 0, 1};
  EXPECT_EQ(formatLogLine(data_, 3, m),
            "      3\t   0.00\t   0.00\t  0.000\t1.00000\t   0.00\t   0.00\t  0.000\t1.00000"
            "\tnew_scene\r\n");
}

// ---------------------------------------------------------------------------
// Opening and writing.

std::string readAll(const fs::path& path) {
  std::string content;
  platform::readWholeFile(path.string(), &content);
  return content;
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class LogWriterTest : public ::testing::Test {
 protected:
  LogWriterTest() : data_(instance_.data()) {
    std::string pattern = (fs::temp_directory_path() / "qv-log-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    *data_.logFilePath = (folder_ / "pass1.log").string();
    data_.videoOutput = 0;
    startPass1(data_, 160, 120);
    previousHandler_ = platform::setMessageBoxHandler(
        [this](const std::string& text, const std::string&, platform::MessageBoxButtons buttons) {
          messages_.push_back(text);
          EXPECT_EQ(buttons, platform::MessageBoxButtons::kOk);
          return platform::MessageBoxAnswer::kOk;
        });
  }
  ~LogWriterTest() override {
    endProc(&instance_.fa(), nullptr);
    platform::setMessageBoxHandler(previousHandler_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path logPath() const { return *data_.logFilePath; }
  void closeLog() {
    platform::closeFile(data_.logFileHandle);
    data_.logFileHandle = platform::kInvalidFileHandle;
  }

  testing_support::CFilterInstance instance_;
  InstanceData& data_;
  fs::path folder_;
  std::vector<std::string> messages_;
  platform::MessageBoxHandler previousHandler_;
};

TEST_F(LogWriterTest, FirstLineTruncatesAnExistingFile) {
  writeText(logPath(), "an older run\r\nwith two lines\r\n");
  writeLogLine(data_, "line 1\r\n");
  writeLogLine(data_, "line 2\r\n");
  closeLog();
  EXPECT_EQ(readAll(logPath()), "line 1\r\nline 2\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LogWriterTest, AppendModeSeparatesRunsWithAnEmptyLine) {
  data_.appendToLogFile = 1;
  writeText(logPath(), "old\r\n");
  writeLogLine(data_, "a\r\n");
  writeLogLine(data_, "b\r\n");
  closeLog();
  EXPECT_EQ(readAll(logPath()), "old\r\n\r\na\r\nb\r\n");

  // A missing file is created, with the separator all the same.
  fs::remove(logPath());
  startPass1(data_, 160, 120);
  writeLogLine(data_, "c\r\n");
  closeLog();
  EXPECT_EQ(readAll(logPath()), "\r\nc\r\n");
}

TEST_F(LogWriterTest, InterlacedRunHoldsItsFirstLine) {
  data_.interlaced = 1;
  writeText(logPath(), "keep\r\n");
  writeLogLine(data_, "    0B\r\n");
  EXPECT_EQ(data_.logFileHandle, platform::kInvalidFileHandle);
  EXPECT_EQ(readAll(logPath()), "keep\r\n");
  writeLogLine(data_, "    1A\r\n");
  writeLogLine(data_, "    1B\r\n");
  closeLog();
  EXPECT_EQ(readAll(logPath()), "    0B\r\n    1A\r\n    1B\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LogWriterTest, UnwritablePathIsReportedOncePerRunAndTheLatestLineIsKept) {
  const fs::path folder = folder_ / "later";
  *data_.logFilePath = (folder / "pass1.log").string();
  writeLogLine(data_, "1\r\n");
  writeLogLine(data_, "2\r\n");
  writeLogLine(data_, "3\r\n");
  EXPECT_EQ(messages_, std::vector<std::string>{"Cannot write to log file!"});
  ASSERT_NE(data_.pendingLogLine, nullptr);
  EXPECT_EQ(*data_.pendingLogLine, "3\r\n");

  // Every line retries; once the file can be made the held line comes first.
  fs::create_directory(folder);
  writeLogLine(data_, "4\r\n");
  writeLogLine(data_, "5\r\n");
  closeLog();
  EXPECT_EQ(readAll(folder / "pass1.log"), "3\r\n4\r\n5\r\n");
  EXPECT_EQ(messages_.size(), 1u);

  // A new run may report again.
  fs::remove_all(folder);
  startPass1(data_, 160, 120);
  writeLogLine(data_, "6\r\n");
  writeLogLine(data_, "7\r\n");
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(LogWriterTest, StartOfARunDropsAHeldLine) {
  data_.interlaced = 1;
  writeLogLine(data_, "held\r\n");
  startPass1(data_, 160, 120);
  writeLogLine(data_, "first\r\n");
  writeLogLine(data_, "second\r\n");
  closeLog();
  EXPECT_EQ(readAll(logPath()), "first\r\nsecond\r\n");
}

}  // namespace
