#include "ui/web_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/environment.h"

namespace {

namespace fs = std::filesystem;

// A desktop whose handler for web pages writes down what it was asked to open.
TEST(WebPageTest, TheDesktopHandlerGetsThePageAndFailuresStaySilent) {
  const fs::path folder = fs::path(QV_TEST_OUTPUT_DIR) / "web page";
  fs::remove_all(folder);
  fs::create_directories(folder / "bin");
  const fs::path opened = folder / "opened.txt";
  const fs::path handler = folder / "bin" / "xdg-open";
  std::ofstream(handler) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
  fs::permissions(handler, fs::perms::owner_all);
  const fs::path page = folder / "Quiventa.html";
  std::ofstream(page) << "<html></html>";

  const std::string path = platform::getEnvironmentVariable("PATH").value_or("/usr/bin:/bin");
  platform::setEnvironmentVariable("PATH", (folder / "bin").string().c_str());
  EXPECT_FALSE(visitWebPage((folder / "missing.html").string()));
  EXPECT_TRUE(visitWebPage(page.string()));
  platform::setEnvironmentVariable("PATH", "/nonexistent");
  EXPECT_FALSE(visitWebPage(page.string()));
  platform::setEnvironmentVariable("PATH", path.c_str());

  // The handler runs detached: wait for it to write.
  std::string text;
  for (int i = 0; i < 500 && text.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(opened);
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  EXPECT_EQ(text, page.string());
  EXPECT_EQ(fs::path(quiventaManualPath()).filename(), "Quiventa.html");
}

}  // namespace
