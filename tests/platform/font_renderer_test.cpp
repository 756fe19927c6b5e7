#include "platform/font_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace platform {
namespace {

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

TEST(FontFaceTest, WindowsFaceNamesMapToDejaVuFamilies) {
  for (const char* name : {"Lucida Console", "lucida console", "Courier New", "Consolas", "Courier",
                           "Fixedsys", "TERMINAL"}) {
    auto face = CFontFace::create(name, 11);
    ASSERT_NE(face, nullptr) << name;
    EXPECT_EQ(fileName(face->filePath()), "DejaVuSansMono.ttf") << name;
  }
  for (const char* name : {"Verdana", "Arial", "MS Sans Serif", "Tahoma", "No Such Face", ""}) {
    auto face = CFontFace::create(name, 12);
    ASSERT_NE(face, nullptr) << name;
    EXPECT_EQ(fileName(face->filePath()), "DejaVuSans.ttf") << name;
  }
}

TEST(FontFaceTest, MonospacedAdvancesAreEqualAndProportionalOnesDiffer) {
  auto mono = CFontFace::create("Lucida Console", 11);
  auto sans = CFontFace::create("Verdana", 12);
  ASSERT_NE(mono, nullptr);
  ASSERT_NE(sans, nullptr);
  EXPECT_GT(mono->glyph('i').advance, 0);
  EXPECT_EQ(mono->glyph('i').advance, mono->glyph('W').advance);
  EXPECT_EQ(mono->glyph(' ').advance, mono->glyph('0').advance);
  EXPECT_EQ(mono->textWidth("Pan X"), 5 * mono->glyph('W').advance);
  EXPECT_LT(sans->glyph('i').advance, sans->glyph('W').advance);
}

int inkSum(const RGlyphBitmap& glyph) {
  int sum = 0;
  for (std::uint8_t c : glyph.coverage) sum += c;
  return sum;
}

TEST(FontFaceTest, LettersHaveCoverageAndSpaceHasNone) {
  auto face = CFontFace::create("Lucida Console", 11);
  ASSERT_NE(face, nullptr);
  for (unsigned char c : std::string("AWgiz09%:.\xE9\xC4")) {  // includes Latin-1 e-acute, A-umlaut
    const RGlyphBitmap& glyph = face->glyph(c);
    ASSERT_EQ(glyph.coverage.size(), static_cast<std::size_t>(glyph.width * glyph.rows)) << c;
    EXPECT_GT(inkSum(glyph), 0) << c;
    // Hinted stems cover some pixels (nearly) fully; smeared ones would not.
    EXPECT_GE(*std::max_element(glyph.coverage.begin(), glyph.coverage.end()), 224) << c;
  }
  EXPECT_EQ(inkSum(face->glyph(' ')), 0);
  EXPECT_GT(face->glyph(' ').advance, 0);
  // 'g' descends below the baseline, 'W' does not.
  EXPECT_GT(face->glyph('g').rows, face->glyph('g').top);
  EXPECT_EQ(face->glyph('W').rows, face->glyph('W').top);
  // The cache hands back the same glyph.
  EXPECT_EQ(&face->glyph('A'), &face->glyph('A'));
}

}  // namespace
}  // namespace platform
