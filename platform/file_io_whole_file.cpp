// Reading a whole file, on either system's file primitives.
#include <string>
#include <utility>

#include "platform/file_io.h"

namespace platform {

bool readWholeFile(const std::string& path, std::string* content) {
  if (content == nullptr) return false;
  FileHandle file = openFileForRead(path.c_str());
  if (file == kInvalidFileHandle) return false;
  std::string result;
  char chunk[64 * 1024];
  std::size_t got = 0;
  bool ok;
  while ((ok = readFile(file, chunk, sizeof chunk, &got)) && got > 0) result.append(chunk, got);
  closeFile(file);
  if (ok) *content = std::move(result);
  return ok;
}

}  // namespace platform
