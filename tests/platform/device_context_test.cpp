#include "platform/device_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/font_renderer.h"
#include "tests/support/png_writer.h"

namespace platform {
namespace {

constexpr std::uint32_t kCanary = 0xDEADBEEF;
constexpr std::uint32_t kWhite = 0xFFFFFF;
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
  const std::uint32_t* data() const { return words_.data(); }
  int width() const { return width_; }
  int height() const { return height_; }

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
  CPen white(CPen::PS_SOLID, 0, 0xFFFFFF);
  EXPECT_EQ(dc.selectPen(&white), &pen);
  EXPECT_EQ(dc.selectPen(nullptr), &white);
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

TEST(DeviceContextTest, FillSolidRectFillsClipsAndSetsTheBackgroundColour) {
  CBitmap bitmap(10, 8);
  CDeviceContext dc = bitmap.dc();
  dc.fillSolidRect(3, 2, 3, 3, kRed);
  CPixels expected;
  for (int y = 2; y < 5; ++y) {
    for (int x = 3; x < 6; ++x) expected.insert({x, y});
  }
  EXPECT_EQ(bitmap.pixelsNot(0), expected);
  EXPECT_EQ(bitmap.at(4, 3), 0xFF0000u);
  EXPECT_EQ(dc.bkColor(), kRed);

  dc.fillSolidRect(-5, -5, 7, 6, 0xFFFFFF);  // covers x 0..1, y 0
  dc.fillSolidRect(8, 6, 100, 100, 0xFFFFFF);
  dc.fillSolidRect(-1000, 3, INT_MAX, 1, 0x00FF00);
  dc.fillSolidRect(2, 2, 0, 5, 0x0000FF);
  dc.fillSolidRect(2, 2, 5, -3, 0x0000FF);
  EXPECT_EQ(bitmap.at(0, 0), kWhite);
  EXPECT_EQ(bitmap.at(1, 0), kWhite);
  EXPECT_EQ(bitmap.at(2, 0), 0u);
  EXPECT_EQ(bitmap.at(9, 7), kWhite);
  EXPECT_EQ(bitmap.at(7, 7), 0u);
  EXPECT_EQ(bitmap.at(0, 3), 0x00FF00u);
  EXPECT_EQ(bitmap.at(9, 3), 0x00FF00u);
  EXPECT_EQ(bitmap.at(4, 2), 0xFF0000u);
  EXPECT_TRUE(bitmap.paddingIntact());
}

struct RInk {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // inclusive
  int count = 0;
  void add(int x, int y) {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
    ++count;
  }
};

RInk inkOf(CBitmap& bitmap, std::uint32_t background) {
  RInk ink;
  for (const auto& [x, y] : bitmap.pixelsNot(background)) ink.add(x, y);
  return ink;
}

TEST(DeviceContextTextTest, TextOutFillsItsCellAndInksOnlyInside) {
  constexpr std::uint32_t kGrey = 0x808080;
  CBitmap bitmap(200, 30, kGrey);
  CDeviceContext dc = bitmap.dc();
  CFont font;
  ASSERT_TRUE(font.createPointFont(80, "Lucida Console"));
  EXPECT_EQ(dc.selectFont(&font), nullptr);
  dc.setBkColor(0xFFFFFF);
  dc.setTextColor(0x000000);
  const std::string text = "Pan X: 1.25 Ok";
  int width = 0, height = 0;
  dc.textExtent(text, &width, &height);
  // 8 point at 96 dpi is an 11 pixel em.
  auto reference = CFontFace::create("Lucida Console", 11);
  ASSERT_NE(reference, nullptr);
  EXPECT_EQ(width, reference->textWidth(text));
  EXPECT_EQ(height, reference->lineHeight());

  dc.textOut(7, 5, text);
  EXPECT_EQ(dc.bkColor(), 0xFFFFFFu);  // text leaves the background colour alone
  // Inside the cell only shades of grey between white and black; outside it
  // nothing changes. The cell's dark ink lies above the baseline, as
  // "Pan X: 1.25 Ok" has no descenders.
  RInk dark;
  for (int y = 0; y < bitmap.height(); ++y) {
    for (int x = 0; x < bitmap.width(); ++x) {
      const std::uint32_t p = bitmap.at(x, y);
      const bool inCell = x >= 7 && x < 7 + width && y >= 5 && y < 5 + height;
      if (!inCell) {
        ASSERT_EQ(p, kGrey) << x << "," << y;
        continue;
      }
      ASSERT_TRUE((p & 0xFF) == ((p >> 8) & 0xFF) && (p & 0xFF) == (p >> 16)) << x << "," << y;
      if ((p & 0xFF) < 0x40) dark.add(x, y);
    }
  }
  EXPECT_GT(dark.count, 60);
  EXPECT_LE(dark.left, 7 + 2);
  EXPECT_GE(dark.right, 7 + width - reference->glyph('k').advance);
  EXPECT_EQ(dark.bottom, 5 + reference->ascent() - 1);
  EXPECT_GE(dark.top, 5);
}

TEST(DeviceContextTextTest, DrawTextCentresInTheRectangle) {
  CBitmap bitmap(240, 50, 0);
  CDeviceContext dc = bitmap.dc();
  CFont font;
  ASSERT_TRUE(font.createPointFont(90, "Verdana"));
  dc.selectFont(&font);
  dc.setBkColor(0);
  dc.setTextColor(0xFFFFFF);
  const RRect rect{0, 10, 240, 40};
  int width = 0, height = 0;
  dc.textExtent("Output is delayed 30 frames", &width, &height);
  EXPECT_EQ(
      dc.drawText("Output is delayed 30 frames", rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE),
      height);
  const RInk ink = inkOf(bitmap, 0);
  ASSERT_GT(ink.count, 0);
  EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, 120.0, 2.0);
  EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, 25.0, 2.0);
  EXPECT_GT(ink.right - ink.left, width * 3 / 4);

  // Without DT_SINGLELINE there is no vertical centring; without DT_CENTER
  // the text starts at the left edge.
  CBitmap left(240, 50, 0);
  CDeviceContext leftDc = left.dc();
  leftDc.selectFont(&font);
  leftDc.setBkColor(0);
  leftDc.setTextColor(0xFFFFFF);
  leftDc.drawText("Output", rect, DT_LEFT | DT_VCENTER);
  const RInk leftInk = inkOf(left, 0);
  EXPECT_LE(leftInk.left, 2);
  EXPECT_GE(leftInk.top, 10);
  EXPECT_LT(leftInk.top, 14);
}

// Leaves a picture of the two kinds of text the filter draws, for a person to
// judge legibility: a status line in the strip under a picture, and a
// centred message on black.
TEST(DeviceContextTextTest, SavesALegibleTextPicture) {
  constexpr int kWidth = 560, kPicture = 60, kStrip = 10, kMessage = 40;
  CBitmap bitmap(kWidth, kPicture + kStrip + kMessage);
  // The picture with its strip (top) and the message frame (bottom) are two
  // device contexts over one bottom-up buffer, as a host would hand them.
  const std::ptrdiff_t pitch = (kWidth + CBitmap::kPadding) * 4;
  CDeviceContext frame(bitmap.stored(kMessage), kWidth, kPicture + kStrip, pitch);
  CDeviceContext message(bitmap.stored(0), kWidth, kMessage, pitch);

  frame.fillSolidRect(0, 0, kWidth, kPicture, 0x808080);
  CPen white(CPen::PS_SOLID, 0, 0xFFFFFF), red(CPen::PS_SOLID, 0, kRed);
  for (int block = 0; block < 8; ++block) {
    const int cx = 30 + block * 56, cy = 30, ex = cx + (block * 7) % 17 - 8, ey = cy + block - 4;
    frame.selectPen(block % 3 ? &white : &red);
    frame.moveTo(cx, cy);
    frame.lineTo(ex, ey);
    frame.fillSolidRect(ex - 1, ey - 1, 3, 3, block % 3 ? 0xFFFFFF : kRed);
  }
  CFont status;
  ASSERT_TRUE(status.createPointFont(80, "Lucida Console"));
  frame.selectFont(&status);
  frame.setBkMode(BackgroundMode::kOpaque);
  frame.fillSolidRect(0, kPicture, kWidth, kStrip, 0xFFFFFF);
  frame.setTextColor(0);
  frame.textOut(0, kPicture,
                "Pan X: 1.25  Pan Y: -0.50  Rotate: 0.125  Zoom: 1.00010  Ok blocks: 87.5%");

  CFont verdana;
  ASSERT_TRUE(verdana.createPointFont(90, "Verdana"));
  message.selectFont(&verdana);
  message.fillSolidRect(0, 0, kWidth, kMessage, 0);
  message.setTextColor(0xFFFFFF);
  message.drawText("Output is delayed 30 frames", RRect{0, 2, kWidth, 20},
                   DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  message.setTextColor(0xD0D0D0);
  message.drawText("(stabilised video starts at frame 30)", RRect{0, 20, kWidth, 38},
                   DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EXPECT_TRUE(bitmap.paddingIntact());

  const std::string directory = QV_TEST_OUTPUT_DIR;
  std::string error;
  const std::string path = directory + "/device_context_text.png";
  ASSERT_TRUE(
      qvtest::writeBottomUpPng(path, bitmap.data(), kWidth, bitmap.height(), pitch, 1, &error))
      << error;
  ASSERT_TRUE(qvtest::writeBottomUpPng(directory + "/device_context_text_3x.png", bitmap.data(),
                                       kWidth, bitmap.height(), pitch, 3, &error))
      << error;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  ASSERT_TRUE(file);
  // Signature, header, stored rows (filter byte + RGB), block and chunk framing.
  const std::size_t rawSize = static_cast<std::size_t>(bitmap.height()) * (1 + kWidth * 3);
  EXPECT_GT(static_cast<std::size_t>(file.tellg()), rawSize);
  EXPECT_LT(static_cast<std::size_t>(file.tellg()), rawSize + 200);
  EXPECT_FALSE(qvtest::writePng(directory + "/nothing.png", nullptr, 1, 1, 4, 1, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace platform
