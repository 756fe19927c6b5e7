// The callback contract as the stamp filter sees it, driven directly through
// the module, instance and settings classes.
#include "host/filter_instance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "host/host_error.h"
#include "host/settings_table.h"

namespace fs = std::filesystem;

namespace {

class FilterInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = (fs::temp_directory_path() / ("qv-stamp-" + std::to_string(getpid()) + ".log")).string();
    fs::remove(log_);
    setenv("QV_STAMP_CALLBACKS", log_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QV_STAMP_CALLBACKS");
    fs::remove(log_);
    fs::remove(log_ + ".motion");
  }
  std::vector<std::string> lines() const {
    std::ifstream file(log_);
    std::vector<std::string> result;
    for (std::string line; std::getline(file, line);) result.push_back(line);
    return result;
  }

  host::CFilterModule module_{QV_STAMP_MODULE_PATH};
  std::string log_;
};

TEST_F(FilterInstanceTest, SettingsTravelOnlyThroughTheStatement) {
  EXPECT_STREQ(module_.definition().name, "Stamp test filter");
  host::CFilterInstance instance(module_);
  host::CFilterSettings settings(instance);
  EXPECT_EQ(settings.statement().rfind("Config(\"12|1|30|4|", 0), 0u);
  EXPECT_EQ(settings.fields().size(), 61u);
  EXPECT_EQ(settings.outputDelayFrames(), 0);

  settings.setField(host::kFutureFramesPosition, "7", "futureFrames");
  EXPECT_EQ(settings.outputDelayFrames(), 0) << "future frames are not in use yet";
  settings.setField(host::kUseFutureFramesPosition, "1", "useFutureFrames");
  EXPECT_EQ(settings.outputDelayFrames(), 7);

  // Backslashes are doubled in the statement and single in the field.
  settings.setField(host::kLogFilePathPosition, "C:\\logs\\q.log", "logFilePath");
  EXPECT_NE(settings.statement().find("|C:\\\\logs\\\\q.log|"), std::string::npos);
  EXPECT_EQ(settings.fields()[host::kLogFilePathPosition - 1], "C:\\logs\\q.log");

  settings.applyUserStatement(
      "Config(\"12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|"
      "5|40|300|4|/tmp/x.log|0|0|0|0|0|0|0|0|0|0|0|0|0|1|15|15|5|15|0|1|"
      "30|30|0|0|0|0|1|0|0|10|1|15|1000|1|88\")");
  EXPECT_EQ(settings.outputDelayFrames(), 30);
  EXPECT_THROW(settings.applyUserStatement("Config(\"12|1\")"), host::CHostError);
  EXPECT_THROW(settings.setField(62, "1", "beyond"), host::CHostError);
}

TEST_F(FilterInstanceTest, AnOpenRunIsEndedWhenTheInstanceGoes) {
  {
    host::CFilterInstance instance(module_);
    host::CFilterSettings(instance).setField(19, "0", "videoOutput");
    instance.beginRun(32, 32);
    EXPECT_EQ(instance.destination().w, 8);
    EXPECT_FALSE(instance.hasDeviceContext());
  }
  const std::vector<std::string> log = lines();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3], "endProc frames=0");
  EXPECT_EQ(log[4], "deinitProc");
}

TEST(FilterModuleTest, RefusesFilesThatAreNoModule) {
  const std::string text = (fs::temp_directory_path() / "qv-not-a-module.vdf").string();
  std::ofstream(text) << "text";
  try {
    host::CFilterModule module(text);
    ADD_FAILURE() << "loaded";
  } catch (const host::CHostError& error) {
    EXPECT_EQ(error.kind(), host::FailureKind::kRuntime);
    EXPECT_NE(std::string(error.what()).find("cannot load filter module " + text),
              std::string::npos);
  }
  fs::remove(text);
  EXPECT_THROW(host::CFilterModule("/nonexistent/Quiventa.vdf"), host::CHostError);
}

}  // namespace
