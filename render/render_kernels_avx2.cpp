// The pass-2 span kernels in AVX2. This unit is compiled for AVX2 processors
// and runs only where renderKernels found the instructions; it includes
// nothing whose inline definitions another unit could share.
#include <immintrin.h>

#include "render/render_kernels.h"

namespace render_avx2 {
namespace {

constexpr int kShift = 26;

std::int64_t next(std::int64_t value, std::int64_t step) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(value) +
                                   static_cast<std::uint64_t>(step));
}

const std::uint32_t* pixelAt(const RSpan& s, std::int64_t x, std::int64_t y) {
  return reinterpret_cast<const std::uint32_t*>(s.data + s.pitch * y) + x;
}

// Channels 0..2 of the four result lanes, rounded and clamped, as 0x00RRGGBB
// (the fourth lane holds 0).
std::uint32_t packPixel(__m128i channels) {
  const __m128i words = _mm_packs_epi32(channels, channels);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

void nearestSpan(const RSpan& s) {
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    s.out[k] = *pixelAt(s, X >> kShift, Y >> kShift);
  }
}

// Two taps of a row as 16-bit pairs per channel: (B0, B1), (G0, G1),
// (R0, R1), then a zero pair; one row in each 128-bit half.
__m256i tapPairs(__m256i rows) {
  const __m256i order = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1,
                                         0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1);
  return _mm256_shuffle_epi8(rows, order);
}

// Separable, with the exact integers of the plain kernel: the horizontal
// sums (1024 - fx) p0 + fx p1 fit 32 bits, and (1024 - fy) h0 + fy h1 is the
// plain sum of the four weighted taps.
void bilinearSpan(const RSpan& s) {
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    const std::int64_t x10 = X >> 16, y10 = Y >> 16;
    const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
    const int fx = static_cast<int>(x10 & 1023), fy = static_cast<int>(y10 & 1023);
    const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixelAt(s, ix, iy)));
    const __m128i bottom =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixelAt(s, ix, iy + 1)));
    const __m256i rows = _mm256_inserti128_si256(_mm256_castsi128_si256(top), bottom, 1);
    const __m256i wx = _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(fx) << 16 |
                                                          static_cast<std::uint32_t>(1024 - fx)));
    const __m256i h = _mm256_madd_epi16(tapPairs(rows), wx);
    const __m256i wy =
        _mm256_blend_epi32(_mm256_set1_epi32(1024 - fy), _mm256_set1_epi32(fy), 0xF0);
    const __m256i v = _mm256_mullo_epi32(h, wy);
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    sum = _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(0x80000)), 20);
    s.out[k] = packPixel(sum);
  }
}

// Bicubic, two rows per register: the 16 bytes of taps -1 .. +2 of a row
// become the pairs (tap -1, tap 0) and (tap +1, tap +2) per channel, which
// pmaddwd weighs with (w3, w2) and (w1, w0); the row sums are shifted as the
// plain kernel shifts them, then weighed vertically in 32-bit lanes.
void bicubicSpan(const RSpan& s) {
  const __m256i nearPairs =
      _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1, 0, -1, 4, -1, 1,
                       -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1);
  const __m256i farPairs =
      _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1, 8, -1, 12, -1,
                       9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1);
  const __m256i firstTwo = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const __m256i lastTwo = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
  const __m256i rowRounding = _mm256_set1_epi32(2048);
  const __m128i rounding = _mm_set1_epi32(32768);
  std::int64_t X = s.X, Y = s.Y;
  for (int k = 0; k < s.count; ++k, X = next(X, s.dX), Y = next(Y, s.dY)) {
    const std::int64_t x10 = X >> 16, y10 = Y >> 16;
    const std::int64_t ix = x10 >> 10, iy = y10 >> 10;
    const std::int32_t* wx = s.weights + 4 * (x10 & 1023);
    const std::int32_t* wy = s.weights + 4 * (y10 & 1023);
    const __m256i wNear = _mm256_set1_epi32(static_cast<int>(
        static_cast<std::uint32_t>(wx[2]) << 16 | (static_cast<std::uint32_t>(wx[3]) & 0xFFFF)));
    const __m256i wFar = _mm256_set1_epi32(static_cast<int>(
        static_cast<std::uint32_t>(wx[0]) << 16 | (static_cast<std::uint32_t>(wx[1]) & 0xFFFF)));
    auto rowSums = [&](std::int64_t upper, std::int64_t lower) {
      const __m128i a =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixelAt(s, ix - 1, upper)));
      const __m128i b =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixelAt(s, ix - 1, lower)));
      const __m256i rows = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
      const __m256i sum =
          _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(rows, nearPairs), wNear),
                           _mm256_madd_epi16(_mm256_shuffle_epi8(rows, farPairs), wFar));
      return _mm256_srai_epi32(_mm256_add_epi32(sum, rowRounding), 12);
    };
    const __m256i outer = rowSums(iy + 2, iy + 1);  // weighed by wy0, wy1
    const __m256i inner = rowSums(iy, iy - 1);      // by wy2, wy3
    const __m256i verticals =
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(wy)));
    const __m256i v = _mm256_add_epi32(
        _mm256_mullo_epi32(outer, _mm256_permutevar8x32_epi32(verticals, firstTwo)),
        _mm256_mullo_epi32(inner, _mm256_permutevar8x32_epi32(verticals, lastTwo)));
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    sum = _mm_srai_epi32(_mm_add_epi32(sum, rounding), 16);
    s.out[k] = packPixel(sum);
  }
}

}  // namespace

const RRenderKernels kKernels{&nearestSpan, &bilinearSpan, &bicubicSpan};

}  // namespace render_avx2
