#include "host/config_statement.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string settingsOf(const std::string& text) {
  std::string error;
  std::optional<std::string> settings = host::settingsStringFromStatement(text, &error);
  EXPECT_TRUE(settings.has_value()) << text << ": " << error;
  return settings.value_or("");
}

std::string errorOf(const std::string& text) {
  std::string error;
  EXPECT_FALSE(host::settingsStringFromStatement(text, &error).has_value()) << text;
  return error;
}

TEST(ConfigStatementTest, ReadsTheStringLiteralLikeTheScriptInterpreter) {
  EXPECT_EQ(settingsOf("Config(\"12|1|30\")"), "12|1|30");
  EXPECT_EQ(settingsOf("  Config ( \"12|C:\\\\Users\\\\me\\\\q.log|1\" ) ;  \n"),
            "12|C:\\Users\\me\\q.log|1");
  EXPECT_EQ(settingsOf("Config(\"a\\\"b\\tc\\nd\\'e\")"), "a\"b\tc\nd'e");
  EXPECT_EQ(settingsOf("VirtualDub.video.filters.instance[0].Config(\"12|1\");"), "12|1");
  // A bare string is the settings string itself; nothing is undone.
  EXPECT_EQ(settingsOf(" 12|1|C:\\\\x "), "12|1|C:\\\\x");
}

TEST(ConfigStatementTest, RefusesMalformedStatementsWithTheReason) {
  EXPECT_NE(errorOf("").find("empty"), std::string::npos);
  EXPECT_NE(errorOf("Config(\"12|1").find("no closing double quote"), std::string::npos);
  EXPECT_NE(errorOf("Config(\"12|1\"").find("expected ')'"), std::string::npos);
  EXPECT_NE(errorOf("Config 12|1").find("expected '('"), std::string::npos);
  EXPECT_NE(errorOf("Config(12)").find("double quotes"), std::string::npos);
  EXPECT_NE(errorOf("Config(\"C:\\Users\")").find("unknown escape sequence \\U"),
            std::string::npos);
  EXPECT_NE(errorOf("Config(\"12\") x").find("unexpected text"), std::string::npos);
  EXPECT_NE(errorOf("Konfig(\"12\")").find("expected Config"), std::string::npos);
  EXPECT_NE(errorOf("Config(\"1\\02\")").find("\\0"), std::string::npos);
}

TEST(ConfigStatementTest, SplitsAndJoinsFieldsIncludingEmptyOnes) {
  const std::vector<std::string> fields = host::splitSettingsFields("12||3|");
  EXPECT_EQ(fields, (std::vector<std::string>{"12", "", "3", ""}));
  EXPECT_EQ(host::joinSettingsFields(fields), "12||3|");
  EXPECT_EQ(host::splitSettingsFields("").size(), 1u);
}

TEST(ConfigStatementTest, UserStringsNeedAKnownVersionItsFieldCountAndNumbers) {
  std::string error;
  std::vector<std::string> fields(61, "1");
  fields[0] = "12";
  fields[25] = "/tmp/x.log";
  EXPECT_TRUE(host::checkUserSettingsFields(fields, &error)) << error;

  fields[2] = "abc";
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
  EXPECT_EQ(error, "field 3 (blockSize) is \"abc\", not a whole number");
  fields[2] = "30";
  fields[39] = "1.5.1";
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
  EXPECT_EQ(error, "field 40 (extraZoom) is \"1.5.1\", not a decimal number");
  fields[39] = " 1.5";  // blanks after a bar are read over, as the filter does
  EXPECT_TRUE(host::checkUserSettingsFields(fields, &error)) << error;

  fields.pop_back();
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
  EXPECT_EQ(error, "format version 12 has 61 fields, the string has 60");
  fields.resize(37);
  // Whole strings assigned: GCC 12 at -O3 warns falsely (-Wrestrict) about a
  // literal assigned to an element of a resized vector.
  fields[0] = std::string("1");
  EXPECT_TRUE(host::checkUserSettingsFields(fields, &error)) << error;
  fields[0] = "13";
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
  EXPECT_NE(error.find("newer version"), std::string::npos);
  fields[0] = std::string("0");
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
  fields[0] = "v12";
  EXPECT_FALSE(host::checkUserSettingsFields(fields, &error));
}

}  // namespace
