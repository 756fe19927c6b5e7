#include "host/frame_continuity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace host {
namespace {

constexpr int kThumbnailWidth = 128;
// Below this standard deviation (grey levels) a thumbnail carries no
// structure to compare.
constexpr double kFlatDeviation = 0.5;

double correlationAt(const std::vector<float>& a, const std::vector<float>& b, int width,
                     int height, int dx, int dy) {
  const int x0 = std::max(0, dx), x1 = std::min(width, width + dx);
  const int y0 = std::max(0, dy), y1 = std::min(height, height + dy);
  const double count = static_cast<double>(x1 - x0) * (y1 - y0);
  double sumA = 0, sumB = 0, sumAA = 0, sumBB = 0, sumAB = 0;
  for (int y = y0; y < y1; ++y) {
    const float* rowA = &a[static_cast<std::size_t>(y) * width];
    const float* rowB = &b[static_cast<std::size_t>(y - dy) * width - dx];
    for (int x = x0; x < x1; ++x) {
      const double va = rowA[x], vb = rowB[x];
      sumA += va;
      sumB += vb;
      sumAA += va * va;
      sumBB += vb * vb;
      sumAB += va * vb;
    }
  }
  const double varA = sumAA / count - (sumA / count) * (sumA / count);
  const double varB = sumBB / count - (sumB / count) * (sumB / count);
  if (varA < kFlatDeviation * kFlatDeviation || varB < kFlatDeviation * kFlatDeviation) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return (sumAB / count - (sumA / count) * (sumB / count)) / std::sqrt(varA * varB);
}

struct RBest {
  int dx = 0, dy = 0;
  double match = std::numeric_limits<double>::quiet_NaN();
};

// The best correlation over shifts within `reach` of (cx, cy).
RBest bestShift(const std::vector<float>& a, const std::vector<float>& b, int width, int height,
                int cx, int cy, int reach) {
  RBest best{cx, cy};
  for (int dy = cy - reach; dy <= cy + reach; ++dy) {
    for (int dx = cx - reach; dx <= cx + reach; ++dx) {
      if (std::abs(dx) * 4 > width || std::abs(dy) * 4 > height) continue;
      const double c = correlationAt(a, b, width, height, dx, dy);
      if (!std::isnan(c) && !(c <= best.match)) best = {dx, dy, c};
    }
  }
  return best;
}

std::vector<float> halved(const std::vector<float>& image, int width, int height) {
  const int halfWidth = width / 2, halfHeight = height / 2;
  std::vector<float> half(static_cast<std::size_t>(halfWidth) * halfHeight);
  for (int y = 0; y < halfHeight; ++y) {
    const float* top = &image[static_cast<std::size_t>(2 * y) * width];
    const float* bottom = top + width;
    for (int x = 0; x < halfWidth; ++x) {
      half[static_cast<std::size_t>(y) * halfWidth + x] =
          0.25f * (top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1]);
    }
  }
  return half;
}

}  // namespace

void CContinuityMeter::addFrame(const VFBitmap& frame) {
  const int factor = std::max(1, static_cast<int>(frame.w) / kThumbnailWidth);
  const int width = static_cast<int>(frame.w) / factor;
  const int height = std::max(1, static_cast<int>(frame.h) / factor);
  // A thumbnail cell averages a grid of samples: every pixel for small
  // frames, four or more per side for large ones.
  const int step = std::max(1, factor / 4);
  // r + g + b below this is dark, as the analysis's limit in percent of 255.
  const double darkSum = darkLimitPercent_ * 3.0 * 255.0 / 100.0;

  current_.assign(static_cast<std::size_t>(width) * height, 0.0f);
  long dark = 0, samples = 0;
  const auto* base = reinterpret_cast<const unsigned char*>(frame.data);
  for (int y = 0; y < height * factor && y < frame.h; y += step) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(base + y * frame.pitch);
    float* cell = &current_[static_cast<std::size_t>(y / factor) * width];
    for (int cx = 0; cx < width; ++cx, ++cell) {
      float sum = 0.0f;
      for (int x = cx * factor; x < (cx + 1) * factor; x += step) {
        const std::uint32_t pixel = row[x];
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        sum += 0.299f * r + 0.587f * g + 0.114f * b;
        dark += r + g + b < darkSum;
        ++samples;
      }
      *cell += sum;
    }
  }
  // Every cell has the same number of samples.
  const float perCell = static_cast<float>(samples) / (static_cast<float>(width) * height);
  for (float& cell : current_) cell /= perCell;

  RFrameContinuity result;
  result.darkShare = samples > 0 ? static_cast<double>(dark) / samples : 0.0;
  result.match = std::numeric_limits<double>::quiet_NaN();
  std::vector<float> half = halved(current_, width, height);
  if (width == width_ && height == height_) {
    // Coarse to fine: the shift on half-size thumbnails, then its
    // neighbourhood at full size.
    const RBest coarse =
        bestShift(half, previousHalf_, width / 2, height / 2, 0, 0, std::max(1, width / 40));
    result.match =
        bestShift(current_, previous_, width, height, 2 * coarse.dx, 2 * coarse.dy, 1).match;
  }
  frames_.push_back(result);
  width_ = width;
  height_ = height;
  previous_.swap(current_);
  previousHalf_.swap(half);
}

}  // namespace host
