// Glyph rasterisation for the device context: FreeType over DejaVu fonts that
// fontconfig finds. One CFontFace is one face at one pixel size; glyphs are
// hinted, 8-bit anti-aliased and cached per face.
// Thread-safety: faces may be created and destroyed on any thread; one face
// renders on one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct RGlyphBitmap {
  int width = 0, rows = 0;
  int left = 0;                        // pen position to first column
  int top = 0;                         // baseline to first row (up is positive)
  int advance = 0;                     // pixels to the next pen position
  std::vector<std::uint8_t> coverage;  // rows * width, 0..255, top row first
};

class CFontFace {
 public:
  // Face names of monospaced fonts ("Lucida Console", "Courier New",
  // "Consolas", "Courier", "Fixedsys", "Terminal"; any case) map to DejaVu
  // Sans Mono, others to DejaVu Sans. `pixelHeight` is the em size in pixels
  // (1..1024). Null when fontconfig or FreeType cannot provide a face.
  static std::unique_ptr<CFontFace> create(const std::string& faceName, int pixelHeight);
  ~CFontFace();

  // Font ascender and ascender + descender, each rounded to whole pixels.
  int ascent() const { return ascent_; }
  int lineHeight() const { return lineHeight_; }
  const std::string& filePath() const { return filePath_; }
  // Rendered glyph of one 8-bit character (Latin-1); characters the font lacks
  // show its missing-glyph box. The reference stays valid as long as the face.
  const RGlyphBitmap& glyph(unsigned char character);
  int textWidth(const std::string& text);

 private:
  CFontFace() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int ascent_ = 0;
  int lineHeight_ = 0;
  std::string filePath_;
  std::vector<std::unique_ptr<RGlyphBitmap>> cache_;
};

}  // namespace platform
