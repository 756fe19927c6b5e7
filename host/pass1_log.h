// The log pass 1 writes, written safely. The filter writes wherever its
// logFilePath points; for the pass the host points it at a hidden temporary
// file beside the log (".NAME.tmp-XXXXXX") and moves that into place only
// when the pass ended and the file holds one complete line for every
// analysed frame or field. Until then an existing log stays as it was; a
// failed or interrupted run removes the temporary (a forced stop too). With
// appendToLogFile the temporary starts as a copy of the existing log, so the
// filter appends to that.
//
// A log name that is not a regular file (a folder, a FIFO, a device such as
// /dev/full) is refused: the filter cannot be made to write a log there that
// pass 2 could read.
//
// Thread-safety: one thread.
#pragma once

#include <memory>
#include <string>

#include "host/forced_stop.h"

namespace host {

// The lines pass 1 writes for `frames` frames: one per frame after the
// first; with interlaced video one per field after the first field (a clip
// of one frame gives none: its only line is held back and dropped).
long long expectedLogLines(long long frames, bool interlaced);

// Throws CHostError (usage) when `path` exists and is not a regular file.
void requireRegularLogPath(const std::string& path);

class CPass1Log {
 public:
  // Throws CHostError: usage for a path that is not a regular file, runtime
  // when its folder cannot be written or an existing log to append to cannot
  // be read.
  CPass1Log(const std::string& path, bool append);
  ~CPass1Log();
  CPass1Log(const CPass1Log&) = delete;
  CPass1Log& operator=(const CPass1Log&) = delete;

  // Where the filter writes during the pass.
  const std::string& writePath() const { return writePath_; }
  const std::string& path() const { return path_; }

  // Checks that the pass added `expectedLines` complete lines. Throws
  // CHostError (runtime) naming what is missing.
  void verify(long long expectedLines);
  // Moves the log into place. Throws CHostError (runtime) on failure.
  void commit();

 private:
  std::string path_;
  std::string writePath_;
  bool append_;
  std::string before_;  // what the temporary held before the pass (append)
  std::unique_ptr<CRegisteredTemporary> registered_;
  bool committed_ = false;
};

}  // namespace host
