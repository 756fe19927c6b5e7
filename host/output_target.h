// Where an output goes and how it gets there safely: the kind of file its
// name asks for, a temporary file (or folder, for image sequences) in the
// same folder that the muxer writes, and the rename into place that happens
// only when the whole run succeeded. Until then an existing OUTPUT stays as
// it was; a failed or interrupted run removes the temporary (a forced stop
// too: it is registered with host/forced_stop.h). An image sequence replaces
// the earlier sequence of the same name as a whole: frames of it that the
// new run did not write are removed when the new frames are in place.
//
// Thread-safety: one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/forced_stop.h"

namespace host {

enum class OutputKind {
  kH264File,     // .mp4, .mkv, .mov: H.264 video, audio kept
  kY4m,          // .y4m: raw YUV frames, no audio
  kPngSequence,  // a name with %d (or %04d ...) ending in .png: one PNG per frame
};

// The kind for `path`; throws CHostError (usage) for names the host cannot
// write.
OutputKind outputKindFor(const std::string& path);
// FFmpeg's muxer name for the kind and extension.
const char* muxerNameFor(const std::string& path);
// Whether writing `path` would replace something: the file, or for an image
// sequence any file of the folder that the pattern names.
bool outputExists(const std::string& path);
// Throws CHostError (usage) when `path` exists and is not a regular file (a
// folder, a FIFO, a device): outputs are renamed into place, which would
// replace the node itself (for root even /dev/full or /dev/stdout) rather
// than write into it. The message is "ROLE PATH is WHAT: HINT".
void requireRegularOutput(const std::string& path, const std::string& role,
                          const std::string& hint);
// The log that belongs beside a video: "NAME.log" after the video's whole
// name, for an image sequence after its pattern without the number field
// and extension ("frames%04d.png" gives "frames.log").
std::string logPathBeside(const std::string& path);

class COutputTarget {
 public:
  // Creates the temporary beside `path`. Throws CHostError (runtime) when
  // the folder cannot be written or `path` is a folder.
  explicit COutputTarget(const std::string& path);
  ~COutputTarget();
  COutputTarget(const COutputTarget&) = delete;
  COutputTarget& operator=(const COutputTarget&) = delete;

  // The name the muxer writes to (for sequences: the pattern inside the
  // temporary folder).
  const std::string& writePath() const { return writePath_; }
  // Moves the result into place. Throws CHostError (runtime) on failure.
  void commit();

 private:
  std::string finalPath_;
  std::string writePath_;
  std::string temporary_;  // file or folder to remove unless committed
  std::unique_ptr<CRegisteredTemporary> registered_;
  bool sequence_ = false;
  bool committed_ = false;
};

}  // namespace host
