// Test clips with exactly known motion: renders the frames of a camera moving
// over a textured plane (see scene_texture.h, camera_path.h) and states, for
// every frame or field, the true motion of the background against the
// previous frame or field in the convention of the motion analysis (RMotion).
//
// Capture times (in frames; the camera path is a function of time):
// - global shutter: every row of frame n at time n;
// - rolling shutter with readout R (fraction of a frame period): row y_top of
//   frame n at n + R * (y_top + 0.5) / H, i.e. picture line Y (pixel edges,
//   0 = top edge, H = bottom edge) at n + R * Y / H;
// - interlaced: the field taken first ('A') at time n, the other ('B') at
//   n + 0.5. The upper field is the even picture lines (y_top = 0, 2, 4, ...);
//   with upperFieldFirst it is field A, otherwise field B.
// Foreground patches are sampled at the same times as the rows they cover.
//
// Frames are 32-bit pixels 0x00RRGGBB (blue in the lowest byte), stored top
// row first; copyToBottomUp gives the host's bottom-up layout.
//
// Thread-safety: a CClipGenerator is immutable after construction; frames may
// be rendered from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/clipgen/camera_path.h"
#include "tools/clipgen/foreground_patches.h"
#include "tools/clipgen/scene_texture.h"

namespace qvclip {

struct RClipSettings {
  int width = 640, height = 480;  // pixels; interlaced clips need an even height
  int frameCount = 60;
  int fpsNumerator = 25, fpsDenominator = 1;  // only recorded in the clip
  std::uint64_t seed = 1;
  RCameraPathSettings path;
  int patchCount = 0;                  // moving foreground patches, 0 .. 16
  int cutFrame = -1;                   // first frame of a different scene; -1: no cut
  double rollingShutterReadout = 0.0;  // 0 (global shutter) .. 1 frame period
  bool interlaced = false;
  bool upperFieldFirst = false;
  double brightness = 1.0;  // scales all channels before the noise
  double noiseSigma = 0.0;  // additive Gaussian noise, 8-bit levels, per channel
};

// Empty `error` and true when the settings can be rendered; otherwise false
// and a message naming the bad value.
bool validateClipSettings(const RClipSettings& settings, std::string* error);

struct RFrame {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // row y_top at pixels[y_top * width], 0x00RRGGBB

  std::uint32_t at(int x, int yTop) const {
    return pixels[static_cast<std::size_t>(yTop) * width + x];
  }
};

// Copies a frame into a bottom-up bitmap: `bottomRow` is the first stored
// row (the lowest picture row) and `pitchBytes` the positive distance between
// stored rows (at least width * 4; padding bytes are left untouched).
void copyToBottomUp(const RFrame& frame, std::uint32_t* bottomRow, std::ptrdiff_t pitchBytes);

// True motion of one frame (progressive) or one field (interlaced) against the
// previous one. The motion is the background's: foreground patches move on
// their own. Neutral values (pans 0, rotation 0, zoom 1) where `first` or
// `newScene` is set.
struct RMotionRecord {
  int frame = 0;
  int field = -1;           // -1 progressive; 0 field A (first in time); 1 field B
  bool upperField = false;  // interlaced: the field holds the even picture lines
  double time = 0.0;        // capture time of the frame centre or the field
  bool first = false;       // nothing before it to compare with
  bool newScene = false;    // first frame (or field A) after a scene cut
  RMotion motion;           // whole frame: the picture's centre line (rolling shutter)
  // Rolling shutter only: the motion of the top edge line (captured at time
  // n) and of the bottom edge line (at n + readout), each against the same
  // line of the previous frame. The whole-frame motion is that of the centre
  // line (n + readout / 2). Each compares the two poses as if the whole frame
  // had been taken at the line's time. With a vertical motion of u pixels per
  // frame the content sat on another row, taken at another time, in the
  // previous frame; these values leave that out, so they are off by a
  // fraction of about readout * u / H of the motion (0.04 px for u = 5 at
  // H = 480). previousPosition() gives the exact point-wise truth.
  bool hasEdges = false;
  RMotion top, bottom;
};

class CClipGenerator {
 public:
  // Throws std::invalid_argument when validateClipSettings fails.
  explicit CClipGenerator(const RClipSettings& settings);

  const RClipSettings& settings() const { return settings_; }

  // Renders frame n (0 .. frameCount - 1; other numbers continue the path) with
  // its shutter, interlacing, brightness and noise. `threads` > 1 splits the
  // rows over that many threads; the result does not depend on it.
  void renderFrame(int frame, RFrame& out, int threads = 1) const;
  // A global-shutter picture of the camera at any time: every row at `time`,
  // the scene of frame floor(time), with brightness but without noise.
  void renderSnapshot(double time, RFrame& out) const;

  // One record per frame, or per field in time order for interlaced clips.
  std::vector<RMotionRecord> motionRecords() const;

  // Where the background content at pixel-edge position (x, yTop) of the
  // record's frame (or field) lay in the previous frame (or field): the exact
  // point-wise truth behind the record. It differs from the record's
  // similarity only with a rolling shutter, where the previous frame's
  // capture time depends on the row the content occupied there.
  void previousPosition(const RMotionRecord& record, double x, double yTop, double* previousX,
                        double* previousYTop) const;

  // Capture time of row yTop of a frame (its pixel centres).
  double rowTime(int frame, int yTop) const;
  RPose poseAt(double time) const { return path_.poseAt(time); }
  const CForegroundPatches& patches() const { return patches_; }
  // 0 before the cut, 1 from the cut on.
  int sceneOf(int frame) const;

 private:
  void renderRows(int frame, int firstRow, int endRow, bool snapshot, double snapshotTime,
                  RFrame& out) const;

  RClipSettings settings_;
  CCameraPath path_;
  CForegroundPatches patches_;
  std::unique_ptr<CSceneTexture> scenes_[2];
};

}  // namespace qvclip
