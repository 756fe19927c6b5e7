// The vector kernels must give the plain kernels' bytes exactly.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/render_kernels.h"
#include "render/samplers.h"
#include "tests/support/kernel_sets.h"

namespace {

struct RTestFrame {
  std::vector<std::uint32_t> pixels;
  RFrameView view;
};

RTestFrame makeFrame(int width, int height, std::mt19937& random, int kind) {
  RTestFrame frame;
  frame.pixels.resize(static_cast<std::size_t>(width + 3) * height);  // 3 pixels of row padding
  std::uniform_int_distribution<std::uint32_t> any;
  for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
    const std::size_t x = i % (width + 3), y = i / (width + 3);
    switch (kind) {
      case 0:  // noise, alpha byte included
        frame.pixels[i] = any(random);
        break;
      case 1:  // hardest overshoot: black/white checkerboard
        frame.pixels[i] = (x + y) % 2 ? 0xFFFFFFFFu : 0u;
        break;
      default:  // single bright lines on black
        frame.pixels[i] = x % 5 == 0 ? 0x00FFFFFFu : 0x00000000u;
        break;
    }
  }
  frame.view = RFrameView{reinterpret_cast<const unsigned char*>(frame.pixels.data()), width,
                          height, static_cast<std::ptrdiff_t>(width + 3) * 4};
  return frame;
}

// Positions over the whole frame and a margin around it, so that the
// interior tests and their boundaries are crossed in every direction.
TEST(SamplerFastPathTest, InteriorPathsEqualThePlainSamplers) {
  std::mt19937 random(11);
  for (double a : {-0.6, -0.5, -0.75, -1.0}) {
    const RBicubicTable weights = computeBicubicWeights(a);
    for (int kind = 0; kind < 3; ++kind) {
      const RTestFrame frame = makeFrame(37, 23, random, kind);
      std::uniform_int_distribution<std::int64_t> x10(-5 * 1024, 42 * 1024);
      std::uniform_int_distribution<std::int64_t> y10(-5 * 1024, 28 * 1024);
      for (int i = 0; i < 20000; ++i) {
        const std::int64_t x = x10(random), y = y10(random);
        ASSERT_EQ(sampleBicubic(frame.view, weights, x, y),
                  sampleBicubicPlain(frame.view, weights, x, y))
            << "a " << a << " kind " << kind << " at " << x << ", " << y;
        ASSERT_EQ(sampleBilinear(frame.view, x, y), sampleBilinearPlain(frame.view, x, y))
            << "kind " << kind << " at " << x << ", " << y;
      }
    }
  }
}

}  // namespace
