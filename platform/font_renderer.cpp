#include "platform/font_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>
#include <system_error>

namespace platform {
namespace {

struct RFreeTypeLibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct RFcConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct RFcPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using CFcPatternPtr = std::unique_ptr<FcPattern, RFcPatternDeleter>;

// The process-wide FreeType library and fontconfig configuration. Faces hold
// a shared reference, so a face that outlives the static (a font kept in
// another static object) still finds its library alive when it is destroyed.
// FreeType requires creating and destroying faces of one library to be
// serialised; `mutex` does that and also guards the path cache.
struct RFontSystem {
  std::mutex mutex;
  std::unique_ptr<FT_LibraryRec_, RFreeTypeLibraryDeleter> library;
  std::unique_ptr<FcConfig, RFcConfigDeleter> config;
  std::map<std::string, std::string> pathByFamily;  // "" when no file was found
};

std::shared_ptr<RFontSystem> fontSystem() {
  static const std::shared_ptr<RFontSystem> system = [] {
    auto created = std::make_shared<RFontSystem>();
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0) created->library.reset(library);
    created->config.reset(FcInitLoadConfigAndFonts());
    return created;
  }();
  return system;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Windows face names a program may ask for, reduced to the two families that
// Debian always ships with fontconfig: monospaced or proportional.
const char* familyForFaceName(const std::string& faceName) {
  static constexpr std::array<std::string_view, 6> kMonospaced = {
      "Lucida Console", "Courier New", "Consolas", "Courier", "Fixedsys", "Terminal"};
  for (std::string_view name : kMonospaced) {
    if (equalsIgnoringCase(faceName, name)) return "DejaVu Sans Mono";
  }
  return "DejaVu Sans";
}

// Caller holds system.mutex. Fontconfig substitutes the nearest installed
// font when the family is missing; any existing file is accepted.
std::string resolveFontFile(RFontSystem& system, const std::string& family) {
  auto cached = system.pathByFamily.find(family);
  if (cached != system.pathByFamily.end()) return cached->second;

  std::string path;
  CFcPatternPtr pattern(FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str())));
  if (pattern && FcConfigSubstitute(system.config.get(), pattern.get(), FcMatchPattern)) {
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    CFcPatternPtr match(FcFontMatch(system.config.get(), pattern.get(), &result));
    FcChar8* file = nullptr;
    if (match && FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch && file) {
      std::error_code error;
      const std::string candidate(reinterpret_cast<const char*>(file));
      if (std::filesystem::is_regular_file(candidate, error)) path = candidate;
    }
  }
  system.pathByFamily.emplace(family, path);
  return path;
}

int roundedPixels(FT_Pos value26Dot6) { return static_cast<int>((value26Dot6 + 32) >> 6); }

// Status text is 11 and 12 pixels high. Light hinting (and the bytecode
// interpreter FreeType runs by default) only snap vertically, which leaves
// vertical stems smeared over two grey columns at that size; the auto-hinter's
// normal mode snaps stems both ways, so the text reads crisply in a
// screenshot. It keeps the monospaced face's advances equal.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_NORMAL | FT_LOAD_FORCE_AUTOHINT;

}  // namespace

struct CFontFace::Impl {
  struct RFaceDeleter {
    std::shared_ptr<RFontSystem> system;
    void operator()(FT_Face face) const {
      std::lock_guard lock(system->mutex);
      FT_Done_Face(face);
    }
  };
  std::unique_ptr<FT_FaceRec_, RFaceDeleter> face;
};

std::unique_ptr<CFontFace> CFontFace::create(const std::string& faceName, int pixelHeight) {
  // Beyond a few hundred pixels nobody draws status text; the bound keeps a
  // bad size from asking FreeType for gigantic bitmaps.
  constexpr int kMaxPixelHeight = 1024;
  if (pixelHeight < 1 || pixelHeight > kMaxPixelHeight) return nullptr;

  std::shared_ptr<RFontSystem> system = fontSystem();
  if (!system->library || !system->config) return nullptr;

  std::unique_ptr<CFontFace> font(new CFontFace());  // private constructor: no make_unique
  font->impl_ = std::make_unique<Impl>();
  {
    std::lock_guard lock(system->mutex);
    font->filePath_ = resolveFontFile(*system, familyForFaceName(faceName));
    if (font->filePath_.empty()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(system->library.get(), font->filePath_.c_str(), 0, &face) != 0) return nullptr;
    font->impl_->face =
        std::unique_ptr<FT_FaceRec_, Impl::RFaceDeleter>(face, Impl::RFaceDeleter{system});
  }
  FT_Face face = font->impl_->face.get();
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);  // Latin-1 codes are Unicode code points
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return nullptr;

  // FreeType's scaled ascender and descender are rounded outwards. DejaVu
  // keeps room for accents above its capitals (0.93 em), so rounding up would
  // put an 11-pixel font's baseline at row 11 and cut the capitals' last row
  // off a 10-row status strip; rounding to nearest keeps them inside.
  const FT_Fixed yScale = face->size->metrics.y_scale;
  font->ascent_ = roundedPixels(FT_MulFix(face->ascender, yScale));
  font->lineHeight_ = font->ascent_ + roundedPixels(FT_MulFix(-face->descender, yScale));
  if (font->lineHeight_ <= 0) return nullptr;
  font->cache_.resize(256);
  return font;
}

CFontFace::~CFontFace() = default;

const RGlyphBitmap& CFontFace::glyph(unsigned char character) {
  std::unique_ptr<RGlyphBitmap>& slot = cache_[character];
  if (slot) return *slot;
  slot = std::make_unique<RGlyphBitmap>();

  // A character the face lacks gets glyph 0, the face's "missing" box, so
  // that it shows rather than silently vanishing.
  FT_Face face = impl_->face.get();
  const FT_UInt index = FT_Get_Char_Index(face, character);
  if (FT_Load_Glyph(face, index, kLoadFlags) != 0) return *slot;
  FT_GlyphSlot loaded = face->glyph;
  slot->advance = roundedPixels(loaded->advance.x);
  if (loaded->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(loaded, FT_RENDER_MODE_NORMAL) != 0) {
    return *slot;
  }
  const FT_Bitmap& bitmap = loaded->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0) {
    return *slot;  // a blank (space) or a format we do not blend
  }
  slot->width = static_cast<int>(bitmap.width);
  slot->rows = static_cast<int>(bitmap.rows);
  slot->left = loaded->bitmap_left;
  slot->top = loaded->bitmap_top;
  slot->coverage.resize(static_cast<std::size_t>(slot->width) * slot->rows);
  // A negative pitch means the rows are stored bottom row first, with
  // `buffer` at the start of that storage.
  const int maxLevel = std::max(1, static_cast<int>(bitmap.num_grays) - 1);
  const std::ptrdiff_t pitch = bitmap.pitch;
  const unsigned char* topRow =
      pitch >= 0 ? bitmap.buffer : bitmap.buffer + (slot->rows - 1) * -pitch;
  for (int y = 0; y < slot->rows; ++y) {
    const unsigned char* source = topRow + y * pitch;
    std::uint8_t* target = slot->coverage.data() + static_cast<std::size_t>(y) * slot->width;
    if (maxLevel == 255) {
      std::memcpy(target, source, static_cast<std::size_t>(slot->width));
    } else {
      for (int x = 0; x < slot->width; ++x) {
        target[x] = static_cast<std::uint8_t>(std::min(255, source[x] * 255 / maxLevel));
      }
    }
  }
  return *slot;
}

int CFontFace::textWidth(const std::string& text) {
  int width = 0;
  for (char c : text) width += glyph(static_cast<unsigned char>(c)).advance;
  return width;
}

}  // namespace platform
