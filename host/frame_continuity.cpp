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

}  // namespace

void CContinuityMeter::addFrame(const VFBitmap& frame) {
  const int factor = std::max(1, static_cast<int>(frame.w) / kThumbnailWidth);
  const int width = static_cast<int>(frame.w) / factor;
  const int height = std::max(1, static_cast<int>(frame.h) / factor);
  // r + g + b below this is dark, as the analysis's limit in percent of 255.
  const double darkSum = darkLimitPercent_ * 3.0 * 255.0 / 100.0;

  current_.assign(static_cast<std::size_t>(width) * height, 0.0f);
  long dark = 0;
  const auto* base = reinterpret_cast<const unsigned char*>(frame.data);
  for (int y = 0; y < height * factor && y < frame.h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(base + y * frame.pitch);
    float* cells = &current_[static_cast<std::size_t>(y / factor) * width];
    for (int x = 0; x < width * factor; ++x) {
      const std::uint32_t pixel = row[x];
      const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      cells[x / factor] += 0.299f * r + 0.587f * g + 0.114f * b;
      if (r + g + b < darkSum) ++dark;
    }
  }
  const float cellArea = static_cast<float>(factor * factor);
  for (float& cell : current_) cell /= cellArea;

  RFrameContinuity result;
  result.darkShare = static_cast<double>(dark) / (static_cast<double>(width) * height * cellArea);
  result.match = std::numeric_limits<double>::quiet_NaN();
  if (width == width_ && height == height_) {
    const int reach = std::max(2, width / 20);
    for (int dy = -reach; dy <= reach; ++dy) {
      for (int dx = -reach; dx <= reach; ++dx) {
        const double c = correlationAt(current_, previous_, width, height, dx, dy);
        if (!std::isnan(c) && !(c <= result.match)) result.match = c;
      }
    }
  }
  frames_.push_back(result);
  width_ = width;
  height_ = height;
  previous_.swap(current_);
}

}  // namespace host
