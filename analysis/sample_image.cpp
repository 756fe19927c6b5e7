#include "analysis/sample_image.h"

#include <algorithm>
#include <cassert>

#include "analysis/analysis_kernels.h"
#include "platform/kernel_set.h"

void CSampleImage::build(const CVideoImage& image, int step, int threshold) {
  prepare(image, step, threshold);
  buildRows(image, 0, height_);
}

void CSampleImage::prepare(const CVideoImage& image, int step, int threshold) {
  assert(step >= 1);
  step_ = step;
  threshold_ = threshold;
  width_ = image.width;
  height_ = image.height;
  rgb_ = image.rgb != 0;
  phaseWidth_ = (width_ + step - 1) / step;
  planeSpan_ = phaseWidth_ * height_ + kPadding;
  const int planes = planesPerPhase();
  storage_.resize(static_cast<std::size_t>(kPadding + planeSpan_ * planes * step));
  std::fill_n(storage_.begin(), kPadding, std::int16_t{0});
  for (int i = 0; i < planes * step; ++i) {
    std::fill_n(storage_.data() + kPadding + i * planeSpan_ + phaseWidth_ * height_, kPadding,
                std::int16_t{0});
  }
}

void CSampleImage::buildRows(const CVideoImage& image, int firstRow, int endRow) {
  const int planes = planesPerPhase();
  const int step = step_, threshold = threshold_;
  // Only through data(): bands of rows are built on several threads at once.
  std::int16_t* const storage = storage_.data();
  const RAnalysisKernels* kernels = analysisKernels(platform::kernelSet());
  if (kernels != nullptr && step <= 2) {
    // Values lie in -9999 .. 765, so a threshold beyond 16 bits decides the
    // same as the nearest 16-bit one.
    const int clamped = std::clamp(threshold, -32767, 32767);
    std::int16_t* out[8];
    for (int y = firstRow; y < endRow; ++y) {
      for (int i = 0; i < planes * step; ++i) {
        out[i] = storage + kPadding + i * planeSpan_ + y * phaseWidth_;
      }
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
      kernels->sampleRow(image.red.data() + row, image.green.data() + row, image.blue.data() + row,
                         width_, step, clamped, rgb_, out);
    }
    return;
  }
  for (int phase = 0; phase < step; ++phase) {
    std::int16_t* first = storage + kPadding + phase * planes * planeSpan_;
    std::int16_t* red = first + planeIndex(kRed) * planeSpan_;
    std::int16_t* green = first + planeIndex(kGreen) * planeSpan_;
    std::int16_t* blue = first + planeIndex(kBlue) * planeSpan_;
    std::int16_t* valid = first + planeIndex(kValid) * planeSpan_;
    for (int y = firstRow; y < endRow; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
      const std::int16_t* r = image.red.data() + row;
      const std::int16_t* g = image.green.data() + row;
      const std::int16_t* b = image.blue.data() + row;
      const std::ptrdiff_t out = y * phaseWidth_;
      for (std::ptrdiff_t i = 0; i < phaseWidth_; ++i) {
        const std::ptrdiff_t x = i * step + phase;
        // The plain kernel's tests: colour needs a green value that is not
        // the ignored mark, grey only the threshold.
        bool counts = x < width_;
        if (counts && rgb_) counts = g[x] >= 0 && r[x] + g[x] + b[x] >= threshold;
        if (counts && !rgb_) counts = g[x] >= threshold;
        green[out + i] = counts ? g[x] : 0;
        valid[out + i] = counts ? -1 : 0;
        if (rgb_) {
          red[out + i] = counts ? r[x] : 0;
          blue[out + i] = counts ? b[x] : 0;
        }
      }
    }
  }
}

const std::int16_t* CSampleImage::at(Plane plane, int x, int y) const {
  assert(y >= 0 && y < height_ && x >= 0 && x < width_);
  const int phase = x % step_;
  return storage_.data() + kPadding + (phase * planesPerPhase() + planeIndex(plane)) * planeSpan_ +
         y * phaseWidth_ + x / step_;
}
