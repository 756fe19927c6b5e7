// A drawing surface over a 32-bit bottom-up bitmap, with the small part of a
// GDI-style device context that the filter draws with: one-pixel pens, lines,
// solid rectangles, opaque text at a point or centred in a rectangle, and a
// flush.
//
// Coordinates are top-down: (0, 0) is the top-left pixel of the picture,
// which is the first pixel of the LAST stored row. Everything outside the
// bitmap is clipped. Pixels are written as 0x00RRGGBB; colours are given as
// COLORREF 0x00BBGGRR.
//
// Thread-safety: one device context is used by one thread at a time; pens and
// fonts may be shared between contexts but not changed while in use.
//
// On Windows the context is the GDI device context that the host grants over
// its DIB section, and pens, fonts, lines, rectangles and text are GDI's own
// (TextOut, DrawText, GdiFlush). The names below keep GDI's values, so this
// header is included before <windows.h>, whose macros of the same names
// would otherwise replace them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Colour value of a device context: 0x00BBGGRR (red in the lowest byte), the
// order the drawing code of the filter writes its constants in.
using COLORREF = unsigned int;

class CFontFace;  // a rasteriser for one face at one pixel size (font_renderer.h)

inline constexpr COLORREF rgbColor(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

struct RRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Text format flags of drawText.
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_VCENTER = 0x4;
inline constexpr unsigned DT_SINGLELINE = 0x20;

enum class BackgroundMode { kTransparent = 1, kOpaque = 2 };

class CPen {
 public:
  enum Style { PS_SOLID = 0 };
  // Every width draws one pixel wide (the filter only uses 0 and 1).
  CPen(Style style, int width, COLORREF color) : style_(style), width_(width), color_(color) {}
  COLORREF color() const { return color_; }
  int width() const { return width_; }
  Style style() const { return style_; }
#ifdef _WIN32
  ~CPen();
  CPen(const CPen&) = delete;
  CPen& operator=(const CPen&) = delete;
  // The GDI pen (HPEN), made on first use.
  void* handle() const;
#endif

 private:
  Style style_;
  int width_;
  COLORREF color_;
#ifdef _WIN32
  mutable void* handle_ = nullptr;
#endif
};

// A font chosen by face name and size, as a text-drawing program names it.
// Face names are matched to the installed fonts: monospaced faces ("Lucida
// Console", "Courier New", ...) to DejaVu Sans Mono, everything else to
// DejaVu Sans. Point sizes are for a 96 dpi screen. On Windows the font is
// GDI's (HFONT) for the screen's resolution, and GDI picks the face.
class CFont {
 public:
  CFont();
  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  // Point size in tenths (80 = 8 point), giving an em of
  // round(tenths * 96 / 720) pixels. Replaces any face the object had. A null
  // face name picks the proportional face. False when no font file was found
  // or the size is not positive; the object is then empty and text drawn with
  // it is skipped.
  bool createPointFont(int pointSizeTenths, const char* faceName);
  void deleteObject();
#ifdef _WIN32
  bool valid() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }

 private:
  void* handle_ = nullptr;  // HFONT
#else
  bool valid() const { return face_ != nullptr; }
  CFontFace* face() const { return face_.get(); }

 private:
  std::unique_ptr<CFontFace> face_;
#endif
};

class CDeviceContext {
 public:
#ifdef _WIN32
  // Draws on the GDI device context `gdiContext` (an HDC with a bitmap
  // selected); width() and height() are that bitmap's. The context's state
  // (objects, colours, modes) is saved here and restored on destruction, so
  // each user starts from the host's state. A null context draws nothing.
  explicit CDeviceContext(void* gdiContext);
  ~CDeviceContext();
  CDeviceContext(const CDeviceContext&) = delete;
  CDeviceContext& operator=(const CDeviceContext&) = delete;
#else
  // `data` is the bottom stored row, `pitch` the bytes between stored rows
  // (a multiple of 4, at least width * 4; bytes past each row's pixels are
  // never touched). The caller keeps the bitmap alive. A null or impossible
  // bitmap gives an empty context: width() and height() are 0 and all
  // drawing is clipped away.
  CDeviceContext(std::uint32_t* data, int width, int height, std::ptrdiff_t pitch);
#endif

  int width() const { return width_; }
  int height() const { return height_; }

  // Both return the previously selected object (null for the built-in default:
  // a black pen, no font).
  CPen* selectPen(CPen* pen);
  CFont* selectFont(CFont* font);

  void moveTo(int x, int y);
  // Draws from the current position to (x, y), the end point excluded, and
  // makes (x, y) the current position. One pixel per step along the longer
  // axis, at the nearest pixel of the other axis; where the line runs exactly
  // between two pixels the one with the smaller coordinate is lit, so a line
  // and its reverse light the same pixels apart from their ends.
  void lineTo(int x, int y);

  // Fills the rectangle (empty when width or height is not positive). Side
  // effect, as in MFC: the background colour becomes `color`.
  void fillSolidRect(int x, int y, int width, int height, COLORREF color);

  COLORREF setBkColor(COLORREF color);
#ifdef _WIN32
  COLORREF bkColor() const;
#else
  COLORREF bkColor() const { return bkColor_; }
#endif
  COLORREF setTextColor(COLORREF color);
  BackgroundMode setBkMode(BackgroundMode mode);

  // One line of Latin-1 text with its cell's top-left corner at (x, y); the
  // baseline is at y + the font's ascent. In opaque mode the cell (sum of
  // advances by line height) is first filled with the background colour
  // (which stays unchanged). Glyph coverage blends the text colour over the
  // pixels. Nothing happens without a valid font.
  void textOut(int x, int y, const std::string& text);
  // Places the text like textOut at the left edge of `rect` or, with
  // DT_CENTER, at left + (width - text width) / 2; with DT_VCENTER and
  // DT_SINGLELINE at top + (height - line height) / 2 (integer division).
  // Returns the line height, 0 without a valid font. Text is not clipped to
  // the rectangle, only to the bitmap.
  int drawText(const std::string& text, const RRect& rect, unsigned format);
  // Width and height in pixels of `text` with the selected font (0 and 0
  // without one). Either pointer may be null.
  void textExtent(const std::string& text, int* width, int* height) const;

  // Drawing is immediate; flush exists because callers hand the bitmap back
  // to the host afterwards, and a buffered implementation would need it. GDI
  // batches drawing calls: there it is GdiFlush.
#ifdef _WIN32
  void flush();
#else
  void flush() {}
#endif

  // Pixel access for tests and tools (top-down coordinates). pixel() returns
  // the stored 0x00RRGGBB value, 0 outside the bitmap.
  std::uint32_t pixel(int x, int y) const;
  void setPixel(int x, int y, COLORREF color);

 private:
#ifdef _WIN32
  void* dc_;  // HDC
  int savedState_ = 0;
  int width_ = 0;
  int height_ = 0;
  CPen* pen_ = nullptr;
  CFont* font_ = nullptr;
  void* defaultPen_ = nullptr;   // what the context held before the first selectPen
  void* defaultFont_ = nullptr;  // likewise for selectFont
#else
  std::uint32_t* row(int y) const;
  void blendGlyphCoverage(int x, int y, std::uint8_t coverage, COLORREF color);

  std::uint32_t* data_;
  int width_;
  int height_;
  std::ptrdiff_t pitch_;
  CPen* pen_ = nullptr;
  CFont* font_ = nullptr;
  int currentX_ = 0, currentY_ = 0;
  COLORREF bkColor_ = 0xFFFFFF;
  COLORREF textColor_ = 0x000000;
  BackgroundMode bkMode_ = BackgroundMode::kOpaque;
#endif
};

}  // namespace platform
