#include "platform/device_context.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "tests/support/render_fixtures.h"

namespace platform {
namespace {

constexpr COLORREF kRed = rgbColor(255, 0, 0);

using CPixels = std::set<std::pair<int, int>>;

// On a bitmap with guard pixels after every row: the pixels drawn, top-down.
CPixels drawLine(int x0, int y0, int x1, int y1) {
  testing_support::CGuardedBitmap bitmap(20, 20);
  CDeviceContext dc(bitmap.bitmap().data, 20, 20, bitmap.bitmap().pitch);
  CPen pen(CPen::PS_SOLID, 0, kRed);
  dc.selectPen(&pen);
  dc.moveTo(x0, y0);
  dc.lineTo(x1, y1);
  EXPECT_TRUE(bitmap.guardsIntact());
  CPixels drawn;
  for (int row = 0; row < 20; ++row) {
    for (int x = 0; x < 20; ++x) {
      if (bitmap.at(x, row) != 0) drawn.insert({x, 19 - row});
    }
  }
  return drawn;
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
  testing_support::CGuardedBitmap bitmap(8, 6);
  CDeviceContext dc(bitmap.bitmap().data, 8, 6, bitmap.bitmap().pitch);
  dc.setPixel(2, 1, rgbColor(0x12, 0x34, 0x56));
  EXPECT_EQ(bitmap.at(2, 6 - 1 - 1), 0x123456u);
  EXPECT_EQ(dc.pixel(2, 1), 0x123456u);
  CPen pen(CPen::PS_SOLID, 0, kRed);
  EXPECT_EQ(dc.selectPen(&pen), nullptr);
  dc.moveTo(0, 0);
  dc.lineTo(3, 0);
  EXPECT_EQ(bitmap.at(0, 5), 0xFF0000u);  // the top row is the last stored one
  // Outside the bitmap: nothing written, zero read.
  dc.setPixel(-1, 0, kRed);
  dc.setPixel(0, 6, kRed);
  dc.setPixel(8, 0, kRed);
  EXPECT_EQ(dc.pixel(8, 0), 0u);
  EXPECT_TRUE(bitmap.guardsIntact());
  // A surface that cannot be one is empty rather than a crash.
  for (CDeviceContext bad :
       {CDeviceContext(nullptr, 8, 6, 32), CDeviceContext(bitmap.bitmap().data, 8, 6, 16)}) {
    bad.fillSolidRect(0, 0, 8, 6, kRed);
    bad.setPixel(1, 1, kRed);
    EXPECT_EQ(bad.width(), 0);
    EXPECT_EQ(bad.pixel(1, 1), 0u);
  }
  EXPECT_TRUE(bitmap.guardsIntact());
}

}  // namespace
}  // namespace platform
