// A grid of analysed pixels: the levels of the pass-1 image pyramids, and the
// size carriers of pass 2.
//
// Rows are top-down (row 0 is the top line of the picture), `width` pixels
// each, no padding: pixel (x, y) is pixels[y * width + x].
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

// Three channel values 0..255 and their squares, so a correlation needs only
// additions and one product per channel. Grey images use only g and gg; a
// negative g marks an ignored pixel.
struct RGBPixel {
  std::int32_t r, g, b;
  std::int32_t rr, gg, bb;
};

inline constexpr std::int32_t kIgnoredPixel = -9999;

class CVideoImage {
 public:
  CVideoImage() = default;
  virtual ~CVideoImage() = default;
  CVideoImage(const CVideoImage&) = delete;
  CVideoImage& operator=(const CVideoImage&) = delete;

  // Sets the size and colour flag and makes the grid width * height pixels,
  // new ones zero-filled; a resize to the same size keeps the contents.
  void create(int width, int height, int rgb);

  RGBPixel& at(int x, int y) {
    assert(x >= 0 && x < width && y >= 0 && y < height);
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
  const RGBPixel& at(int x, int y) const {
    assert(x >= 0 && x < width && y >= 0 && y < height);
    return pixels[static_cast<std::size_t>(y) * width + x];
  }

  std::vector<RGBPixel> pixels;
  std::int32_t created = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t rgb = 0;
};
