#include "platform/environment.h"

#include <shlobj.h>
#include <windows.h>

#include <atomic>

#include "platform/module_resources.h"

namespace platform {
namespace {

// 0 until a caller sets the width: the screen is then asked each time, since
// the user may change the resolution while the host runs.
std::atomic<int> desktopWidthOverride{0};

}  // namespace

std::optional<std::string> getEnvironmentVariable(const char* name) {
  if (name == nullptr) return std::nullopt;
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) {
    // An empty variable also reports 0, but without an error.
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  // The variable may change between the two calls; retry until it fits.
  for (;;) {
    std::string value(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    if (length == 0) {
      return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                      : std::optional<std::string>(std::string());
    }
    if (length < size) {
      value.resize(length);
      return value;
    }
    size = length;
  }
}

void setEnvironmentVariable(const char* name, const char* value) {
  if (name != nullptr) SetEnvironmentVariableA(name, value);
}

void unsetEnvironmentVariable(const char* name) {
  if (name != nullptr) SetEnvironmentVariableA(name, nullptr);
}

std::optional<std::string> localAppDataFolder() {
  char folder[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::nullopt;
  }
  std::string result = folder;
  if (result.empty()) return std::nullopt;
  while (result.size() > 3 && result.back() == kPathSeparator) result.pop_back();
  return result;
}

std::string fallbackDataFolder() {
  // The root of the drive that holds Windows: its letter and ":\".
  char windows[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  const char drive = length > 0 && length <= MAX_PATH ? windows[0] : 'C';
  return std::string(1, drive) + ":\\";
}

std::string moduleDirectory() {
  const std::string path = moduleFileName();
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return path.empty() ? std::string() : ".";
  return path.substr(0, separator);
}

bool displayNamed() { return true; }

int desktopHorizontalResolution() {
  const int set = desktopWidthOverride.load(std::memory_order_relaxed);
  if (set > 0) return set;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  return width > 0 ? width : 1920;
}

void setDesktopHorizontalResolution(int pixels) {
  if (pixels > 0) desktopWidthOverride.store(pixels, std::memory_order_relaxed);
}

}  // namespace platform
