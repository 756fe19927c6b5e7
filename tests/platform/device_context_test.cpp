#include "platform/device_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr std::uint32_t kCanary = 0xDEADBEEF;
constexpr COLORREF kRed = rgbColor(255, 0, 0);

// A bottom-up bitmap whose rows are followed by two words of padding that
// must never be written.
class CBitmap {
 public:
  static constexpr int kPadding = 2;
  CBitmap(int width, int height, std::uint32_t fill = 0)
      : width_(width), height_(height), words_((width + kPadding) * height, kCanary) {
    for (int y = 0; y < height; ++y) std::fill_n(stored(y), width, fill);
  }
  CDeviceContext dc() {
    return CDeviceContext(words_.data(), width_, height_, (width_ + kPadding) * 4);
  }
  // Stored row `storedRow` (0 = bottom of the picture).
  std::uint32_t* stored(int storedRow) { return words_.data() + storedRow * (width_ + kPadding); }
  std::uint32_t at(int x, int topDownY) { return stored(height_ - 1 - topDownY)[x]; }
  bool paddingIntact() {
    for (int y = 0; y < height_; ++y) {
      if (stored(y)[width_] != kCanary || stored(y)[width_ + 1] != kCanary) return false;
    }
    return true;
  }
  std::set<std::pair<int, int>> pixelsNot(std::uint32_t background) {
    std::set<std::pair<int, int>> result;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (at(x, y) != background) result.insert({x, y});
      }
    }
    return result;
  }

 private:
  int width_, height_;
  std::vector<std::uint32_t> words_;
};

using CPixels = std::set<std::pair<int, int>>;

CPixels drawLine(int x0, int y0, int x1, int y1) {
  CBitmap bitmap(20, 20);
  CDeviceContext dc = bitmap.dc();
  CPen pen(CPen::PS_SOLID, 0, kRed);
  dc.selectPen(&pen);
  dc.moveTo(x0, y0);
  dc.lineTo(x1, y1);
  EXPECT_TRUE(bitmap.paddingIntact());
  return bitmap.pixelsNot(0);
}

TEST(DeviceContextLineTest, IncludesStartExcludesEnd) {
  EXPECT_EQ(drawLine(2, 3, 6, 3), (CPixels{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
  EXPECT_EQ(drawLine(6, 3, 2, 3), (CPixels{{6, 3}, {5, 3}, {4, 3}, {3, 3}}));
  EXPECT_EQ(drawLine(4, 1, 4, 4), (CPixels{{4, 1}, {4, 2}, {4, 3}}));
  EXPECT_EQ(drawLine(4, 4, 4, 1), (CPixels{{4, 4}, {4, 3}, {4, 2}}));
  EXPECT_EQ(drawLine(1, 1, 4, 4), (CPixels{{1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(drawLine(5, 1, 2, 4), (CPixels{{5, 1}, {4, 2}, {3, 3}}));
  EXPECT_TRUE(drawLine(7, 7, 7, 7).empty());
  EXPECT_EQ(drawLine(7, 7, 8, 8), (CPixels{{7, 7}}));
}

TEST(DeviceContextTest, StoresBottomUpAndConvertsColours) {
  CBitmap bitmap(8, 6);
  CDeviceContext dc = bitmap.dc();
  dc.setPixel(2, 1, rgbColor(0x12, 0x34, 0x56));
  EXPECT_EQ(bitmap.stored(6 - 1 - 1)[2], 0x123456u);
  EXPECT_EQ(dc.pixel(2, 1), 0x123456u);
  CPen pen(CPen::PS_SOLID, 0, kRed);
  EXPECT_EQ(dc.selectPen(&pen), nullptr);
  dc.moveTo(0, 0);
  dc.lineTo(3, 0);
  EXPECT_EQ(bitmap.stored(5)[0], 0xFF0000u);  // the top row is the last stored one
  // Outside the bitmap: nothing written, zero read.
  dc.setPixel(-1, 0, kRed);
  dc.setPixel(0, 6, kRed);
  dc.setPixel(8, 0, kRed);
  EXPECT_EQ(dc.pixel(8, 0), 0u);
  EXPECT_TRUE(bitmap.paddingIntact());
  // A surface that cannot be one is empty rather than a crash.
  for (CDeviceContext bad :
       {CDeviceContext(nullptr, 8, 6, 32), CDeviceContext(bitmap.stored(0), 8, 6, 16)}) {
    bad.fillSolidRect(0, 0, 8, 6, kRed);
    bad.setPixel(1, 1, kRed);
    EXPECT_EQ(bad.width(), 0);
    EXPECT_EQ(bad.pixel(1, 1), 0u);
  }
  EXPECT_TRUE(bitmap.paddingIntact());
}

}  // namespace
}  // namespace platform
