#include "platform/device_context.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/font_renderer.h"

namespace platform {
namespace {

// COLORREF 0x00BBGGRR to stored pixel 0x00RRGGBB.
std::uint32_t toPixel(COLORREF color) {
  return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// numerator / denominator rounded to nearest, exact halves up or down. With
// integer end points a line may pass exactly between two pixels; it then
// leaves the diamond of the one with the smaller coordinate, as GDI draws it,
// so callers pick the direction of halves accordingly. Both operands are
// products of two 32-bit magnitudes at most, which fits.
std::uint64_t roundedRatio(std::uint64_t numerator, std::uint64_t denominator, bool halvesUp) {
  const std::uint64_t quotient = numerator / denominator;
  const std::uint64_t twiceRemainder = 2 * (numerator % denominator);
  const bool up = twiceRemainder > denominator || (halvesUp && twiceRemainder == denominator);
  return quotient + (up ? 1 : 0);
}

std::uint32_t blendChannel(std::uint32_t background, std::uint32_t foreground,
                           std::uint32_t coverage) {
  return (background * (255 - coverage) + foreground * coverage + 127) / 255;
}

}  // namespace

CFont::CFont() = default;
CFont::~CFont() = default;

bool CFont::createPointFont(int pointSizeTenths, const char* faceName) {
  face_.reset();
  if (pointSizeTenths <= 0) return false;
  // Point sizes are for a 96 dpi screen; 720 tenths of a point make an inch.
  const std::int64_t pixelHeight = (static_cast<std::int64_t>(pointSizeTenths) * 96 + 360) / 720;
  if (pixelHeight > std::numeric_limits<int>::max()) return false;
  face_ = CFontFace::create(faceName ? faceName : "", static_cast<int>(pixelHeight));
  return face_ != nullptr;
}

void CFont::deleteObject() { face_.reset(); }

CDeviceContext::CDeviceContext(std::uint32_t* data, int width, int height, std::ptrdiff_t pitch)
    : data_(data), width_(width), height_(height), pitch_(pitch) {
  // A surface that cannot hold its rows (or would misalign the 32-bit pixels)
  // is treated as empty: everything drawn on it is clipped away.
  const bool usable = data != nullptr && width > 0 && height > 0 && pitch % 4 == 0 &&
                      (pitch >= 0 ? pitch : -pitch) / 4 >= width;
  if (!usable) {
    data_ = nullptr;
    width_ = 0;
    height_ = 0;
  }
}

std::uint32_t* CDeviceContext::row(int y) const {
  auto* bottom = reinterpret_cast<std::uint8_t*>(data_);
  return reinterpret_cast<std::uint32_t*>(bottom + (height_ - 1 - y) * pitch_);
}

CPen* CDeviceContext::selectPen(CPen* pen) {
  CPen* previous = pen_;
  pen_ = pen;
  return previous;
}

CFont* CDeviceContext::selectFont(CFont* font) {
  CFont* previous = font_;
  font_ = font;
  return previous;
}

void CDeviceContext::moveTo(int x, int y) {
  currentX_ = x;
  currentY_ = y;
}

void CDeviceContext::lineTo(int x, int y) {
  const std::int64_t x0 = currentX_, y0 = currentY_;
  currentX_ = x;
  currentY_ = y;
  const std::uint32_t color = toPixel(pen_ ? pen_->color() : 0x000000);

  // Walk the major axis one pixel per step from the start (included) to the
  // end (excluded); the minor coordinate is the line's exact position there,
  // rounded. Only steps whose major coordinate lies on the bitmap are walked,
  // so far-off end points cost nothing.
  const std::int64_t dx = x - x0, dy = y - y0;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const std::int64_t major = xMajor ? dx : dy;
  const std::int64_t minor = xMajor ? dy : dx;
  const std::int64_t steps = std::llabs(major);
  if (steps == 0) return;
  const std::int64_t majorStep = major > 0 ? 1 : -1;
  const std::int64_t majorStart = xMajor ? x0 : y0;
  const std::int64_t minorStart = xMajor ? y0 : x0;
  const std::int64_t majorLimit = xMajor ? width_ : height_;
  const std::int64_t minorLimit = xMajor ? height_ : width_;

  // Steps i with 0 <= majorStart + i * majorStep < majorLimit.
  std::int64_t first = 0, last = steps - 1;
  if (majorStep > 0) {
    first = std::max(first, -majorStart);
    last = std::min(last, majorLimit - 1 - majorStart);
  } else {
    first = std::max(first, majorStart - (majorLimit - 1));
    last = std::min(last, majorStart);
  }
  const std::uint64_t minorMagnitude = static_cast<std::uint64_t>(std::llabs(minor));
  for (std::int64_t i = first; i <= last; ++i) {
    // The exact minor offset is minor * i / steps. Going towards smaller
    // coordinates, the smaller pixel of a tie is the larger offset.
    const auto magnitude =
        static_cast<std::int64_t>(roundedRatio(minorMagnitude * static_cast<std::uint64_t>(i),
                                               static_cast<std::uint64_t>(steps), minor < 0));
    const std::int64_t minorPos = minorStart + (minor < 0 ? -magnitude : magnitude);
    if (minorPos < 0 || minorPos >= minorLimit) continue;
    const std::int64_t majorPos = majorStart + i * majorStep;
    const int px = static_cast<int>(xMajor ? majorPos : minorPos);
    const int py = static_cast<int>(xMajor ? minorPos : majorPos);
    row(py)[px] = color;
  }
}

void CDeviceContext::fillSolidRect(int x, int y, int width, int height, COLORREF color) {
  // Like MFC's version, which fills by opaque text output: the fill colour
  // stays the background colour afterwards, and callers rely on that.
  setBkColor(color);
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(static_cast<std::int64_t>(x) + width, width_);
  const std::int64_t bottom =
      std::min<std::int64_t>(static_cast<std::int64_t>(y) + height, height_);
  if (left >= right || top >= bottom) return;
  const std::uint32_t pixel = toPixel(color);
  for (std::int64_t py = top; py < bottom; ++py) {
    std::uint32_t* target = row(static_cast<int>(py));
    std::fill(target + left, target + right, pixel);
  }
}

COLORREF CDeviceContext::setBkColor(COLORREF color) {
  const COLORREF previous = bkColor_;
  bkColor_ = color;
  return previous;
}

COLORREF CDeviceContext::setTextColor(COLORREF color) {
  const COLORREF previous = textColor_;
  textColor_ = color;
  return previous;
}

BackgroundMode CDeviceContext::setBkMode(BackgroundMode mode) {
  const BackgroundMode previous = bkMode_;
  bkMode_ = mode;
  return previous;
}

void CDeviceContext::textOut(int x, int y, const std::string& text) {
  if (!font_ || !font_->valid()) return;
  CFontFace& face = *font_->face();
  if (bkMode_ == BackgroundMode::kOpaque) {
    // fillSolidRect would also change the background colour; text must not.
    const COLORREF background = bkColor_;
    fillSolidRect(x, y, face.textWidth(text), face.lineHeight(), background);
  }
  const std::int64_t baseline = static_cast<std::int64_t>(y) + face.ascent();
  std::int64_t penX = x;
  for (char c : text) {
    const RGlyphBitmap& glyph = face.glyph(static_cast<unsigned char>(c));
    const std::int64_t glyphLeft = penX + glyph.left;
    const std::int64_t glyphTop = baseline - glyph.top;
    // Only the part of the glyph on the bitmap is visited.
    const std::int64_t firstRow = std::max<std::int64_t>(0, -glyphTop);
    const std::int64_t lastRow = std::min<std::int64_t>(glyph.rows, height_ - glyphTop);
    const std::int64_t firstColumn = std::max<std::int64_t>(0, -glyphLeft);
    const std::int64_t lastColumn = std::min<std::int64_t>(glyph.width, width_ - glyphLeft);
    for (std::int64_t gy = firstRow; gy < lastRow; ++gy) {
      const std::uint8_t* coverage = glyph.coverage.data() + gy * glyph.width;
      for (std::int64_t gx = firstColumn; gx < lastColumn; ++gx) {
        if (coverage[gx] != 0) {
          blendGlyphCoverage(static_cast<int>(glyphLeft + gx), static_cast<int>(glyphTop + gy),
                             coverage[gx], textColor_);
        }
      }
    }
    penX += glyph.advance;
    // No glyph reaches a line height left of its pen position: the rest is off.
    if (penX - face.lineHeight() >= width_) break;
  }
}

int CDeviceContext::drawText(const std::string& text, const RRect& rect, unsigned format) {
  if (!font_ || !font_->valid()) return 0;
  CFontFace& face = *font_->face();
  std::int64_t x = rect.left;
  std::int64_t y = rect.top;
  // Integer division truncates, as GDI's placement does.
  if (format & DT_CENTER) {
    x += (static_cast<std::int64_t>(rect.right) - rect.left - face.textWidth(text)) / 2;
  }
  // Vertical centring only applies to a single line, as in GDI.
  if ((format & DT_VCENTER) && (format & DT_SINGLELINE)) {
    y += (static_cast<std::int64_t>(rect.bottom) - rect.top - face.lineHeight()) / 2;
  }
  const auto clampToInt = [](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
  };
  textOut(clampToInt(x), clampToInt(y), text);
  return face.lineHeight();
}

void CDeviceContext::textExtent(const std::string& text, int* width, int* height) const {
  const bool hasFont = font_ && font_->valid();
  if (width) *width = hasFont ? font_->face()->textWidth(text) : 0;
  if (height) *height = hasFont ? font_->face()->lineHeight() : 0;
}

std::uint32_t CDeviceContext::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return row(y)[x];
}

void CDeviceContext::setPixel(int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  row(y)[x] = toPixel(color);
}

void CDeviceContext::blendGlyphCoverage(int x, int y, std::uint8_t coverage, COLORREF color) {
  std::uint32_t& target = row(y)[x];
  const std::uint32_t foreground = toPixel(color);
  std::uint32_t blended = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    blended |= blendChannel((target >> shift) & 0xFF, (foreground >> shift) & 0xFF, coverage)
               << shift;
  }
  target = blended;
}

}  // namespace platform
