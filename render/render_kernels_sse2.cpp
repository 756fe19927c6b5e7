// The pass-2 span kernels with SSE2, which every x86-64 processor has: the
// samplers' own interior paths, pixel after pixel.
#include "render/render_kernels.h"
#include "render/samplers.h"

namespace render_sse2 {
namespace {

std::int64_t next(std::int64_t value, std::int64_t step) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(value) +
                                   static_cast<std::uint64_t>(step));
}

RFrameView viewOf(const RSpan& s) {
  // Only data and pitch are read on the interior paths.
  return RFrameView{s.data, 0, 0, s.pitch};
}

void nearestSpan(const RSpan& s) {
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    s.out[k] = reinterpret_cast<const std::uint32_t*>(
        s.data + s.pitch * (Y >> kFixedShift))[X >> kFixedShift];
  }
}

void bilinearSpan(const RSpan& s) {
  const RFrameView frame = viewOf(s);
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    s.out[k] = sampleBilinearInterior(frame, X >> 16, Y >> 16);
  }
}

void bicubicSpan(const RSpan& s) {
  const RFrameView frame = viewOf(s);
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    s.out[k] = sampleBicubicInterior(frame, s.weights, X >> 16, Y >> 16);
  }
}

}  // namespace

const RRenderKernels kKernels{&nearestSpan, &bilinearSpan, &bicubicSpan};

}  // namespace render_sse2
