// Files as the filter uses them: the pass-1 log writer creates or appends,
// the pass-2 log reader opens, stamps and reads whole. Thin and explicit, so
// every open/close point of the callers stays visible.
//
// Thread-safety: handles are plain descriptors (on Windows the file's HANDLE
// as an integer); one handle is used by one thread at a time. Errors are
// reported by result values, never thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

#ifdef _WIN32
// INVALID_HANDLE_VALUE is -1 as an integer.
using FileHandle = std::intptr_t;
#else
using FileHandle = int;
#endif
inline constexpr FileHandle kInvalidFileHandle = -1;

// Write access, others may read; an existing file is truncated to 0 bytes.
FileHandle createFileTruncate(const char* path);
// Write access; an existing file is opened as it is (position 0), a missing
// one is created.
FileHandle openOrCreateFile(const char* path);
// Read access to an existing file; a directory is refused here rather than at
// the first read.
FileHandle openFileForRead(const char* path);

// Moves the file position to the end. False on failure.
bool seekToEnd(FileHandle file);
// Writes all bytes (retrying short writes). False on failure.
bool writeFile(FileHandle file, const void* data, std::size_t size);
// Reads up to `size` bytes at the current position; `bytesRead` receives the
// count, which is short only at the end of the file. False on failure.
bool readFile(FileHandle file, void* buffer, std::size_t size, std::size_t* bytesRead);

// Last-write time at the file system's full resolution: nanoseconds since the
// Unix epoch, on Windows the FILETIME's 100-nanosecond units since 1601. The
// value is only ever compared for equality. Never 0 for a real file (0 is the
// filter's "no time cached" value): times at or before the epoch read as 1.
bool getLastWriteTime(FileHandle file, std::uint64_t* time);
bool getFileSize(FileHandle file, std::uint64_t* size);
// Closing the invalid handle does nothing.
void closeFile(FileHandle file);

// Convenience for tools and tests: the whole content of a file.
bool readWholeFile(const std::string& path, std::string* content);

}  // namespace platform
