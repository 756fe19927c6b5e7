// The settings as the stamp filter sees them, driven directly through the
// module, instance and settings classes.
#include "host/filter_instance.h"

#include <gtest/gtest.h>

#include <string>

#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "host/host_error.h"
#include "host/settings_table.h"

namespace {

TEST(FilterInstanceTest, SettingsTravelOnlyThroughTheStatement) {
  host::CFilterModule module(QV_STAMP_MODULE_PATH);
  host::CFilterInstance instance(module);
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

}  // namespace
