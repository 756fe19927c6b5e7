#include "platform/device_context.h"
//
#include <windows.h>

#include <climits>
#include <cstring>

namespace platform {
namespace {

HDC gdi(void* dc) { return static_cast<HDC>(dc); }

// COLORREF 0x00BBGGRR to stored pixel 0x00RRGGBB.
std::uint32_t toPixel(COLORREF color) {
  return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

int textLength(const std::string& text) {
  return text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
}

}  // namespace

CPen::~CPen() {
  if (handle_ != nullptr) DeleteObject(static_cast<HPEN>(handle_));
}

void* CPen::handle() const {
  if (handle_ == nullptr) handle_ = CreatePen(style_, width_, color_);
  return handle_;
}

CFont::CFont() = default;

CFont::~CFont() { deleteObject(); }

bool CFont::createPointFont(int pointSizeTenths, const char* faceName) {
  deleteObject();
  if (pointSizeTenths <= 0) return false;
  // Tenths of a point at the screen's vertical resolution, rounded, as a
  // character height (negative: without the internal leading).
  int dotsPerInch = 96;
  if (HDC screen = GetDC(nullptr)) {
    dotsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  LOGFONTA font{};
  font.lfHeight = -MulDiv(pointSizeTenths, dotsPerInch, 720);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  if (faceName != nullptr) {
    std::strncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
  }
  handle_ = CreateFontIndirectA(&font);
  return handle_ != nullptr;
}

void CFont::deleteObject() {
  if (handle_ != nullptr) DeleteObject(static_cast<HFONT>(handle_));
  handle_ = nullptr;
}

CDeviceContext::CDeviceContext(void* gdiContext) : dc_(gdiContext) {
  if (dc_ == nullptr) return;
  savedState_ = SaveDC(gdi(dc_));
  BITMAP bitmap{};
  HGDIOBJ selected = GetCurrentObject(gdi(dc_), OBJ_BITMAP);
  if (selected != nullptr && GetObjectA(selected, sizeof bitmap, &bitmap) == sizeof bitmap) {
    width_ = bitmap.bmWidth;
    height_ = bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight;
  }
}

CDeviceContext::~CDeviceContext() {
  // The host's own objects come back before ours may be deleted.
  if (dc_ != nullptr && savedState_ != 0) RestoreDC(gdi(dc_), savedState_);
}

CPen* CDeviceContext::selectPen(CPen* pen) {
  CPen* previous = pen_;
  if (dc_ == nullptr) return previous;
  HGDIOBJ wanted = pen != nullptr ? pen->handle() : defaultPen_;
  if (wanted != nullptr) {
    HGDIOBJ old = SelectObject(gdi(dc_), wanted);
    if (defaultPen_ == nullptr) defaultPen_ = old;
  }
  pen_ = pen;
  return previous;
}

CFont* CDeviceContext::selectFont(CFont* font) {
  CFont* previous = font_;
  if (dc_ == nullptr) return previous;
  HGDIOBJ wanted = font != nullptr && font->valid() ? font->handle() : defaultFont_;
  if (wanted != nullptr) {
    HGDIOBJ old = SelectObject(gdi(dc_), wanted);
    if (defaultFont_ == nullptr) defaultFont_ = old;
  }
  font_ = font;
  return previous;
}

void CDeviceContext::moveTo(int x, int y) {
  if (dc_ != nullptr) MoveToEx(gdi(dc_), x, y, nullptr);
}

void CDeviceContext::lineTo(int x, int y) {
  if (dc_ != nullptr) LineTo(gdi(dc_), x, y);
}

void CDeviceContext::fillSolidRect(int x, int y, int width, int height, COLORREF color) {
  if (dc_ == nullptr) return;
  // MFC's way: opaque text output of nothing over the rectangle, which
  // leaves the fill colour as the background colour.
  SetBkColor(gdi(dc_), color);
  if (width <= 0 || height <= 0) return;
  const RECT rect{x, y, x + width, y + height};
  ExtTextOutA(gdi(dc_), 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

COLORREF CDeviceContext::setBkColor(COLORREF color) {
  return dc_ != nullptr ? SetBkColor(gdi(dc_), color) : 0xFFFFFF;
}

COLORREF CDeviceContext::bkColor() const {
  return dc_ != nullptr ? GetBkColor(gdi(dc_)) : 0xFFFFFF;
}

COLORREF CDeviceContext::setTextColor(COLORREF color) {
  return dc_ != nullptr ? SetTextColor(gdi(dc_), color) : 0;
}

BackgroundMode CDeviceContext::setBkMode(BackgroundMode mode) {
  if (dc_ == nullptr) return BackgroundMode::kOpaque;
  return SetBkMode(gdi(dc_), static_cast<int>(mode)) == TRANSPARENT ? BackgroundMode::kTransparent
                                                                    : BackgroundMode::kOpaque;
}

void CDeviceContext::textOut(int x, int y, const std::string& text) {
  if (dc_ == nullptr || font_ == nullptr || !font_->valid()) return;
  TextOutA(gdi(dc_), x, y, text.c_str(), textLength(text));
}

int CDeviceContext::drawText(const std::string& text, const RRect& rect, unsigned format) {
  if (dc_ == nullptr || font_ == nullptr || !font_->valid()) return 0;
  RECT area{rect.left, rect.top, rect.right, rect.bottom};
  // Not clipped to the rectangle, like the other platform's placement.
  return DrawTextA(gdi(dc_), text.c_str(), textLength(text), &area, format | DT_NOCLIP);
}

void CDeviceContext::textExtent(const std::string& text, int* width, int* height) const {
  SIZE size{};
  const bool measured = dc_ != nullptr && font_ != nullptr && font_->valid() &&
                        GetTextExtentPoint32A(gdi(dc_), text.c_str(), textLength(text), &size);
  if (width) *width = measured ? size.cx : 0;
  if (height) *height = measured ? size.cy : 0;
}

void CDeviceContext::flush() { GdiFlush(); }

std::uint32_t CDeviceContext::pixel(int x, int y) const {
  if (dc_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const COLORREF color = GetPixel(gdi(dc_), x, y);
  return color == CLR_INVALID ? 0 : toPixel(color);
}

void CDeviceContext::setPixel(int x, int y, COLORREF color) {
  if (dc_ != nullptr) SetPixelV(gdi(dc_), x, y, color);
}

}  // namespace platform
