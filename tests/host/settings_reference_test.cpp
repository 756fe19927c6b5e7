#include "host/settings_reference.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_io.h"

namespace {

// The README's settings section is made from the schema; after a change of
// the schema, `quiventa-docs --update-readme README.md` brings it up to date.
TEST(SettingsReferenceTest, TheReadmeSectionIsTheSchemas) {
  std::string readme;
  ASSERT_TRUE(platform::readWholeFile(QV_SOURCE_DIR "/README.md", &readme));
  const std::size_t begin = readme.find(host::kReadmeSectionBegin);
  const std::size_t end = readme.find(host::kReadmeSectionEnd);
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  const std::string section =
      readme.substr(begin, end - begin + std::string(host::kReadmeSectionEnd).size() + 1);
  EXPECT_EQ(section, host::readmeSettingsSection())
      << "run: build/host/quiventa-docs --update-readme README.md";
}

}  // namespace
