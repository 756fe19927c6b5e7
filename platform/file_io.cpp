#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {
namespace {

// Log files are read back by the same user and by tools of other users.
constexpr mode_t kNewFileMode = 0644;

// O_CLOEXEC: a host that spawns encoders must not hand them our log files.
FileHandle openRetrying(const char* path, int flags, mode_t mode = 0) {
  if (path == nullptr || *path == '\0') return kInvalidFileHandle;
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kInvalidFileHandle : fd;
}

bool statHandle(FileHandle file, struct stat* info) {
  if (file < 0) return false;
  return ::fstat(file, info) == 0;
}

}  // namespace

FileHandle createFileTruncate(const char* path) {
  return openRetrying(path, O_WRONLY | O_CREAT | O_TRUNC, kNewFileMode);
}

FileHandle openOrCreateFile(const char* path) {
  return openRetrying(path, O_WRONLY | O_CREAT, kNewFileMode);
}

FileHandle openFileForRead(const char* path) {
  FileHandle fd = openRetrying(path, O_RDONLY);
  if (fd == kInvalidFileHandle) return fd;
  // A directory opens fine for reading and only fails at the first read; the
  // callers expect a missing or unusable file to show up here.
  struct stat info;
  if (!statHandle(fd, &info) || S_ISDIR(info.st_mode)) {
    closeFile(fd);
    return kInvalidFileHandle;
  }
  return fd;
}

bool seekToEnd(FileHandle file) {
  if (file < 0) return false;
  return ::lseek(file, 0, SEEK_END) != static_cast<off_t>(-1);
}

bool writeFile(FileHandle file, const void* data, std::size_t size) {
  if (file < 0 || (data == nullptr && size != 0)) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(file, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A zero-byte write with bytes left would otherwise loop for ever.
    if (written == 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool readFile(FileHandle file, void* buffer, std::size_t size, std::size_t* bytesRead) {
  std::size_t total = 0;
  bool ok = file >= 0 && (buffer != nullptr || size == 0);
  char* bytes = static_cast<char*>(buffer);
  // Loop so that a short read only ever means end of file, never a signal or
  // a pipe delivering in pieces.
  while (ok && total < size) {
    ssize_t got = ::read(file, bytes + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
    } else if (got == 0) {
      break;
    } else {
      total += static_cast<std::size_t>(got);
    }
  }
  if (bytesRead != nullptr) *bytesRead = total;
  return ok;
}

bool getLastWriteTime(FileHandle file, std::uint64_t* time) {
  struct stat info;
  if (time == nullptr || !statHandle(file, &info)) return false;
  constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
  std::uint64_t stamp = 1;  // pre-epoch times clamp to the smallest valid value
  if (info.st_mtim.tv_sec >= 0) {
    stamp = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * kNanosecondsPerSecond +
            static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
  }
  // 0 means "nothing cached" to the filter, so a file stamped exactly at the
  // epoch must still read as a time.
  *time = stamp == 0 ? 1 : stamp;
  return true;
}

bool getFileSize(FileHandle file, std::uint64_t* size) {
  struct stat info;
  if (size == nullptr || !statHandle(file, &info)) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

void closeFile(FileHandle file) {
  // No retry on EINTR: Linux releases the descriptor either way, and a retry
  // could close one that another thread has just been given.
  if (file >= 0) ::close(file);
}

}  // namespace platform
