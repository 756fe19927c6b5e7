#include "host/settings_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/config_statement.h"

namespace {

using host::RSettingInfo;

// The default settings string of the filter, path included.
std::vector<std::string> defaultFields() {
  return host::splitSettingsFields(
      "12|1|30|4|1|0|1|0|640|480|1|2|1|400|400|400|1500|4|1|1|2|5|40|300|4|/tmp/q.log|0|0|0|0|0|"
      "0|0|0|0|0|0|0|0|1|15|15|5|15|0|0|30|30|0|0|0|0|1|0|0|10|1|15|1000|1|88");
}

std::vector<std::string> with(std::vector<std::string> fields, const char* name,
                              const std::string& text) {
  fields[host::findSetting(name)->position - 1] = text;
  return fields;
}

TEST(SettingsTableTest, ValuesMustBeOfTheSettingsType) {
  std::string error;
  const RSettingInfo& blockSize = *host::findSetting("blockSize");
  EXPECT_EQ(host::fieldTextForValue(blockSize, "20", &error), "20");
  EXPECT_EQ(host::fieldTextForValue(blockSize, "+7", &error), "7");
  EXPECT_EQ(host::fieldTextForValue(blockSize, "-3", &error), "-3");
  for (const char* bad : {"abc", "", "2.5", "20x", "1e3", "99999999999"}) {
    EXPECT_FALSE(host::fieldTextForValue(blockSize, bad, &error)) << bad;
    EXPECT_NE(error.find("blockSize=" + std::string(bad)), std::string::npos) << error;
  }

  const RSettingInfo& rolling = *host::findSetting("rollingShutter");
  EXPECT_EQ(host::fieldTextForValue(rolling, "true", &error), "1");
  EXPECT_EQ(host::fieldTextForValue(rolling, "0", &error), "0");
  EXPECT_FALSE(host::fieldTextForValue(rolling, "2", &error));
  EXPECT_NE(error.find("0 or 1"), std::string::npos);

  const RSettingInfo& zoom = *host::findSetting("extraZoom");
  EXPECT_EQ(host::fieldTextForValue(zoom, "1.5", &error), "1.5");
  EXPECT_EQ(host::fieldTextForValue(zoom, "1e-2", &error), "0.01");
  for (const char* bad : {"inf", "nan", "1,5", "0x10", "1.5.2"}) {
    EXPECT_FALSE(host::fieldTextForValue(zoom, bad, &error)) << bad;
  }

  const RSettingInfo& log = *host::findSetting("logFilePath");
  EXPECT_EQ(host::fieldTextForValue(log, "/tmp/a b.log", &error), "/tmp/a b.log");
  EXPECT_FALSE(host::fieldTextForValue(log, "/tmp/a|b.log", &error));
}

TEST(SettingsTableTest, RefusesValuesTheFilterWouldMisbehaveOn) {
  EXPECT_TRUE(host::checkSettings(defaultFields()).errors.empty());
  EXPECT_TRUE(host::checkSettings(defaultFields()).warnings.empty());

  const struct {
    const char* name;
    const char* value;
  } refused[] = {
      {"blockSize", "0"},
      {"usePixels", "0"},
      {"scale", "-1"},
      {"differentialSearchRange", "-1"},
      {"initialSearchRange", "-5"},
      {"sourcePixelAspect", "0"},
      {"destPixelAspect", "-1.5"},
      {"extraZoom", "0"},
      {"previousFrames", "-1"},
      {"futureFrames", "10001"},
      {"maxCorrectionZoom", "-1"},
      {"edgeTransitionWidth", "-2"},
      {"edgeTransitionWidth", "2147483647"},  // overflowed the border arithmetic
      {"smoothRotation", "200000"},           // ran the smoothing to its cap
      {"logFilePath", ""},
      {"logFilePath", "a\"b"},
      {"logFilePath", "a|b"},
  };
  for (const auto& value : refused) {
    const host::RSettingsCheck check =
        host::checkSettings(with(defaultFields(), value.name, value.value));
    ASSERT_EQ(check.errors.size(), 1u) << value.name << "=" << value.value;
    EXPECT_EQ(check.errors[0].rfind(std::string(value.name) + "=" + value.value, 0), 0u)
        << check.errors[0];
  }

  // Sizes and margins only count when they are used.
  auto fields = with(defaultFields(), "destWidth", "0");
  EXPECT_TRUE(host::checkSettings(fields).errors.empty());
  EXPECT_EQ(host::checkSettings(with(fields, "sameDestAsSource", "0")).errors.size(), 1u);
  fields = with(defaultFields(), "ignoreOutsideTop", "-4");
  EXPECT_TRUE(host::checkSettings(fields).errors.empty());
  EXPECT_EQ(host::checkSettings(with(fields, "ignoreOutside", "1")).errors.size(), 1u);
  fields = with(defaultFields(), "ignoreInsideLeft", "-1");
  EXPECT_EQ(host::checkSettings(with(fields, "ignoreInside", "1")).errors.size(), 1u);

  // A field that is not a number at all.
  EXPECT_EQ(host::checkSettings(with(defaultFields(), "smoothZoom", "x")).errors.size(), 1u);
}

TEST(SettingsTableTest, WarnsAboutValuesOutsideTheDialogRanges) {
  const host::RSettingsCheck check = host::checkSettings(with(
      with(with(defaultFields(), "blockSize", "101"), "extraZoom", "0.005"), "resampling", "3"));
  EXPECT_TRUE(check.errors.empty());
  ASSERT_EQ(check.warnings.size(), 3u);
  EXPECT_EQ(check.warnings[0],
            "blockSize=101 is outside the dialog range 1 to 100 (used as given)");
  EXPECT_EQ(check.warnings[2],
            "extraZoom=0.005 is outside the dialog range 0.01 to 100 (used as given)");
  // pass is the command's business, and unchecked settings stay quiet.
  EXPECT_TRUE(
      host::checkSettings(with(with(defaultFields(), "pass", "3"), "rollingShutterAmount", "500"))
          .warnings.empty());
}

// The dialog's enabling rules, the pass aside: a changed setting that they
// would disable draws a warning naming what it depends on.
TEST(SettingsTableTest, ChangedSettingsWithoutEffectNameWhatTheyDependOn) {
  const struct {
    std::vector<std::pair<const char*, const char*>> set;
    const char* changed;
    const char* warning;  // "" for none
  } cases[] = {
      {{}, "destWidth", "destWidth has no effect while sameDestAsSource=1"},
      {{{"sameDestAsSource", "0"}}, "destWidth", ""},
      {{},
       "previousFrames",
       "previousFrames has no effect while usePreviousFrames=0 and useFutureFrames=0"},
      {{{"useFutureFrames", "1"}}, "previousFrames", ""},
      {{{"usePreviousFrames", "1"}},
       "edgeTransitionWidth",
       "edgeTransitionWidth has no effect while softBorders=0"},
      {{{"rollingShutter", "1"}},
       "deepAnalysisPercent",
       "deepAnalysisPercent has no effect while rollingShutter=1"},
      {{}, "interlacedProgressive", "interlacedProgressive has no effect while interlaced=0"},
      {{}, "rollingShutterAmount", "rollingShutterAmount has no effect while rollingShutter=0"},
      {{}, "blockSize", ""},  // only the pass would disable it
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields = defaultFields();
    for (const auto& [name, value] : c.set) fields = with(fields, name, value);
    const std::vector<std::string> warnings = host::settingsWithoutEffect(fields, {c.changed});
    EXPECT_EQ(warnings.empty() ? "" : warnings.front(), std::string(c.warning)) << c.changed;
  }
}

TEST(SettingsTableTest, ChecksOnlyThePositionsAnOlderStringHas) {
  std::vector<std::string> fields = defaultFields();
  fields.resize(37);
  fields[0] = std::string("1");  // not a literal: GCC 12 -O3 warns falsely (-Wrestrict)
  EXPECT_TRUE(host::checkSettings(fields).errors.empty());
  EXPECT_EQ(host::fieldCountOfVersion(1), 37);
  EXPECT_EQ(host::fieldCountOfVersion(5), 49);
  EXPECT_EQ(host::fieldCountOfVersion(12), 61);
}

}  // namespace
