// Keeps the suites away from the user's real data folder (the default log
// path of every instance the tests create lies in a temporary folder) and
// from the user's desktop (no display is named, so no dialog opens there).
// Runs on three threads unless the developer says otherwise, so that every
// suite that drives the passes end to end drives the threaded code too
// (with one, the threads' own paths would only be taken where a test asks).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class CDataFolderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(display);
    setenv("NUMBER_OF_PROCESSORS", "3", 0);
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-data-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      folder_ = pattern;
      setenv("XDG_DATA_HOME", folder_.c_str(), 1);
    }
  }
  void TearDown() override {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::string folder_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new CDataFolderEnvironment);

}  // namespace
