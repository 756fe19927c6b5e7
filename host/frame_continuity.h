// How well each source frame continues the previous one, measured by the host
// itself while pass 1 runs, apart from the filter's own analysis: the best
// normalised correlation of small grey thumbnails (about 128 pixels wide)
// over shifts of up to a twentieth of their width (searched on half-size
// thumbnails, then refined). Frames of one shot
// correlate near 1 under shake, pans, dimness and noise; a cut to other
// content falls far below. Also how much of each frame is darker than the
// analysis's brightness limit.
//
// Thread-safety: one meter is fed by one thread.
#pragma once

#include <vector>

#include "plugin/filter_interface.h"

namespace host {

struct RFrameContinuity {
  // Best correlation with the previous frame, -1 .. 1; NaN for the first
  // frame and when either picture is too flat to tell.
  double match = 0.0;
  double darkShare = 0.0;  // share of pixels with r + g + b below the limit
};

class CContinuityMeter {
 public:
  // `darkLimitPercent`: brightness limit in percent, as darkerThanPercent
  // states it; 0 counts no pixel as dark.
  explicit CContinuityMeter(double darkLimitPercent) : darkLimitPercent_(darkLimitPercent) {}

  // One 32-bit frame (the host's bottom-up bitmap) after the other.
  void addFrame(const VFBitmap& frame);

  const std::vector<RFrameContinuity>& frames() const { return frames_; }

 private:
  double darkLimitPercent_;
  int width_ = 0, height_ = 0;
  std::vector<float> previous_, current_, previousHalf_;
  std::vector<RFrameContinuity> frames_;
};

}  // namespace host
