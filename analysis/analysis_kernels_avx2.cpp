// The pass-1 kernels in AVX2. This unit is compiled for AVX2 processors and
// runs only where analysisKernels found the instructions; it includes
// nothing whose inline definitions another unit could share.
#include <immintrin.h>

#include "analysis/analysis_kernels_vector.h"

namespace analysis_avx2 {
namespace {

struct V {
  using Reg = __m256i;
  static constexpr int kLanes16 = 16;
  using Doubles = __m256d;
  static constexpr int kLanesDouble = 4;
  static Doubles loadDoubles(const double* p) { return _mm256_loadu_pd(p); }
  static void storeDoubles(double* p, Doubles v) { _mm256_storeu_pd(p, v); }
  static Doubles sub(Doubles a, Doubles b) { return _mm256_sub_pd(a, b); }
  static Doubles mul(Doubles a, Doubles b) { return _mm256_mul_pd(a, b); }
  static Doubles div(Doubles a, Doubles b) { return _mm256_div_pd(a, b); }
  static Doubles sqrt(Doubles a) { return _mm256_sqrt_pd(a); }
  static Reg load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void store(void* p, Reg v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  static Reg zero() { return _mm256_setzero_si256(); }
  static Reg set16(std::int16_t v) { return _mm256_set1_epi16(v); }
  static Reg set32(std::int32_t v) { return _mm256_set1_epi32(v); }
  static Reg laneIndex16() {
    return _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  }
  static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg add32(Reg a, Reg b) { return _mm256_add_epi32(a, b); }
  static Reg mullo16(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
  static Reg madd(Reg a, Reg b) { return _mm256_madd_epi16(a, b); }
  static Reg and_(Reg a, Reg b) { return _mm256_and_si256(a, b); }
  static Reg andnot(Reg notThis, Reg b) { return _mm256_andnot_si256(notThis, b); }
  static Reg or_(Reg a, Reg b) { return _mm256_or_si256(a, b); }
  static Reg cmpgt16(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
  template <int N>
  static Reg srli16(Reg a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static Reg srli32(Reg a) {
    return _mm256_srli_epi32(a, N);
  }
  template <int N>
  static Reg slli32(Reg a) {
    return _mm256_slli_epi32(a, N);
  }
  template <int N>
  static Reg srai32(Reg a) {
    return _mm256_srai_epi32(a, N);
  }
  // The pack works within 128-bit halves; the permutation restores the order.
  static bool allZero(Reg a) { return _mm256_testz_si256(a, a) != 0; }
  static Reg packs32(Reg a, Reg b) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
  }
  static std::int32_t hsum32(Reg a) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
  }
};

}  // namespace

const RAnalysisKernels kKernels = analysis_vector::kernelsOf<V>();

}  // namespace analysis_avx2
