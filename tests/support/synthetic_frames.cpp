#include "tests/support/synthetic_frames.h"

#include <cmath>

namespace testing_support {

CSmoothTexture::CSmoothTexture(unsigned seed, double featureSize)
    : seed_(seed), featureSize_(featureSize) {}

namespace {

// Seed and coordinates hashed into well-mixed bits; `salt` picks a channel.
std::uint32_t hashOf(unsigned seed, int x, int y, std::uint32_t salt = 0) {
  std::uint32_t h = seed * 0x9E3779B9u ^ static_cast<std::uint32_t>(x) * 0x85EBCA6Bu ^
                    static_cast<std::uint32_t>(y) * 0xC2B2AE35u ^ salt;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ h >> 12;
}

}  // namespace

double CSmoothTexture::lattice(int c, int i, int j) const {
  std::uint32_t h = hashOf(seed_, i, j, static_cast<std::uint32_t>(c) * 0x27D4EB2Fu) * 0x297A2D39u;
  h ^= h >> 15;
  return (h & 0xFFFF) / 65535.0;
}

double CSmoothTexture::channel(int c, double x, double y) const {
  double value = 0.0, weight = 0.0, scale = featureSize_, amplitude = 1.0;
  for (int octave = 0; octave < 3; ++octave) {
    const double u = x / scale + octave * 17.3, v = y / scale + octave * 5.1;
    const double fu = std::floor(u), fv = std::floor(v);
    const int i = static_cast<int>(fu), j = static_cast<int>(fv);
    double tx = u - fu, ty = v - fv;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = lattice(c + 3 * octave, i, j), b = lattice(c + 3 * octave, i + 1, j);
    const double d = lattice(c + 3 * octave, i, j + 1), e = lattice(c + 3 * octave, i + 1, j + 1);
    value += amplitude * ((a * (1 - tx) + b * tx) * (1 - ty) + (d * (1 - tx) + e * tx) * ty);
    weight += amplitude;
    scale *= 2.7;
    amplitude *= 0.6;
  }
  return 30.0 + 200.0 * value / weight;
}

std::uint32_t CSmoothTexture::sample(double x, double y) const {
  const auto level = [&](int c) {
    return static_cast<std::uint32_t>(
        std::lround(std::fmin(255.0, std::fmax(0.0, channel(c, x, y)))));
  };
  return level(0) << 16 | level(1) << 8 | level(2);
}

void fillAnalysedImage(CVideoImage& image, int width, int height, int rgb,
                       const std::function<std::uint32_t(int, int)>& colourAt) {
  image.create(width, height, rgb);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = colourAt(x, y);
      const std::int32_t r = colour >> 16 & 0xFF, g = colour >> 8 & 0xFF, b = colour & 0xFF;
      image.set(x, y, rgb ? r : 0, g, rgb ? b : 0);
    }
  }
}

std::uint32_t patternColour(unsigned seed, int x, int row) {
  return hashOf(seed, x, row) & 0xFFFFFFu;
}

}  // namespace testing_support
