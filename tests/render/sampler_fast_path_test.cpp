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

TEST(SamplerFastPathTest, BicubicVectorKernelEqualsThePlainOne) {
  std::mt19937 random(11);
  for (double a : {-0.6, -0.5, -0.75, -1.0}) {
    const RBicubicTable weights = computeBicubicWeights(a);
    for (int kind = 0; kind < 3; ++kind) {
      const RTestFrame frame = makeFrame(37, 23, random, kind);
      // Positions over the whole frame and a margin around it, so the
      // interior test and its boundaries are crossed in every direction.
      std::uniform_int_distribution<std::int64_t> x10(-5 * 1024, 42 * 1024);
      std::uniform_int_distribution<std::int64_t> y10(-5 * 1024, 28 * 1024);
      for (int i = 0; i < 20000; ++i) {
        const std::int64_t x = x10(random), y = y10(random);
        ASSERT_EQ(sampleBicubic(frame.view, weights, x, y),
                  sampleBicubicPlain(frame.view, weights, x, y))
            << "a " << a << " kind " << kind << " at " << x << ", " << y;
      }
      for (std::int64_t f : {0, 1, 511, 512, 1023}) {
        for (int ix = -3; ix <= 38; ++ix) {
          const std::int64_t x = ix * 1024 + f, y = 11 * 1024 + (1023 - f);
          ASSERT_EQ(sampleBicubic(frame.view, weights, x, y),
                    sampleBicubicPlain(frame.view, weights, x, y));
        }
      }
    }
  }
}

TEST(SamplerFastPathTest, BilinearInteriorPathEqualsThePlainOne) {
  std::mt19937 random(23);
  for (int kind = 0; kind < 3; ++kind) {
    const RTestFrame frame = makeFrame(29, 17, random, kind);
    std::uniform_int_distribution<std::int64_t> x10(-3 * 1024, 32 * 1024);
    std::uniform_int_distribution<std::int64_t> y10(-3 * 1024, 20 * 1024);
    for (int i = 0; i < 20000; ++i) {
      const std::int64_t x = x10(random), y = y10(random);
      ASSERT_EQ(sampleBilinear(frame.view, x, y), sampleBilinearPlain(frame.view, x, y))
          << "kind " << kind << " at " << x << ", " << y;
    }
  }
}

// Spans of positions stepping like a rotated and zoomed transform, with
// every tap inside: each vector set's span kernels give the plain samplers'
// pixels.
TEST(SamplerFastPathTest, SpanKernelsEqualThePlainSamplers) {
  std::mt19937 random(31);
  const RBicubicTable weights = computeBicubicWeights(-0.6);
  int compared = 0;
  for (platform::KernelSet set : testing_support::vectorKernelSets()) {
    const RRenderKernels& kernels = *renderKernels(set);
    for (int kind = 0; kind < 3; ++kind) {
      const RTestFrame frame = makeFrame(61, 47, random, kind);
      const int w = frame.view.width, h = frame.view.height;
      std::uniform_int_distribution<std::int64_t> start(2LL << 26, 40LL << 26);
      std::uniform_int_distribution<std::int64_t> stride(-(3LL << 25), 3LL << 25);
      for (int i = 0; i < 400; ++i) {
        RSpan span{frame.view.data,
                   frame.view.pitch,
                   start(random),
                   start(random) * h / w,
                   stride(random),
                   stride(random) / 8,
                   0,
                   nullptr,
                   weights.front().data()};
        // As many pixels as stay two pixels inside the frame.
        std::vector<std::int64_t> xs, ys;
        for (std::int64_t X = span.X, Y = span.Y;
             xs.size() < 64 && (X >> 26) >= 2 && (X >> 26) < w - 2 && (Y >> 26) >= 2 &&
             (Y >> 26) < h - 2;
             X += span.dX, Y += span.dY) {
          xs.push_back(X);
          ys.push_back(Y);
        }
        span.count = static_cast<int>(xs.size());
        for (int resampling : {0, 1, 2}) {
          std::vector<std::uint32_t> out(xs.size() + 1, 0xDEADBEEFu);
          span.out = out.data();
          (resampling == 0   ? kernels.nearestSpan
           : resampling == 1 ? kernels.bilinearSpan
                             : kernels.bicubicSpan)(span);
          for (std::size_t k = 0; k < xs.size(); ++k) {
            const std::uint32_t expected =
                resampling == 0 ? sampleNearest(frame.view, xs[k], ys[k])
                : resampling == 1
                    ? sampleBilinearPlain(frame.view, xs[k] >> 16, ys[k] >> 16)
                    : sampleBicubicPlain(frame.view, weights, xs[k] >> 16, ys[k] >> 16);
            ASSERT_EQ(out[k], expected)
                << platform::kernelSetName(set) << " resampling " << resampling << " pixel " << k;
            ++compared;
          }
          EXPECT_EQ(out[xs.size()], 0xDEADBEEFu);  // nothing written past the span
        }
      }
    }
  }
  EXPECT_GT(compared, 10000);
}

}  // namespace
