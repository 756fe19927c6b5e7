#include "ui/web_page.h"

#include <filesystem>
#include <system_error>

#include "platform/environment.h"
#include "platform/program_start.h"

std::string quiventaManualPath() {
  return platform::moduleDirectory() + platform::kPathSeparator + "Quiventa.html";
}

bool visitWebPage(const std::string& page) {
  std::error_code error;
  if (page.empty() || !std::filesystem::is_regular_file(page, error)) return false;
  return platform::startDetachedProgram({"xdg-open", page});
}
