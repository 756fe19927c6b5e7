// A grid of analysed pixels: the levels of the pass-1 image pyramids, and the
// size carriers of pass 2.
//
// Rows are top-down (row 0 is the top line of the picture), `width` pixels
// each, no padding. The pixels are kept as three planes of 16-bit values
// (red, green, blue), which the vector kernels of block matching read
// directly; a pixel's squares are not stored, since they follow exactly from
// its channels. Grey images use only the green plane, which then holds the
// grey value. A negative green value marks an ignored pixel (whose red and
// blue are left as they were and never read).
#pragma once

#include <cassert>
#include <cstddef>
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

  // Sets the size and colour flag and makes the planes width * height
  // values, new ones zero; a resize to the same size keeps the contents.
  void create(int width, int height, int rgb);

  std::size_t indexOf(int x, int y) const {
    assert(x >= 0 && x < width && y >= 0 && y < height);
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
  }
  // The pixel with its squares (grey images: r, b and their squares 0).
  RGBPixel at(int x, int y) const {
    const std::size_t i = indexOf(x, y);
    const std::int32_t g = green[i];
    if (!rgb) return RGBPixel{0, g, 0, 0, g * g, 0};
    const std::int32_t r = red[i], b = blue[i];
    return RGBPixel{r, g, b, r * r, g * g, b * b};
  }
  // Stores channel values (0..255, or kIgnoredPixel in g).
  void set(int x, int y, std::int32_t r, std::int32_t g, std::int32_t b) {
    const std::size_t i = indexOf(x, y);
    red[i] = static_cast<std::int16_t>(r);
    green[i] = static_cast<std::int16_t>(g);
    blue[i] = static_cast<std::int16_t>(b);
  }
  void setIgnored(int x, int y) { green[indexOf(x, y)] = kIgnoredPixel; }

  std::vector<std::int16_t> red, green, blue;
  std::int32_t created = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t rgb = 0;
};
