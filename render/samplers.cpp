#include "render/samplers.h"

#include <emmintrin.h>

#include <cmath>
#include <memory>

#include "platform/kernel_set.h"

namespace {

std::unique_ptr<RBicubicTable>& sharedTable() {
  static std::unique_ptr<RBicubicTable> table;
  return table;
}

std::int32_t weightOf(double k) { return static_cast<std::int32_t>(std::floor(16384 * k + 0.5)); }

// A tap of the frame, black outside.
std::uint32_t tap(const RFrameView& frame, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return 0;
  return frame.at(static_cast<int>(x), static_cast<int>(y));
}

}  // namespace

RBicubicTable computeBicubicWeights(double a) {
  RBicubicTable table(1024);
  for (int i = 0; i < 1024; ++i) {
    const double t = i * 0.0009765625;
    table[static_cast<std::size_t>(i)] = {
        weightOf(a * t * t - a * t * t * t),
        weightOf((2 * a + 3) * t * t - (a + 2) * t * t * t - a * t),
        weightOf((a + 2) * t * t * t - (a + 3) * t * t + 1),
        weightOf(a * t * t * t - 2 * a * t * t + a * t),
    };
  }
  return table;
}

void buildBicubicWeights(double a) {
  sharedTable() = std::make_unique<RBicubicTable>(computeBicubicWeights(a));
}

void releaseBicubicWeights() { sharedTable().reset(); }

const RBicubicTable* bicubicWeights() { return sharedTable().get(); }

std::uint32_t sampleNearest(const RFrameView& frame, std::int64_t X, std::int64_t Y) {
  return tap(frame, X >> kFixedShift, Y >> kFixedShift);
}

std::uint32_t sampleBilinearInterior(const RFrameView& frame, std::int64_t x10, std::int64_t y10) {
  const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
  // No tests, and red and blue in two 32-bit halves of one 64-bit product
  // (each sum stays below 2^28).
  const auto* row = reinterpret_cast<const std::uint32_t*>(frame.data + frame.pitch * iy) + ix;
  const auto* next =
      reinterpret_cast<const std::uint32_t*>(frame.data + frame.pitch * (iy + 1)) + ix;
  const std::uint64_t fx = static_cast<std::uint64_t>(x10 & 1023);
  const std::uint64_t fy = static_cast<std::uint64_t>(y10 & 1023);
  const std::uint64_t weights[4] = {(1024 - fx) * (1024 - fy), fx * (1024 - fy), (1024 - fx) * fy,
                                    fx * fy};
  const std::uint32_t taps[4] = {row[0], row[1], next[0], next[1]};
  std::uint64_t redBlue = 0, green = 0;
  for (int t = 0; t < 4; ++t) {
    const std::uint64_t p = taps[t];
    redBlue += weights[t] * (((p >> 16) & 0xFF) << 32 | (p & 0xFF));
    green += weights[t] * ((p >> 8) & 0xFF);
  }
  const std::uint32_t red = static_cast<std::uint32_t>(((redBlue >> 32) + 0x80000) >> 20);
  const std::uint32_t blue = static_cast<std::uint32_t>(((redBlue & 0xFFFFFFFFu) + 0x80000) >> 20);
  const std::uint32_t g = static_cast<std::uint32_t>((green + 0x80000) >> 20);
  return red << 16 | g << 8 | blue;
}

std::uint32_t sampleBilinear(const RFrameView& frame, std::int64_t x10, std::int64_t y10) {
  const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
  if (ix >= 0 && ix < frame.width - 1 && iy >= 0 && iy < frame.height - 1 &&
      platform::kernelSet() != platform::KernelSet::kPlain) {
    return sampleBilinearInterior(frame, x10, y10);
  }
  return sampleBilinearPlain(frame, x10, y10);
}

std::uint32_t sampleBilinearPlain(const RFrameView& frame, std::int64_t x10, std::int64_t y10) {
  const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
  const std::uint32_t fx = static_cast<std::uint32_t>(x10 & 1023);
  const std::uint32_t fy = static_cast<std::uint32_t>(y10 & 1023);
  const std::uint32_t p00 = tap(frame, ix, iy), p10 = tap(frame, ix + 1, iy);
  const std::uint32_t p01 = tap(frame, ix, iy + 1), p11 = tap(frame, ix + 1, iy + 1);
  const std::uint32_t w00 = (1024 - fx) * (1024 - fy), w10 = fx * (1024 - fy);
  const std::uint32_t w01 = (1024 - fx) * fy, w11 = fx * fy;
  std::uint32_t result = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const std::uint32_t sum = w00 * ((p00 >> shift) & 0xFF) + w10 * ((p10 >> shift) & 0xFF) +
                              w01 * ((p01 >> shift) & 0xFF) + w11 * ((p11 >> shift) & 0xFF);
    result |= ((sum + 0x80000) >> 20) << shift;
  }
  return result;
}

namespace {

// The bicubic kernel with all 16 taps inside, channels in SSE2 lanes. Every
// product and sum is the plain kernel's, in 32-bit lanes: the horizontal
// pass pairs taps (+2, +1) and (0, -1) for _mm_madd_epi16 (weights fit in
// 16 bits, pixels in 8); the row sums (quarter levels, |s| < 2^11) fit in 16
// bits for the vertical pass; the final pack saturates exactly like the
// clamp to 0..255.
std::uint32_t bicubicInteriorSse2(const RFrameView& frame, const std::int32_t* wx,
                                  const std::int32_t* wy, std::int64_t ix, std::int64_t iy) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wOuter = _mm_set1_epi32((wx[1] << 16) | (wx[0] & 0xFFFF));
  const __m128i wInner = _mm_set1_epi32((wx[3] << 16) | (wx[2] & 0xFFFF));
  const __m128i rounding = _mm_set1_epi32(2048);
  __m128i rows[4];
  for (int r = 0; r < 4; ++r) {
    const auto* p =
        reinterpret_cast<const std::uint32_t*>(frame.data + frame.pitch * (iy + 2 - r)) + (ix - 1);
    // Bytes of taps +2 and +1 interleaved, then 0 and -1.
    const __m128i outer =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[3])),
                                            _mm_cvtsi32_si128(static_cast<int>(p[2]))),
                          zero);
    const __m128i inner =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[1])),
                                            _mm_cvtsi32_si128(static_cast<int>(p[0]))),
                          zero);
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(outer, wOuter), _mm_madd_epi16(inner, wInner));
    rows[r] = _mm_srai_epi32(_mm_add_epi32(sum, rounding), 12);
  }
  // Lanes of rows (iy+2, iy+1) and (iy, iy-1) interleaved as 16-bit pairs.
  const __m128i outerRows =
      _mm_unpacklo_epi16(_mm_packs_epi32(rows[0], zero), _mm_packs_epi32(rows[1], zero));
  const __m128i innerRows =
      _mm_unpacklo_epi16(_mm_packs_epi32(rows[2], zero), _mm_packs_epi32(rows[3], zero));
  const __m128i wyOuter = _mm_set1_epi32((wy[1] << 16) | (wy[0] & 0xFFFF));
  const __m128i wyInner = _mm_set1_epi32((wy[3] << 16) | (wy[2] & 0xFFFF));
  __m128i v = _mm_add_epi32(_mm_madd_epi16(outerRows, wyOuter), _mm_madd_epi16(innerRows, wyInner));
  v = _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(32768)), 16);
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(v, zero), zero);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu;
}

}  // namespace

std::uint32_t sampleBicubicInterior(const RFrameView& frame, const std::int32_t* weights,
                                    std::int64_t x10, std::int64_t y10) {
  return bicubicInteriorSse2(frame, weights + 4 * (x10 & 1023), weights + 4 * (y10 & 1023),
                             x10 >> 10, y10 >> 10);
}

std::uint32_t sampleBicubic(const RFrameView& frame, const RBicubicTable& weights, std::int64_t x10,
                            std::int64_t y10) {
  const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
  if (ix >= 1 && ix < frame.width - 2 && iy >= 1 && iy < frame.height - 2 &&
      platform::kernelSet() != platform::KernelSet::kPlain) {
    return sampleBicubicInterior(frame, weights.front().data(), x10, y10);
  }
  return sampleBicubicPlain(frame, weights, x10, y10);
}

std::uint32_t sampleBicubicPlain(const RFrameView& frame, const RBicubicTable& weights,
                                 std::int64_t x10, std::int64_t y10) {
  const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
  if (ix < -2 || iy < -2 || ix > frame.width || iy > frame.height) return 0;
  const RBicubicRow& wx = weights[static_cast<std::size_t>(x10 & 1023)];
  const RBicubicRow& wy = weights[static_cast<std::size_t>(y10 & 1023)];

  // Rows iy+2, iy+1, iy, iy-1 and columns ix+2 .. ix-1, in weight order.
  std::uint32_t taps[4][4];
  const bool inside = ix >= 1 && ix < frame.width - 2 && iy >= 1 && iy < frame.height - 2;
  for (int r = 0; r < 4; ++r) {
    const std::int64_t y = iy + 2 - r;
    for (int c = 0; c < 4; ++c) {
      const std::int64_t x = ix + 2 - c;
      taps[r][c] = inside ? frame.at(static_cast<int>(x), static_cast<int>(y)) : tap(frame, x, y);
    }
  }
  std::uint32_t result = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    std::int32_t s[4];
    for (int r = 0; r < 4; ++r) {
      s[r] = (wx[0] * static_cast<std::int32_t>((taps[r][0] >> shift) & 0xFF) +
              wx[1] * static_cast<std::int32_t>((taps[r][1] >> shift) & 0xFF) +
              wx[2] * static_cast<std::int32_t>((taps[r][2] >> shift) & 0xFF) +
              wx[3] * static_cast<std::int32_t>((taps[r][3] >> shift) & 0xFF) + 2048) >>
             12;
    }
    std::int32_t v = (wy[0] * s[0] + wy[1] * s[1] + wy[2] * s[2] + wy[3] * s[3] + 32768) >> 16;
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    result |= static_cast<std::uint32_t>(v) << shift;
  }
  return result;
}

std::uint32_t sampleFrame(const RFrameView& frame, int resampling, std::int64_t X, std::int64_t Y) {
  if (resampling == 0) return sampleNearest(frame, X, Y);
  if (resampling == 1) return sampleBilinear(frame, X >> 16, Y >> 16);
  return sampleBicubic(frame, *bicubicWeights(), X >> 16, Y >> 16);
}
