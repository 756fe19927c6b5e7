#include "platform/environment.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>

namespace platform {
namespace {

// Large enough that no dialog is shrunk for a small screen.
constexpr int kDefaultDesktopWidth = 1920;

std::atomic<int> desktopWidth{kDefaultDesktopWidth};

// An exported but empty variable means "not configured" for the folders.
std::optional<std::string> nonEmptyVariable(const char* name) {
  std::optional<std::string> value = getEnvironmentVariable(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> getEnvironmentVariable(const char* name) {
  if (name == nullptr) return std::nullopt;
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void setEnvironmentVariable(const char* name, const char* value) {
  if (name == nullptr) return;
  if (value == nullptr) {
    unsetEnvironmentVariable(name);
    return;
  }
  ::setenv(name, value, 1);
}

void unsetEnvironmentVariable(const char* name) {
  if (name != nullptr) ::unsetenv(name);
}

std::optional<std::string> localAppDataFolder() {
  if (std::optional<std::string> xdg = nonEmptyVariable("XDG_DATA_HOME")) return xdg;
  if (std::optional<std::string> home = nonEmptyVariable("HOME")) {
    return *home + "/.local/share";
  }
  return std::nullopt;
}

std::string fallbackDataFolder() {
  std::string folder = nonEmptyVariable("TMPDIR").value_or("/tmp");
  if (folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

std::string moduleDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&moduleDirectory), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  const std::string path = info.dli_fname;
  const std::size_t slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash);
}

bool displayNamed() {
  return nonEmptyVariable("DISPLAY") || nonEmptyVariable("WAYLAND_DISPLAY") ||
         nonEmptyVariable("QT_QPA_PLATFORM");
}

int desktopHorizontalResolution() { return desktopWidth.load(std::memory_order_relaxed); }

void setDesktopHorizontalResolution(int pixels) {
  // A width below one pixel is no screen; keep the last sensible value.
  if (pixels > 0) desktopWidth.store(pixels, std::memory_order_relaxed);
}

}  // namespace platform
