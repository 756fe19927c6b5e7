// Small synthetic pictures for analysis tests: a smooth random texture that
// block matching can lock onto, sampled with an arbitrary motion.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "plugin/filter_interface.h"

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

// Fills a bottom-up bitmap: pixel (x, y_top) shows texture point
// mapping(x + 0.5, y_top + 0.5).
void renderFrame(VFBitmap& bitmap, const std::function<std::uint32_t(double, double)>& colourAt);

}  // namespace testing_support
