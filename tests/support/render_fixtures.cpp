#include "tests/support/render_fixtures.h"

#include <cstddef>

#include "plugin/common/fixed_point.h"

namespace testing_support {

CGuardedBitmap::CGuardedBitmap(int width, int height, int paddingPixels, int guardRows)
    : guardRows_(guardRows) {
  const int pitchPixels = width + paddingPixels;
  memory_.assign(static_cast<std::size_t>(pitchPixels) * (height + 2 * guardRows), kGuardColour);
  bitmap_.data = memory_.data() + static_cast<std::size_t>(pitchPixels) * guardRows;
  bitmap_.w = width;
  bitmap_.h = height;
  bitmap_.pitch = static_cast<std::ptrdiff_t>(pitchPixels) * 4;
  bitmap_.modulo = static_cast<std::ptrdiff_t>(paddingPixels) * 4;
  bitmap_.size = bitmap_.pitch * height;
  fill([](int, int) { return 0u; });
}

void CGuardedBitmap::fill(const PixelFunction& colour) {
  for (int row = 0; row < bitmap_.h; ++row) {
    for (int x = 0; x < bitmap_.w; ++x) at(x, row) = colour(x, row);
  }
}

bool CGuardedBitmap::guardsIntact() const {
  const std::size_t pitchPixels = static_cast<std::size_t>(bitmap_.pitch / 4);
  for (std::size_t i = 0; i < memory_.size(); ++i) {
    const long row = static_cast<long>(i / pitchPixels) - guardRows_;
    const long x = static_cast<long>(i % pitchPixels);
    const bool inside = row >= 0 && row < bitmap_.h && x < bitmap_.w;
    if (!inside && memory_[i] != kGuardColour) return false;
  }
  return true;
}

void setAffineMap(RAffineMap map, double c0, double c1, double c2, double c3, double c4,
                  double c5) {
  const double values[6] = {c0, c1, c2, c3, c4, c5};
  for (int i = 0; i < 6; ++i) map[i] = toFixedPoint(values[i]);
}

CPlanEntries::CPlanEntries(int count) : entries_(static_cast<std::size_t>(count)) {
  for (RFramePlan& entry : entries_) {
    entry = RFramePlan{};
    setShift(entry.transform, 0, 0);
    setShift(entry.toPrevious, 0, 0);
    setShift(entry.toNext, 0, 0);
  }
}

CPlanEntries::~CPlanEntries() {
  for (int i = 0; i < size(); ++i) freeEntry(entries_.data(), i, true);
}

void CPlanEntries::holdFrame(int i, int width, int height, const PixelFunction& colour) {
  freeEntry(entries_.data(), i, false);
  auto copy = std::make_unique<RFrameCopy>();
  copy->pixels.reserve(static_cast<std::size_t>(width) * height);  // no slack to read unseen
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) copy->pixels.push_back(colour(x, row));
  }
  copy->bitmap = VFBitmap{};
  copy->bitmap.data = copy->pixels.data();
  copy->bitmap.w = width;
  copy->bitmap.h = height;
  copy->bitmap.pitch = static_cast<std::ptrdiff_t>(width) * 4;
  copy->bitmap.size = copy->bitmap.pitch * height;
  (*this)[i].frameBitmap = copy.release();  // the entry owns it from here
}

RRenderTarget::RRenderTarget(int sourceWidth, int sourceHeight, int destWidth, int destHeight)
    : source(sourceWidth, sourceHeight),
      destination(destWidth, destHeight),
      activation(destination.bitmap(), source.bitmap()) {
  activation.pfsi = &state;
}

}  // namespace testing_support
