// Where an output goes and how it gets there safely: the kind of file its
// name asks for, a temporary file (or folder, for image sequences) in the
// same folder that the muxer writes, and the rename into place that happens
// only when the whole run succeeded. Until then an existing OUTPUT stays as
// it was; a failed or interrupted run removes the temporary.
//
// Thread-safety: one thread.
#pragma once

#include <string>
#include <vector>

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

// True when both names lead to the same file: the same existing file, or the
// same absolute, lexically normalised path.
bool isSameFile(const std::string& first, const std::string& second);

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
  bool sequence_ = false;
  bool committed_ = false;
};

}  // namespace host
