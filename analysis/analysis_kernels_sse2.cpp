// The pass-1 kernels in SSE2, which every x86-64 processor has.
#include <emmintrin.h>

#include "analysis/analysis_kernels_vector.h"

namespace analysis_sse2 {
namespace {

struct V {
  using Reg = __m128i;
  static constexpr int kLanes16 = 8;
  using Doubles = __m128d;
  static constexpr int kLanesDouble = 2;
  static Doubles loadDoubles(const double* p) { return _mm_loadu_pd(p); }
  static void storeDoubles(double* p, Doubles v) { _mm_storeu_pd(p, v); }
  static Doubles sub(Doubles a, Doubles b) { return _mm_sub_pd(a, b); }
  static Doubles mul(Doubles a, Doubles b) { return _mm_mul_pd(a, b); }
  static Doubles div(Doubles a, Doubles b) { return _mm_div_pd(a, b); }
  static Doubles sqrt(Doubles a) { return _mm_sqrt_pd(a); }
  static Reg load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
  static void store(void* p, Reg v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
  static Reg zero() { return _mm_setzero_si128(); }
  static Reg set16(std::int16_t v) { return _mm_set1_epi16(v); }
  static Reg set32(std::int32_t v) { return _mm_set1_epi32(v); }
  static Reg laneIndex16() { return _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7); }
  static Reg add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg add32(Reg a, Reg b) { return _mm_add_epi32(a, b); }
  static Reg mullo16(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
  static Reg madd(Reg a, Reg b) { return _mm_madd_epi16(a, b); }
  static Reg and_(Reg a, Reg b) { return _mm_and_si128(a, b); }
  static Reg andnot(Reg notThis, Reg b) { return _mm_andnot_si128(notThis, b); }
  static Reg or_(Reg a, Reg b) { return _mm_or_si128(a, b); }
  static Reg cmpgt16(Reg a, Reg b) { return _mm_cmpgt_epi16(a, b); }
  template <int N>
  static Reg srli16(Reg a) {
    return _mm_srli_epi16(a, N);
  }
  template <int N>
  static Reg srli32(Reg a) {
    return _mm_srli_epi32(a, N);
  }
  template <int N>
  static Reg slli32(Reg a) {
    return _mm_slli_epi32(a, N);
  }
  template <int N>
  static Reg srai32(Reg a) {
    return _mm_srai_epi32(a, N);
  }
  static bool allZero(Reg a) { return _mm_movemask_epi8(a) == 0; }
  static Reg packs32(Reg a, Reg b) { return _mm_packs_epi32(a, b); }
  static std::int32_t hsum32(Reg a) {
    a = _mm_add_epi32(a, _mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)));
    a = _mm_add_epi32(a, _mm_shuffle_epi32(a, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(a);
  }
};

}  // namespace

const RAnalysisKernels kKernels = analysis_vector::kernelsOf<V>();

}  // namespace analysis_sse2
