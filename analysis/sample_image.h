// The previous image of a pyramid level in the layout the vector kernels of
// block matching read: the columns split by phase (x mod step), so that the
// partners of one block row at any offset are consecutive values. Per phase
// there are red, green and blue planes (grey images: green only) and a
// `valid` plane, each padded so that whole vectors next to the picture can be
// read. Built for one darkness threshold: a pixel that does not count
// (ignored, or darker than the threshold) has 0 in every channel and 0 in
// `valid`; one that counts has its values and -1.
//
// Rebuilt from the image whenever the image has changed; read-only while
// block jobs run on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/analysis_kernels.h"
#include "plugin/common/video_image.h"

class CSampleImage {
 public:
  // `threshold` as the plain kernel compares it: r + g + b (grey: g).
  void build(const CVideoImage& image, int step, int threshold);
  // The same in parts: prepare sizes the planes for `image`; buildRows then
  // fills image rows [firstRow, endRow), and calls for disjoint ranges may
  // run on several threads at once. Every row must be built before use.
  void prepare(const CVideoImage& image, int step, int threshold);
  void buildRows(const CVideoImage& image, int firstRow, int endRow);

  int step() const { return step_; }
  int threshold() const { return threshold_; }
  int width() const { return width_; }
  int height() const { return height_; }
  bool rgb() const { return rgb_; }

  enum Plane { kRed = 0, kGreen = 1, kBlue = 2, kValid = 3 };
  // The value of `plane` at image pixel (x, y) inside the picture, followed
  // by those of columns x + step, x + 2 step, ...; 16 values on either side
  // of the picture's can be read.
  const std::int16_t* at(Plane plane, int x, int y) const;
  // Points the window's planes at image pixel (x, y) inside the picture.
  void window(int x, int y, RWindow* window) const {
    const int phase = x % step_;
    const std::int16_t* green = storage_.data() + kPadding + phase * planesPerPhase() * planeSpan_ +
                                y * phaseWidth_ + x / step_;
    if (rgb_) {
      window->red = green;
      green += planeSpan_;
      window->blue = green + planeSpan_;
    }
    window->green = green;
    window->valid = green + (rgb_ ? 2 : 1) * planeSpan_;
  }
  // Distance between image rows y and y + 1 in the values of one phase.
  std::ptrdiff_t rowStride() const { return phaseWidth_; }

 private:
  static constexpr std::ptrdiff_t kPadding = 32;  // values before and after every plane
  int planesPerPhase() const { return rgb_ ? 4 : 2; }
  int planeIndex(Plane plane) const { return rgb_ ? plane : (plane == kValid ? 1 : 0); }

  int step_ = 0, threshold_ = 0, width_ = 0, height_ = 0;
  bool rgb_ = false;
  std::ptrdiff_t phaseWidth_ = 0, planeSpan_ = 0;
  std::vector<std::int16_t> storage_;
};
