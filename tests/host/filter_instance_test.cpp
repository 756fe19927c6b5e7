#include "host/filter_instance.h"

#include <gtest/gtest.h>

#include <string>

#include "host/filter_module.h"
#include "host/filter_settings.h"
#include "host/host_error.h"
#include "host/settings_table.h"

namespace {

// The delay and the statement's exact text show in the end-to-end runs;
// what they do not use is here.
TEST(FilterInstanceTest, SettingsTravelOnlyThroughTheStatement) {
  host::CFilterModule module(QV_STAMP_MODULE_PATH);
  host::CFilterInstance instance(module);
  host::CFilterSettings settings(instance);
  // Backslashes are doubled in the statement and single in the field.
  settings.setField(host::kLogFilePathPosition, "C:\\logs\\q.log", "logFilePath");
  EXPECT_NE(settings.statement().find("|C:\\\\logs\\\\q.log|"), std::string::npos);
  EXPECT_EQ(settings.fields()[host::kLogFilePathPosition - 1], "C:\\logs\\q.log");
  EXPECT_THROW(settings.applyUserStatement("Config(\"12|1\")"), host::CHostError);
  EXPECT_THROW(settings.setField(62, "1", "beyond"), host::CHostError);
}

}  // namespace
