// The pass-1 vector kernels written once over a vector width: V supplies the
// register type and the integer operations (SSE2: 8 lanes of 16 bits, AVX2:
// 16). Included only by the translation units that instantiate it for one
// instruction set; everything here is a template over V, so no definition
// is shared between units built for different processors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/analysis_kernels.h"

namespace analysis_vector {

template <class V>
void loadRgbRow(const unsigned char* pixels, int count, std::int16_t* red, std::int16_t* green,
                std::int16_t* blue) {
  using R = typename V::Reg;
  constexpr int L = V::kLanes16;
  const R byteMask = V::set32(0xFF);
  int x = 0;
  for (; x + L <= count; x += L) {
    const R low = V::load(pixels + 4 * x);
    const R high = V::load(pixels + 4 * x + 2 * L);
    V::store(blue + x, V::packs32(V::and_(low, byteMask), V::and_(high, byteMask)));
    V::store(green + x, V::packs32(V::and_(V::template srli32<8>(low), byteMask),
                                   V::and_(V::template srli32<8>(high), byteMask)));
    V::store(red + x, V::packs32(V::and_(V::template srli32<16>(low), byteMask),
                                 V::and_(V::template srli32<16>(high), byteMask)));
  }
  for (; x < count; ++x) {
    blue[x] = pixels[4 * x];
    green[x] = pixels[4 * x + 1];
    red[x] = pixels[4 * x + 2];
  }
}

template <class V>
void loadGreyRow(const unsigned char* pixels, int count, std::int16_t* grey) {
  using R = typename V::Reg;
  constexpr int L = V::kLanes16;
  const R byteMask = V::set32(0xFF);
  // 150 G + 77 R + 29 B is at most 256 * 255, so it fits 16 unsigned bits:
  // the wrapping 16-bit products and sum are exact.
  const R wG = V::set16(150), wR = V::set16(77), wB = V::set16(29);
  int x = 0;
  for (; x + L <= count; x += L) {
    const R low = V::load(pixels + 4 * x);
    const R high = V::load(pixels + 4 * x + 2 * L);
    const R b = V::packs32(V::and_(low, byteMask), V::and_(high, byteMask));
    const R g = V::packs32(V::and_(V::template srli32<8>(low), byteMask),
                           V::and_(V::template srli32<8>(high), byteMask));
    const R r = V::packs32(V::and_(V::template srli32<16>(low), byteMask),
                           V::and_(V::template srli32<16>(high), byteMask));
    const R weighted = V::add16(V::add16(V::mullo16(g, wG), V::mullo16(r, wR)), V::mullo16(b, wB));
    V::store(grey + x, V::template srli16<8>(weighted));
  }
  for (; x < count; ++x) {
    const int b = pixels[4 * x], g = pixels[4 * x + 1], r = pixels[4 * x + 2];
    grey[x] = static_cast<std::int16_t>((150 * g + 77 * r + 29 * b) >> 8);
  }
}

template <class V>
void reduceRow(const std::int16_t* top, const std::int16_t* bottom, int count, std::int16_t* out,
               bool marksIgnored) {
  using R = typename V::Reg;
  constexpr int L = V::kLanes16;
  const R ones = V::set16(1);
  const R zero = V::zero();
  const R ignored = V::set16(-9999);
  int x = 0;
  for (; x + L <= count; x += L) {
    // Pairs of neighbours summed into 32 bits; a sum with an ignored pixel
    // (-9999) does not fit 16.
    const R first =
        V::add32(V::madd(V::load(top + 2 * x), ones), V::madd(V::load(bottom + 2 * x), ones));
    const R second = V::add32(V::madd(V::load(top + 2 * x + L), ones),
                              V::madd(V::load(bottom + 2 * x + L), ones));
    R mean = V::packs32(V::template srai32<2>(first), V::template srai32<2>(second));
    if (marksIgnored) {
      const R negative = V::cmpgt16(zero, mean);
      mean = V::or_(V::andnot(negative, mean), V::and_(negative, ignored));
    }
    V::store(out + x, mean);
  }
  for (; x < count; ++x) {
    const std::int32_t sum = top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
    const std::int32_t mean = sum >> 2;
    out[x] = static_cast<std::int16_t>(marksIgnored && mean < 0 ? -9999 : mean);
  }
}

// Lanes [begin, end) of the chunk whose first lane is `first`, as a mask.
template <class V>
typename V::Reg laneMask(int first, int begin, int end) {
  const typename V::Reg index =
      V::add16(V::laneIndex16(), V::set16(static_cast<std::int16_t>(first)));
  return V::and_(V::cmpgt16(index, V::set16(static_cast<std::int16_t>(begin - 1))),
                 V::cmpgt16(V::set16(static_cast<std::int16_t>(end)), index));
}

// The partners already hold 0 where they do not count and the block's
// samples 0 where they do not, so the products need no mask; the partners'
// own sums take the block's mask. The block's sums depend on the partners
// only through the pairs whose partner does not count: with every lane of
// the rows inside the image they are the block's whole-row totals minus
// those pairs (rare, hence the branch), otherwise they are summed directly.
// The running sums of one window.
template <class V>
struct RWindowAccumulators {
  using R = typename V::Reg;
  R xy = V::zero(), yy = V::zero(), y = V::zero();
  R x = V::zero(), xx = V::zero(), n = V::zero();  // direct sums, or what to take off the totals
};

// One vector of lanes: `c` points into the block's group at the first lane,
// `p` is the partners' offset from the planes of RWindow.
template <class V, bool kRgb, bool kWholeRows>
inline __attribute__((always_inline)) void addLanes(RWindowAccumulators<V>& a,
                                                    const std::int16_t* c, const RWindow& w,
                                                    std::ptrdiff_t p, int first) {
  using R = typename V::Reg;
  constexpr int L = V::kLanes16;
  const R ones = V::set16(1);
  R cm = V::load(c + kCountsRun * kGroupLanes);
  if (!kWholeRows && (first < w.laneBegin || first + L > w.laneEnd)) {
    cm = V::and_(cm, laneMask<V>(first, w.laneBegin, w.laneEnd));
  }
  const R pv = V::load(w.valid + p);
  const R pg = V::and_(V::load(w.green + p), cm);
  const R cg = V::load(c + kGreenRun * kGroupLanes);
  R partnerSum = pg;
  if (kRgb) {
    const R pr = V::and_(V::load(w.red + p), cm);
    const R pb = V::and_(V::load(w.blue + p), cm);
    const R cr = V::load(c + kRedRun * kGroupLanes);
    const R cb = V::load(c + kBlueRun * kGroupLanes);
    a.xy = V::add32(a.xy, V::add32(V::add32(V::madd(cr, pr), V::madd(cg, pg)), V::madd(cb, pb)));
    a.yy = V::add32(a.yy, V::add32(V::add32(V::madd(pr, pr), V::madd(pg, pg)), V::madd(pb, pb)));
    partnerSum = V::add16(V::add16(pr, pg), pb);
  } else {
    a.xy = V::add32(a.xy, V::madd(cg, pg));
    a.yy = V::add32(a.yy, V::madd(pg, pg));
  }
  a.y = V::add32(a.y, V::madd(partnerSum, ones));
  // Whole rows: the pairs to take off; otherwise: the pairs to count.
  const R m = kWholeRows ? V::andnot(pv, cm) : V::and_(pv, cm);
  if (kWholeRows && V::allZero(m)) return;
  a.x = V::add32(a.x, V::madd(V::and_(V::load(c + kSumRun * kGroupLanes), m), ones));
  a.n = V::add32(a.n, V::madd(m, ones));
  if (kRgb) {
    const R cr = V::load(c + kRedRun * kGroupLanes);
    const R cb = V::load(c + kBlueRun * kGroupLanes);
    a.xx =
        V::add32(a.xx, V::add32(V::add32(V::madd(V::and_(cr, m), cr), V::madd(V::and_(cg, m), cg)),
                                V::madd(V::and_(cb, m), cb)));
  } else {
    a.xx = V::add32(a.xx, V::madd(V::and_(cg, m), cg));
  }
}

template <class V, bool kRgb, bool kWholeRows, bool kOneGroup>
RCorrelationSums windowSumsOf(const RBlockSamples& block, const RWindow& window) {
  constexpr int L = V::kLanes16;
  RWindowAccumulators<V> a;
  const int firstGroup = window.laneBegin / kGroupLanes;
  const int endGroup = (window.laneEnd + kGroupLanes - 1) / kGroupLanes;
  const std::ptrdiff_t rowValues = static_cast<std::ptrdiff_t>(block.groups) * kGroupValues;
  const std::int16_t* cRow =
      block.samples + window.rowBegin * rowValues + firstGroup * kGroupValues;
  // From lane 16 * firstGroup of the window on: at most 15 values before its
  // first partner, within the planes' padding.
  std::ptrdiff_t pRow = firstGroup * kGroupLanes - window.laneBegin;
  for (int row = window.rowBegin; row < window.rowEnd;
       ++row, cRow += rowValues, pRow += window.rowStride) {
    if (kOneGroup) {
      for (int half = 0; half < kGroupLanes; half += L) {
        addLanes<V, kRgb, kWholeRows>(a, cRow + half, window, pRow + half,
                                      firstGroup * kGroupLanes + half);
      }
      continue;
    }
    const std::int16_t* c = cRow;
    std::ptrdiff_t p = pRow;
    for (int group = firstGroup; group < endGroup; ++group, c += kGroupValues, p += kGroupLanes) {
      for (int half = 0; half < kGroupLanes; half += L) {
        addLanes<V, kRgb, kWholeRows>(a, c + half, window, p + half, group * kGroupLanes + half);
      }
    }
  }
  RCorrelationSums sums;
  std::int32_t counted = -V::hsum32(a.n);
  sums.x = V::hsum32(a.x);
  sums.xx = V::hsum32(a.xx);
  if (kWholeRows) {
    // Wrapping 32-bit arithmetic, as the sums themselves.
    auto between = [&](const std::int32_t* before, std::int32_t taken) {
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(before[window.rowEnd]) -
                                       static_cast<std::uint32_t>(before[window.rowBegin]) -
                                       static_cast<std::uint32_t>(taken));
    };
    counted = between(block.countBefore, counted);
    sums.x = between(block.sumBefore, sums.x);
    sums.xx = between(block.squaresBefore, sums.xx);
  }
  sums.n = kRgb ? 3 * counted : counted;
  sums.y = V::hsum32(a.y);
  sums.yy = V::hsum32(a.yy);
  sums.xy = V::hsum32(a.xy);
  return sums;
}

template <class V, bool kRgb>
RCorrelationSums windowSumsIn(const RBlockSamples& block, const RWindow& window) {
  const bool wholeRows = window.laneBegin == 0 && window.laneEnd == block.perRow;
  const bool oneGroup = window.laneBegin / kGroupLanes == (window.laneEnd - 1) / kGroupLanes;
  if (wholeRows) {
    return oneGroup ? windowSumsOf<V, kRgb, true, true>(block, window)
                    : windowSumsOf<V, kRgb, true, false>(block, window);
  }
  return oneGroup ? windowSumsOf<V, kRgb, false, true>(block, window)
                  : windowSumsOf<V, kRgb, false, false>(block, window);
}

template <class V>
RCorrelationSums windowSums(const RBlockSamples& block, const RWindow& window, bool rgb) {
  return rgb ? windowSumsIn<V, true>(block, window) : windowSumsIn<V, false>(block, window);
}

template <class V>
void correlations(const RCorrelationSums* sums, int count, double* values) {
  using D = typename V::Doubles;
  constexpr int L = V::kLanesDouble;
  int i = 0;
  for (; i + L <= count; i += L) {
    double n[L], x[L], y[L], xx[L], yy[L], xy[L];
    for (int k = 0; k < L; ++k) {
      const RCorrelationSums& s = sums[i + k];
      n[k] = s.n;
      x[k] = s.x;
      y[k] = s.y;
      xx[k] = s.xx;
      yy[k] = s.yy;
      xy[k] = s.xy;
    }
    const D vn = V::loadDoubles(n), vx = V::loadDoubles(x), vy = V::loadDoubles(y);
    const D sxx = V::sub(V::loadDoubles(xx), V::div(V::mul(vx, vx), vn));
    const D syy = V::sub(V::loadDoubles(yy), V::div(V::mul(vy, vy), vn));
    const D q = V::mul(sxx, syy);
    const D value = V::div(V::sub(V::loadDoubles(xy), V::div(V::mul(vx, vy), vn)), V::sqrt(q));
    double out[L], qs[L];
    V::storeDoubles(out, value);
    V::storeDoubles(qs, q);
    for (int k = 0; k < L; ++k) {
      const int samples = sums[i + k].n;
      double v = out[k];
      if (samples < 36) {
        v = -1.0;
      } else if (qs[k] <= 0 || v > 1 || v < -1) {
        v = 0.0;
      }
      values[i + k] = v;
    }
  }
  for (; i < count; ++i) {
    const RCorrelationSums& s = sums[i];
    double v = -1.0;
    if (s.n >= 36) {
      const double n = s.n, sx = s.x, sy = s.y;
      const double sxx = s.xx - sx * sx / n;
      const double syy = s.yy - sy * sy / n;
      const double q = sxx * syy;
      v = 0.0;
      if (q > 0) {
        v = (s.xy - sx * sy / n) / __builtin_sqrt(q);
        if (v > 1 || v < -1) v = 0.0;
      }
    }
    values[i] = v;
  }
}

// The pixels of one phase: values where they count, 0 elsewhere.
template <class V>
void storeSamples(typename V::Reg r, typename V::Reg g, typename V::Reg b, typename V::Reg below,
                  bool rgb, std::int16_t* const* out, std::ptrdiff_t i) {
  using R = typename V::Reg;
  R valid;
  if (rgb) {
    valid = V::and_(V::cmpgt16(g, V::set16(-1)), V::cmpgt16(V::add16(V::add16(r, g), b), below));
    V::store(out[0] + i, V::and_(r, valid));
    V::store(out[1] + i, V::and_(g, valid));
    V::store(out[2] + i, V::and_(b, valid));
    V::store(out[3] + i, valid);
  } else {
    valid = V::cmpgt16(g, below);
    V::store(out[0] + i, V::and_(g, valid));
    V::store(out[1] + i, valid);
  }
}

template <class V>
typename V::Reg evenLanes(typename V::Reg a, typename V::Reg b) {
  return V::packs32(V::template srai32<16>(V::template slli32<16>(a)),
                    V::template srai32<16>(V::template slli32<16>(b)));
}

template <class V>
typename V::Reg oddLanes(typename V::Reg a, typename V::Reg b) {
  return V::packs32(V::template srai32<16>(a), V::template srai32<16>(b));
}

template <class V>
void sampleRow(const std::int16_t* red, const std::int16_t* green, const std::int16_t* blue,
               int width, int step, int threshold, bool rgb, std::int16_t* const* out) {
  using R = typename V::Reg;
  constexpr int L = V::kLanes16;
  const R below = V::set16(static_cast<std::int16_t>(threshold - 1));
  const R zero = V::zero();
  const int planes = rgb ? 4 : 2;
  int i = 0;
  if (step == 1) {
    for (; i + L <= width; i += L) {
      storeSamples<V>(rgb ? V::load(red + i) : zero, V::load(green + i),
                      rgb ? V::load(blue + i) : zero, below, rgb, out, i);
    }
  } else {
    for (; 2 * (i + L) <= width; i += L) {
      const R g0 = V::load(green + 2 * i), g1 = V::load(green + 2 * i + L);
      R r0 = zero, r1 = zero, b0 = zero, b1 = zero;
      if (rgb) {
        r0 = V::load(red + 2 * i);
        r1 = V::load(red + 2 * i + L);
        b0 = V::load(blue + 2 * i);
        b1 = V::load(blue + 2 * i + L);
      }
      storeSamples<V>(evenLanes<V>(r0, r1), evenLanes<V>(g0, g1), evenLanes<V>(b0, b1), below, rgb,
                      out, i);
      storeSamples<V>(oddLanes<V>(r0, r1), oddLanes<V>(g0, g1), oddLanes<V>(b0, b1), below, rgb,
                      out + planes, i);
    }
  }
  const int phaseWidth = (width + step - 1) / step;
  for (; i < phaseWidth; ++i) {
    for (int phase = 0; phase < step; ++phase) {
      const int x = i * step + phase;
      std::int16_t* const* o = out + phase * planes;
      bool counts = x < width;
      if (counts && rgb) counts = green[x] >= 0 && red[x] + green[x] + blue[x] >= threshold;
      if (counts && !rgb) counts = green[x] >= threshold;
      if (rgb) {
        o[0][i] = counts ? red[x] : 0;
        o[1][i] = counts ? green[x] : 0;
        o[2][i] = counts ? blue[x] : 0;
        o[3][i] = counts ? -1 : 0;
      } else {
        o[0][i] = counts ? green[x] : 0;
        o[1][i] = counts ? -1 : 0;
      }
    }
  }
}

template <class V>
constexpr RAnalysisKernels kernelsOf() {
  return RAnalysisKernels{&loadRgbRow<V>, &loadGreyRow<V>, &reduceRow<V>,
                          &sampleRow<V>,  &windowSums<V>,  &correlations<V>};
}

}  // namespace analysis_vector
