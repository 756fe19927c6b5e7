// Small synthetic pictures for analysis tests: a smooth random texture that
// block matching can lock onto, sampled with an arbitrary motion, and
// analysed images (CVideoImage) filled directly, without a host bitmap.
#pragma once

#include <cstdint>
#include <functional>

#include "plugin/common/video_image.h"

namespace testing_support {

// A band-limited colour texture defined on the whole plane, deterministic
// from its seed. Values 0..255 per channel.
class CSmoothTexture {
 public:
  explicit CSmoothTexture(unsigned seed, double featureSize = 6.0);
  // 0x00RRGGBB at plane position (x, y), bilinear between lattice points
  // smoothed with a cubic fade.
  std::uint32_t sample(double x, double y) const;

 private:
  double channel(int c, double x, double y) const;
  double lattice(int c, int i, int j) const;
  unsigned seed_;
  double featureSize_;
};

// Creates `image` as width x height (rgb 1 or 0) and gives pixel (x, y), y
// counted from the top, the colour colourAt(x, y) (0x00RRGGBB). RGB images
// get the three channels and their squares; grey images take the green byte
// as the grey value (g and gg only), so tests choose grey levels directly.
void fillAnalysedImage(CVideoImage& image, int width, int height, int rgb,
                       const std::function<std::uint32_t(int, int)>& colourAt);

// 0x00RRGGBB from three channel values.
inline std::uint32_t rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
         static_cast<std::uint32_t>(b);
}

// A deterministic busy picture (0x00RRGGBB): a different colour for nearly
// every pixel, without spatial correlation, for matches that must have one
// sharp peak.
std::uint32_t patternColour(unsigned seed, int x, int row);

}  // namespace testing_support
