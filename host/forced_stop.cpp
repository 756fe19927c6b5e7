#include "host/forced_stop.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace host {
namespace {

// A run has at most an output, a preview and a log at a time.
constexpr int kSlots = 8;

struct RSlot {
  std::atomic<bool> used{false};
  bool folder = false;
  char path[PATH_MAX] = {};
};
RSlot slots[kSlots];

// The files of a folder, read with the system call itself: the C library's
// directory functions allocate and are not safe in a signal handler.
void removeFolderFiles(const char* path) {
  const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  alignas(8) char buffer[4096];
  for (;;) {
    const long length = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
    if (length <= 0) break;
    for (long offset = 0; offset < length;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + offset);
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) unlinkat(folder, name, 0);
      offset += entry->d_reclen;
    }
  }
  close(folder);
}

}  // namespace

CRegisteredTemporary::CRegisteredTemporary(const std::string& path, bool folder) {
  if (path.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].used.load()) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].folder = folder;
    slots[i].used.store(true);
    slot_ = i;
    return;
  }
}

CRegisteredTemporary::~CRegisteredTemporary() {
  if (slot_ >= 0) slots[slot_].used.store(false);
}

void removeRegisteredTemporaries() {
  for (RSlot& slot : slots) {
    if (!slot.used.load()) continue;
    if (slot.folder) {
      removeFolderFiles(slot.path);
      rmdir(slot.path);
    } else {
      unlink(slot.path);
    }
  }
}

}  // namespace host
