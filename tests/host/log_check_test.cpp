#include "host/log_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host/host_error.h"

namespace fs = std::filesystem;

namespace {

class LogCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qv-check-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& text) {
    const std::string path = (dir_ / "clip.log").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string line(const std::string& label, const char* values = "0.50\t0.00\t0.000\t1.0") {
    return label + "\t" + values + "\r\n";
  }
  fs::path dir_;
};

TEST_F(LogCheckTest, CoversTheFramesTheReaderGivesMotion) {
  // Labels 1, 2, 4, 5: entry 0 is frame 0, frame 3 has no line.
  host::RLogFacts facts = host::readPlannableLog(
      write(line("2") + line("1") + line("4") + line("5") + line("x", "")), false);
  EXPECT_EQ(facts.entries, 6);
  for (long long frame : {0, 1, 2, 4, 5}) EXPECT_TRUE(facts.covers(frame, false)) << frame;
  for (long long frame : {-1, 3, 6}) EXPECT_FALSE(facts.covers(frame, false)) << frame;
  EXPECT_EQ(facts.frameRange(false), "frames 0 to 5");

  // Fields: frame n needs both of its fields; field 0A is the reference.
  facts = host::readPlannableLog(
      write(line("0B") + line("1A") + line("1B") + line("2A") + line("3A") + line("3B")), false);
  EXPECT_TRUE(facts.covers(0, true));
  EXPECT_TRUE(facts.covers(1, true));
  EXPECT_FALSE(facts.covers(2, true));
  EXPECT_TRUE(facts.covers(3, true));
  EXPECT_EQ(facts.frameRange(true), "frames 0 to 3");
}

TEST_F(LogCheckTest, RefusesLogsPassTwoCouldNotPlan) {
  const std::string three = line("1") + line("2") + line("3");
  const struct {
    std::string text;
    bool rollingShutter;
    const char* message;
  } cases[] = {
      {"", false, "holds no plan"},
      {"      1\t0.5\t0\t0\t1\r      2\t0.5\t0\t0\t1\r      3\t0.5\t0\t0\t1\r", false,
       "holds no plan"},  // CR-only line ends: no line at all
      {line("1") + line("1"), false, "holds no plan"},  // two entries
      {three + line("4", "1e300\t0\t0\t1"), false, "line 4: pan x 1e+300"},
      {three + line("4", "0\t0\t-2e9\t1"), false, "rotation"},
      {three + line("4", "0\t0\t0\t1e-12"), false, "zoom"},
      {three + line("4", "0\t0\t0\t1\t0\t3e12\t0\t1"), true, "top-edge pan y"},
  };
  for (const auto& c : cases) {
    try {
      host::readPlannableLog(write(c.text), c.rollingShutter);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const host::CHostError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
  // Top-edge values count only when they are read.
  EXPECT_NO_THROW(
      host::readPlannableLog(write(three + line("4", "0\t0\t0\t1\t0\t3e12\t0\t1")), false));

  mkfifo((dir_ / "fifo.log").c_str(), 0600);
  for (const std::string& path : {(dir_ / "fifo.log").string(), std::string("/dev/zero")}) {
    EXPECT_THROW(host::readPlannableLog(path, false), host::CHostError) << path;
  }
}

}  // namespace
