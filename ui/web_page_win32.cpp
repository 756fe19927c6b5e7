// "Visit Quiventa web page" on Windows: the program registered for ".htm"
// files, found in the registry's classes root, started with the page's
// address in double quotes after its command line as it stands.
#include "ui/web_page.h"
//
#include <windows.h>

#include <cstring>

#include "platform/environment.h"
#include "platform/program_start.h"

namespace {

// Room for a file-type name or a command line; a registry value longer than
// this fails to read, and nothing happens.
constexpr DWORD kBufferBytes = 520;

// The default value of `key` under the classes root, or false.
bool readDefaultValue(const char* key, char* buffer, DWORD capacity) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  // One byte kept back so that the value always ends in a zero, even when
  // the registry stored it without one.
  DWORD size = capacity - 1;
  const LONG result =
      RegQueryValueExA(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  buffer[size] = '\0';
  return true;
}

// Appends `text` if it fits with its terminator; false otherwise.
bool append(char* buffer, DWORD capacity, const char* text) {
  const std::size_t used = std::strlen(buffer);
  const std::size_t adding = std::strlen(text);
  if (used + adding + 1 > capacity) return false;
  std::memcpy(buffer + used, text, adding + 1);
  return true;
}

}  // namespace

std::string quiventaManualPath() {
  return platform::moduleDirectory() + platform::kPathSeparator + "Quiventa.html";
}

bool visitWebPage(const std::string& page) {
  if (page.empty()) return false;
  char buffer[kBufferBytes] = {};
  if (!readDefaultValue(".htm", buffer, sizeof buffer)) return false;
  if (!append(buffer, sizeof buffer, "\\shell\\open\\command")) return false;
  // The command line replaces the key name in the same buffer.
  char key[kBufferBytes];
  std::memcpy(key, buffer, sizeof key);
  if (!readDefaultValue(key, buffer, sizeof buffer)) return false;
  // A command that leaves no room for the address does nothing, rather than
  // run with a cut address.
  if (!append(buffer, sizeof buffer, " \"") || !append(buffer, sizeof buffer, page.c_str()) ||
      !append(buffer, sizeof buffer, "\"")) {
    return false;
  }
  return platform::startCommandLine(buffer);
}
