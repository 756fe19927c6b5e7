#include "host/log_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/host_error.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

class LogCheckTest : public ::testing::Test {
 protected:
  std::string write(const std::string& text) {
    const std::string path = (dir_ / "clip.log").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string line(const std::string& label, const char* values = "0.50\t0.00\t0.000\t1.0") {
    return label + "\t" + values + "\r\n";
  }
  testing_support::CScratchFolder scratch_;
  const fs::path dir_ = scratch_.folder();
};

// Fields: frame n needs both of its fields; field 0A is the reference.
TEST_F(LogCheckTest, AnInterlacedFrameIsCoveredByBothItsFields) {
  const host::RLogFacts facts = host::readPlannableLog(
      write(line("0B") + line("1A") + line("1B") + line("2A") + line("3A") + line("3B")), false);
  const bool covered[] = {true, true, false, true, false};
  for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(facts.covers(frame, true), covered[frame]);
  EXPECT_EQ(facts.frameRange(true), "frames 0 to 3");
}

TEST_F(LogCheckTest, RefusesValuesNoCameraMotionGives) {
  const std::string three = line("1") + line("2") + line("3");
  const struct {
    const char* values;
    bool rollingShutter;
    const char* message;  // empty: accepted
  } cases[] = {
      {"1e300\t0\t0\t1", false, "line 4: pan x 1e+300"},  // stalled planning at its cap
      {"0\t0\t-2e9\t1", false, "rotation"},
      {"0\t0\t0\t1e-12", false, "zoom"},
      {"0\t0\t0\t1\t0\t3e12\t0\t1", true, "top-edge pan y"},
      {"0\t0\t0\t1\t0\t3e12\t0\t1", false, ""},  // top edges read only with rolling shutter
      {"-9e8\t0\t359\t2.5", false, ""},
  };
  for (const auto& c : cases) {
    try {
      host::readPlannableLog(write(three + line("4", c.values)), c.rollingShutter);
      EXPECT_STREQ(c.message, "") << c.values;
    } catch (const host::CHostError& error) {
      EXPECT_NE(*c.message, '\0') << error.what();
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
