// What a forced stop removes. A run's temporaries (the hidden output file or
// folder, the log pass 1 is writing) are registered here while they exist,
// so that a second signal, which ends the program at once, removes them from
// inside the signal handler instead of leaving them behind.
//
// Registration happens on the main thread; removeRegisteredTemporaries is
// async-signal-safe (fixed storage, no allocation, unlink, rmdir and the
// getdents64 system call for a folder's files).
#pragma once

#include <string>

namespace host {

class CRegisteredTemporary {
 public:
  // `folder`: a folder whose files (no subfolders) go with it.
  CRegisteredTemporary(const std::string& path, bool folder);
  ~CRegisteredTemporary();
  CRegisteredTemporary(const CRegisteredTemporary&) = delete;
  CRegisteredTemporary& operator=(const CRegisteredTemporary&) = delete;

 private:
  int slot_ = -1;  // -1: the path did not fit and is not registered
};

// Removes every registered temporary. Called from a signal handler.
void removeRegisteredTemporaries();

}  // namespace host
