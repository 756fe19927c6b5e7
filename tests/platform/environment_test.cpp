#include "platform/environment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace platform {
namespace {

// Restores one environment variable, set or unset, at the end of a scope.
class CScopedVariable {
 public:
  explicit CScopedVariable(const char* name) : name_(name), saved_(getEnvironmentVariable(name)) {}
  ~CScopedVariable() {
    if (saved_) {
      setEnvironmentVariable(name_, saved_->c_str());
    } else {
      unsetEnvironmentVariable(name_);
    }
  }
  CScopedVariable(const CScopedVariable&) = delete;
  CScopedVariable& operator=(const CScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(EnvironmentTest, LocalAppDataFolderPrefersXdgThenHome) {
  CScopedVariable xdg("XDG_DATA_HOME");
  CScopedVariable home("HOME");

  setEnvironmentVariable("XDG_DATA_HOME", "/xdg/data");
  setEnvironmentVariable("HOME", "/home/user");
  EXPECT_EQ(localAppDataFolder(), std::optional<std::string>("/xdg/data"));

  setEnvironmentVariable("XDG_DATA_HOME", "");
  EXPECT_EQ(localAppDataFolder(), std::optional<std::string>("/home/user/.local/share"));
  unsetEnvironmentVariable("XDG_DATA_HOME");
  EXPECT_EQ(localAppDataFolder(), std::optional<std::string>("/home/user/.local/share"));

  setEnvironmentVariable("HOME", "");
  EXPECT_EQ(localAppDataFolder(), std::nullopt);
  unsetEnvironmentVariable("HOME");
  EXPECT_EQ(localAppDataFolder(), std::nullopt);
  EXPECT_EQ(getEnvironmentVariable("HOME"), std::nullopt);
}

TEST(EnvironmentTest, FallbackDataFolderEndsWithSeparator) {
  CScopedVariable tmpdir("TMPDIR");
  setEnvironmentVariable("TMPDIR", "/var/scratch");
  EXPECT_EQ(fallbackDataFolder(), "/var/scratch/");
  setEnvironmentVariable("TMPDIR", "/var/scratch/");
  EXPECT_EQ(fallbackDataFolder(), "/var/scratch/");
  setEnvironmentVariable("TMPDIR", "");
  EXPECT_EQ(fallbackDataFolder(), "/tmp/");
  unsetEnvironmentVariable("TMPDIR");
  EXPECT_EQ(fallbackDataFolder(), "/tmp/");
}

TEST(EnvironmentTest, DesktopResolutionIsSettableAndIgnoresNonsense) {
  const int saved = desktopHorizontalResolution();
  setDesktopHorizontalResolution(1024);
  EXPECT_EQ(desktopHorizontalResolution(), 1024);
  setDesktopHorizontalResolution(0);
  setDesktopHorizontalResolution(-5);
  EXPECT_EQ(desktopHorizontalResolution(), 1024);
  setDesktopHorizontalResolution(saved);
}

}  // namespace
}  // namespace platform
