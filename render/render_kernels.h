// The vector kernels of pass 2: a span of destination pixels whose source
// positions advance by a constant step and whose taps all lie inside the
// source frame, sampled without any test. Each gives exactly the bytes of
// the plain sampler of samplers.h at every position (same integer products
// and sums; the rounding shifts and the clamp at the same points).
//
// Compiled also into the AVX2 translation unit, which is built for a
// processor that may not be the one running the program: this header holds
// only plain aggregates and declarations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel_set.h"

struct RSpan {
  const unsigned char* data;  // stored row 0 of the source
  std::ptrdiff_t pitch;       // bytes between stored rows
  std::int64_t X, Y;          // the first position, 26 fraction bits
  std::int64_t dX, dY;        // added per pixel (wrapping, as the plain loop does)
  int count;
  std::uint32_t* out;
  const std::int32_t* weights;  // bicubic: 1024 rows of 4 (taps +2, +1, 0, -1)
};

struct RRenderKernels {
  // Every position's taps inside: nearest 0 <= ix < w, bilinear
  // 0 <= ix < w - 1, bicubic 1 <= ix < w - 2 (likewise iy).
  void (*nearestSpan)(const RSpan& span);
  void (*bilinearSpan)(const RSpan& span);
  void (*bicubicSpan)(const RSpan& span);
};

// The kernels of a vector set; null for the plain set.
const RRenderKernels* renderKernels(platform::KernelSet set);

namespace render_sse2 {
extern const RRenderKernels kKernels;
}
namespace render_avx2 {
extern const RRenderKernels kKernels;
}
