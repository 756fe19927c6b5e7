#include "platform/file_io.h"

#include <windows.h>

#include <utility>

namespace platform {
namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle fromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kInvalidFileHandle : reinterpret_cast<FileHandle>(handle);
}

// Writers let others read (a viewer may watch the log grow); readers let
// others read too, as the log's writer does.
FileHandle openFile(const char* path, DWORD access, DWORD disposition) {
  if (path == nullptr || *path == '\0') return kInvalidFileHandle;
  return fromHandle(CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

FileHandle createFileTruncate(const char* path) {
  return openFile(path, GENERIC_WRITE, CREATE_ALWAYS);
}

FileHandle openOrCreateFile(const char* path) { return openFile(path, GENERIC_WRITE, OPEN_ALWAYS); }

FileHandle openFileForRead(const char* path) {
  // CreateFile refuses a directory without FILE_FLAG_BACKUP_SEMANTICS, which
  // is what the callers want.
  return openFile(path, GENERIC_READ, OPEN_EXISTING);
}

bool seekToEnd(FileHandle file) {
  if (file == kInvalidFileHandle) return false;
  LARGE_INTEGER zero{};
  return SetFilePointerEx(toHandle(file), zero, nullptr, FILE_END) != 0;
}

bool writeFile(FileHandle file, const void* data, std::size_t size) {
  if (file == kInvalidFileHandle || (data == nullptr && size != 0)) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(toHandle(file), bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool readFile(FileHandle file, void* buffer, std::size_t size, std::size_t* bytesRead) {
  std::size_t total = 0;
  bool ok = file != kInvalidFileHandle && (buffer != nullptr || size == 0);
  char* bytes = static_cast<char*>(buffer);
  // ReadFile takes 32-bit counts; a short read means the end of the file.
  while (ok && total < size) {
    const std::size_t left = size - total;
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(toHandle(file), bytes + total, chunk, &got, nullptr)) {
      ok = false;
    } else if (got == 0) {
      break;
    } else {
      total += got;
    }
  }
  if (bytesRead != nullptr) *bytesRead = total;
  return ok;
}

bool getLastWriteTime(FileHandle file, std::uint64_t* time) {
  FILETIME written{};
  if (time == nullptr || file == kInvalidFileHandle ||
      !GetFileTime(toHandle(file), nullptr, nullptr, &written)) {
    return false;
  }
  const std::uint64_t stamp =
      (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  *time = stamp == 0 ? 1 : stamp;
  return true;
}

bool getFileSize(FileHandle file, std::uint64_t* size) {
  LARGE_INTEGER length{};
  if (size == nullptr || file == kInvalidFileHandle || !GetFileSizeEx(toHandle(file), &length)) {
    return false;
  }
  *size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

void closeFile(FileHandle file) {
  if (file != kInvalidFileHandle) CloseHandle(toHandle(file));
}

}  // namespace platform
